#pragma once

#include <memory>
#include <string>

#include "store/database.h"
#include "tests/support/fault_injection.h"

namespace quillmont::store {

// A statement whose every run (its first step), queued row counts as one call
// of the plan; the armed call fails before it reaches the database.
class FaultyStatement final : public StatementImpl {
 public:
  FaultyStatement(Statement inner, std::string sql, testing::FaultPlan& plan)
      : inner_(std::move(inner)), sql_(std::move(sql)), plan_(plan) {}
  void BindInt(int index, std::int64_t value) override { inner_.Bind(index, value); }
  void BindText(int index, std::string_view value) override { inner_.Bind(index, value); }
  void BindNull(int index) override { inner_.BindNull(index); }
  bool Step() override {
    if (!running_) plan_.Tick("run " + sql_);
    running_ = true;
    return inner_.Step();
  }
  void Reset() override {
    running_ = false;
    inner_.Reset();
  }
  std::int64_t Changes() const override { return inner_.Changes(); }
  void Queue() override {
    plan_.Tick("queue " + sql_);
    inner_.Queue();
  }
  std::int64_t Int(int column) const override { return inner_.Int(column); }
  std::string_view Bytes(int column) const override { return inner_.Bytes(column); }
  bool IsNull(int column) const override { return inner_.IsNull(column); }

 private:
  Statement inner_;
  std::string sql_;
  testing::FaultPlan& plan_;
  bool running_ = false;
};

// A database under the store's statement layer that counts every prepare,
// statement run, queued row, command and transaction step as a call of the
// plan, and fails the armed one. Rollback never fails.
class FaultyDatabase final : public Database {
 public:
  FaultyDatabase(std::shared_ptr<Database> inner, std::shared_ptr<testing::FaultPlan> plan)
      : Database(inner->DisplayName()), inner_(std::move(inner)), plan_(std::move(plan)) {}

  Backend Kind() const noexcept override { return inner_->Kind(); }
  bool ReadOnly() const noexcept override { return inner_->ReadOnly(); }
  void Exec(const std::string& sql) override {
    plan_->Tick("exec " + sql.substr(0, 60));
    inner_->Exec(sql);
  }
  void BeginWrite() override {
    Begin("begin write", [this] { inner_->BeginWrite(); });
  }
  void BeginRead() override {
    Begin("begin read", [this] { inner_->BeginRead(); });
  }
  void Commit() override {
    plan_->Tick("commit");
    inner_->Commit();
    inTransaction_ = false;
  }
  void Rollback() noexcept override {
    inner_->Rollback();
    inTransaction_ = false;
  }
  std::int64_t DataVersion() override { return inner_->DataVersion(); }
  std::string NoCase(std::string_view expr) const override { return inner_->NoCase(expr); }
  const char* ForUpdate() const noexcept override { return inner_->ForUpdate(); }
  const char* InsertionOrder() const noexcept override { return inner_->InsertionOrder(); }
  void AfterExplicitNumbers() override {
    plan_->Tick("after explicit numbers");
    inner_->AfterExplicitNumbers();
  }

 protected:
  std::unique_ptr<StatementImpl> PrepareImpl(std::string_view sql) override {
    const std::string text(sql.substr(0, 60));
    plan_->Tick("prepare " + text);
    return std::make_unique<FaultyStatement>(inner_->Prepare(sql), text, *plan_);
  }

 private:
  template <class Run>
  void Begin(const char* what, Run run) {
    plan_->Tick(what);
    run();
    inTransaction_ = true;
  }

  std::shared_ptr<Database> inner_;
  std::shared_ptr<testing::FaultPlan> plan_;
};

}  // namespace quillmont::store

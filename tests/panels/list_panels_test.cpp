// What the SNMP and e-mail panels share, once as typed tests: loading and
// saving the rows, adding by Enter, the delete questions, the column layout,
// contract errors and outside failures at every call.
#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/framework/runtime.h"
#include "quillmont/platform/error.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"
#include "tests/support/fault_injection.h"
#include "tests/support/panel_fixture.h"

namespace quillmont::testing {
namespace {

struct Snmp {
  using Panel = XEventSNMPTab;
  static constexpr const char* kKey = "SNMP";
  static constexpr const char* kState = "SNMPProperties";
  static inline const std::vector<std::string> kNames = {"alpha", "beta", "gamma", "delta"};
  static std::shared_ptr<BasicNotificationDefinition> Stored(int rows) {
    std::vector<std::string> managers;
    for (int i = 0; i < rows; ++i)
      managers.push_back(kNames[static_cast<std::size_t>(i)] + ":" + std::to_string(161 + i));
    return StoredDefinition(managers);
  }
  static ui::TextBox& Entry(Panel& p) { return p.txtHost(); }
  static void Fill(ui::Driver& user, Panel& p, const std::string& name) {
    user.TypeInto(p.txtHost(), name);
    user.TypeInto(p.txtPort(), "162");
  }
  static std::string NameOf(const std::shared_ptr<ListItem>& item) { return dynamic_cast<SnmpManager&>(*item).Host(); }
  static std::string OwnerOf(const std::shared_ptr<ListItem>& i) { return dynamic_cast<SnmpManager&>(*i).OwnerKey(); }
  static std::shared_ptr<ItemList> Saved(const BasicNotificationDefinition& d) { return d.SnmpManagers(); }
  static bool Selecting(const Panel&) { return false; }
};

struct Email {
  using Panel = XEventEmailTab;
  static constexpr const char* kKey = "Email";
  static constexpr const char* kState = "EmailProperties";
  static inline const std::vector<std::string> kNames = {"a@x.org", "b@x.org", "c@x.org", "d@x.org"};
  static std::shared_ptr<BasicNotificationDefinition> Stored(int rows) {
    return StoredDefinition({}, std::vector<std::string>(kNames.begin(), kNames.begin() + rows));
  }
  static ui::TextBox& Entry(Panel& p) { return p.txtAddress(); }
  static void Fill(ui::Driver& user, Panel& p, const std::string& name) { user.TypeInto(p.txtAddress(), name); }
  static std::string NameOf(const std::shared_ptr<ListItem>& i) { return dynamic_cast<EmailRecipient&>(*i).Address(); }
  static std::string OwnerOf(const std::shared_ptr<ListItem>& i) {
    return dynamic_cast<EmailRecipient&>(*i).OwnerKey();
  }
  static std::shared_ptr<ItemList> Saved(const BasicNotificationDefinition& d) { return d.EmailRecipients(); }
  static bool Selecting(const Panel& p) { return p.Selecting(); }
};

template <class T>
class ListPanels : public PanelTest<typename T::Panel> {
 protected:
  using Panel = typename T::Panel;
  void Load(const std::shared_ptr<NotificationDefinition>& def) {
    this->panel->LoadData(Variant(def), T::kKey, this->host);
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 1; i <= this->panel->stl().Items()->Count(); ++i)
      rows.push_back(T::NameOf(this->panel->stl().Items()->Item(i)));
    return rows;
  }
  std::string Shown(int row) const { return this->panel->stl().RowCells(row).at(0); }
};

using Kinds = ::testing::Types<Snmp, Email>;
TYPED_TEST_SUITE(ListPanels, Kinds);

// The round trip: the stored rows in a collection of the panel's own, a row
// added by Enter (applied on the key's release), and SaveData handing over
// the very objects plus the new one.
TYPED_TEST(ListPanels, RoundTripWithARowAddedByEnter) {
  using T = TypeParam;
  auto& panel = *this->panel;
  auto def = T::Stored(3);
  const auto original = T::Saved(*def);
  this->Load(def);
  EXPECT_EQ(panel.TabKey(), T::kKey);
  EXPECT_EQ(this->Rows(), (std::vector<std::string>(T::kNames.begin(), T::kNames.begin() + 3)));
  EXPECT_NE(panel.stl().Items(), std::static_pointer_cast<ItemList>(original));
  EXPECT_FALSE(panel.stl().ConfigFlag1() || panel.stl().ConfigFlag2());
  EXPECT_TRUE(panel.stl().ConfigFlag3());
  ASSERT_TRUE(this->user.Click(panel.cmdNew()));
  T::Fill(this->user, panel, "  " + T::kNames[3] + " ");
  this->user.KeyDown(ui::keys::Return);
  this->user.KeyPress(ui::keys::Return);
  EXPECT_TRUE(panel.EnterPending());
  EXPECT_EQ(panel.stl().RowCount(), 3);
  this->user.KeyUp(ui::keys::Return);
  EXPECT_FALSE(panel.EnterPending());
  EXPECT_EQ(this->Shown(3), T::kNames[3]);
  EXPECT_EQ(this->host->markChanged, 2);  // New, then the add
  EXPECT_EQ(T::Saved(*def), original);    // nothing reaches the definition before SaveData
  panel.SaveData();
  ASSERT_EQ(T::Saved(*def)->Count(), 4);
  EXPECT_EQ(T::Saved(*def)->Item(2), original->Item(2));
  EXPECT_EQ(T::OwnerOf(T::Saved(*def)->Item(4)), "N-42");
}

// The delete questions, and what Yes and No do, are checked on every step
// of the random runs (tests/random); here the Delete key in an entry field,
// which erases a character and deletes no row.
TYPED_TEST(ListPanels, DeleteInAnEntryFieldErasesACharacter) {
  using T = TypeParam;
  auto& panel = *this->panel;
  this->Load(T::Stored(3));
  this->user.Focus(T::Entry(panel));
  this->user.PressKey(ui::keys::Home);
  this->user.PressKey(ui::keys::Delete);
  EXPECT_EQ(T::Entry(panel).Text(), T::kNames[0].substr(1));
  EXPECT_EQ(panel.stl().RowCount(), 3);
}

TYPED_TEST(ListPanels, ColumnLayoutRoundTripsThroughItsSettingsEntry) {
  using T = TypeParam;
  auto settings = GetAppContext()->Settings();
  EXPECT_NO_THROW(this->panel->LoadState());  // nothing stored, nothing loaded yet
  settings->Item(Variant(T::kState))->SetValue(Variant::Null());
  EXPECT_NO_THROW(this->panel->LoadState());  // a null entry is no layout either
  auto columns = this->panel->stl().ViewColumns();
  std::reverse(columns.begin(), columns.end());
  columns[0].width = 1234.5F;
  columns.back().visible = false;
  this->panel->stl().SetViewColumns(columns);
  this->panel->SaveState();
  EXPECT_EQ(settings->Item(Variant(T::kState))->Value().ToString(), this->panel->stl().Columns()->LayoutState());

  auto next = T::Panel::Create();
  auto hidden = next->stl().ViewColumns();  // the stored visibility wins either way
  for (auto& c : hidden) c.visible = false;
  next->stl().SetViewColumns(hidden);
  next->LoadState();
  ASSERT_EQ(next->stl().ViewColumns().size(), columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    EXPECT_EQ(next->stl().ViewColumns()[i].id, columns[i].id);
    EXPECT_EQ(next->stl().ViewColumns()[i].width, columns[i].width);
    EXPECT_EQ(next->stl().ViewColumns()[i].visible, columns[i].visible);
  }
}

TYPED_TEST(ListPanels, ContractErrorsReachTheHostAndThePanelStaysUsable) {
  using T = TypeParam;
  auto& panel = *this->panel;
  auto other = std::make_shared<RecordingTabHost>();
  try {
    panel.SaveData();
    ADD_FAILURE() << "SaveData without a definition succeeded";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::ObjectRequired);
  }
  try {
    panel.LoadData(Variant("not a definition"), T::kKey, other);
    ADD_FAILURE() << "a text loaded as a definition";
  } catch (const Error& e) {
    EXPECT_EQ(e.Code(), ErrorCode::TypeMismatch);
  }
  EXPECT_EQ(panel.cdtnNotify(), other);  // the host is taken before the definition is read
  EXPECT_FALSE(panel.Filling());
  // With no definition the entry is closed: nothing to type into or apply.
  EXPECT_FALSE(this->user.TypeInto(T::Entry(panel), T::kNames[0]) || this->user.Click(panel.cmdApply()));
  EXPECT_EQ(panel.stl().RowCount(), 0);
  this->Load(NewDefinition());
  T::Fill(this->user, panel, T::kNames[1]);
  this->user.PressKey(ui::keys::Return);
  EXPECT_EQ(this->Rows(), std::vector<std::string>{T::kNames[1]});
}

// Every outside call of each operation fails in turn. The error reaches the
// user's action or the host's call, no transient flag stays raised, the list
// still shows its collection, and the user can start over: New, an entry,
// Apply, and a save that writes what the list shows.
TYPED_TEST(ListPanels, EachFailingOutsideCallLeavesThePanelUsable) {
  using T = TypeParam;
  using Panel = typename T::Panel;
  auto plan = std::make_shared<FaultPlan>();
  auto yes = std::make_shared<YesToAll>();
  std::unique_ptr<ServiceInstall> install;
  std::shared_ptr<Panel> panel;
  std::unique_ptr<ui::Driver> user;
  std::shared_ptr<BasicNotificationDefinition> def;
  std::shared_ptr<NotificationDefinition> wrapped;  // the definition's calls fail in turn too
  auto load = [&] { panel->LoadData(Variant(wrapped), T::kKey, this->host); };
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"LoadData", load},
      {"select a row", [&] { user->ClickRow(panel->stl(), 2); }},
      {"add", [&] { user->Click(panel->cmdApply()); }},
      {"update", [&] { user->Click(panel->cmdApply()); }},
      {"delete", [&] { user->Click(panel->cmdDelete()); }},
      {"SaveData", [&] { panel->SaveData(); }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    const std::string op = name;
    auto arrange = [&] {
      user.reset();
      panel.reset();
      install.reset();  // before the next one installs its components
      install = std::make_unique<ServiceInstall>(yes, nullptr, nullptr, plan);
      panel = Panel::Create();
      user = std::make_unique<ui::Driver>(*panel);
      def = T::Stored(3);
      wrapped = std::make_shared<FaultyNotificationDefinition>(def, plan);
      if (op == "LoadData") return;
      load();
      if (op == "add") {
        user->Click(panel->cmdNew());
        T::Fill(*user, *panel, T::kNames[3]);
      }
      if (op == "update") {
        user->ClickRow(panel->stl(), 1);
        user->TypeInto(T::Entry(*panel), "x");
      }
    };
    const int calls = FailEachCallInTurn(*plan, arrange, operation, [&](int) {
      EXPECT_FALSE(panel->Filling() || panel->EnterPending() || T::Selecting(*panel));
      EXPECT_EQ(panel->stl().RowCount(), panel->stl().Items()->Count());
      if (op == "LoadData") load();
      const int rows = panel->stl().RowCount();
      ASSERT_TRUE(user->Click(panel->cmdNew()));
      T::Fill(*user, *panel, "z" + T::kNames[0]);
      user->PressKey(ui::keys::Return);
      EXPECT_EQ(panel->stl().RowCount(), rows + 1);
      EXPECT_EQ(T::NameOf(panel->stl().Items()->Item(rows + 1)), "z" + T::kNames[0]);
      panel->SaveData();
      EXPECT_EQ(T::Saved(*def)->Count(), rows + 1);
    });
    EXPECT_GT(calls, 0);
  }
  user.reset();
  panel.reset();
  install.reset();
}

}  // namespace
}  // namespace quillmont::testing

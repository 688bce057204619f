#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillmont::ui {

// A control event: any number of handlers, called in the order they were
// connected. Handlers may connect or disconnect others while it is raised;
// the ones present when it was raised are the ones called. An exception from
// a handler goes to whoever raised the event (user actions trap nothing).
template <class... Args>
class Signal {
 public:
  using Slot = std::function<void(Args...)>;

  int Connect(Slot slot) {
    slots_.push_back({++lastId_, std::make_shared<Slot>(std::move(slot))});
    return lastId_;
  }
  void Disconnect(int id) {
    std::erase_if(slots_, [id](const Entry& e) { return e.id == id; });
  }
  void DisconnectAll() { slots_.clear(); }
  bool Empty() const { return slots_.empty(); }

  void operator()(Args... args) const {
    const auto snapshot = slots_;
    for (const auto& e : snapshot) (*e.slot)(args...);
  }

 private:
  struct Entry {
    int id;
    std::shared_ptr<Slot> slot;
  };
  std::vector<Entry> slots_;
  int lastId_ = 0;
};

}  // namespace quillmont::ui

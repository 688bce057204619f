#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the editing logic asks of whatever shows it: a terminal, a desktop
// window, a test script.
namespace quillmont::session {

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // A message box with the buttons and icon of the msgbox code; the answer
  // code of the button pressed.
  virtual int Message(const std::string& text, int buttons, const std::string& title) = 0;
  // A question with buttons of these captions: the index of the one
  // pressed. The last one backs out (Esc, a closed window) and is the
  // default (Enter), so a hasty Enter never drops or overwrites anything.
  virtual int Choice(const std::string& text, const std::vector<std::string>& choices, const std::string& title) = 0;
  // One line of text; nullopt when cancelled.
  virtual std::optional<std::string> Text(const std::string& title, const std::string& prompt,
                                          const std::string& initial, std::size_t maxLength) = 0;
  // The page at this index comes forward (a page refused a save, or holds
  // an entry the user is asked about).
  virtual void ShowPage(std::size_t /*index*/) {}
};

}  // namespace quillmont::session

#pragma once
// What the information commands ask of the desktop: a message box and the
// user's web viewer.

#include <string>

namespace tq {

class MessageDesk {
 public:
  virtual ~MessageDesk() = default;
  // A message box with one OK button and no owner window.
  virtual void show_message_box(const std::string& title, const std::string& text) = 0;
  // Opens a web address in the user's default viewer; failure is silent.
  virtual void open_web_address(const std::string& address) = 0;
};

}  // namespace tq

#pragma once
// The main window as the program sees it: the panel's controls, the message
// boxes, the clock and the close request. Each front end (Qt, Win32)
// implements it once; the modules below the application each take only the
// part they use.

#include <functional>
#include <string>

#include "audio/tick_clock.h"
#include "info/message_desk.h"
#include "panel/panel_controls.h"

namespace tq {

class PanelWindow : public PanelControls, public MessageDesk, public TickClock {
 public:
  // Sends the main window a close request; returns once it is handled.
  virtual void request_close() = 0;
  // Runs `task` on the window's thread after the messages already waiting;
  // may be called from any thread. A task posted while the window is being
  // destroyed may never run.
  virtual void post_to_window(std::function<void()> task) = 0;
  // True while a message box showing `text` is open, so that a notice that
  // repeats is not stacked. A front end whose boxes hold its thread until
  // they are closed can keep this answer.
  virtual bool message_box_open(const std::string& /*text*/) { return false; }
};

}  // namespace tq

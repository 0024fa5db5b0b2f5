#pragma once
// The main window as the program sees it: the panel's controls, the message
// boxes, the clock and the close request. Each front end (Qt, Win32)
// implements it once; the modules below the application each take only the
// part they use.

#include "audio/tick_clock.h"
#include "info/message_desk.h"
#include "panel/panel_controls.h"

namespace tq {

class PanelWindow : public PanelControls, public MessageDesk, public TickClock {
 public:
  // Sends the main window a close request; returns once it is handled.
  virtual void request_close() = 0;
};

}  // namespace tq

#pragma once
// Whether the window has a display to go on, asked before Qt is started:
// Qt's own answer to a missing display is an abort with four lines of its
// own. Without one the program says so in one line and ends.

#include <optional>
#include <string>

namespace tq::qt {

// What decides where Qt shows its windows: QT_QPA_PLATFORM, DISPLAY and
// WAYLAND_DISPLAY, empty when unset.
struct DisplayEnvironment {
  std::string platform;
  std::string x_display;
  std::string wayland_display;
};

DisplayEnvironment read_display_environment();

// nullopt when the window can be shown; otherwise why not, as a phrase:
// no display named, or the X display named cannot be reached. A platform
// other than X or Wayland (offscreen, vnc, ...) needs neither.
// `x_reachable` tells whether an X display accepts a connection.
std::optional<std::string> missing_display(const DisplayEnvironment& environment,
                                           bool (*x_reachable)(const std::string& display));

// Connects to the X display and disconnects again.
bool x_display_reachable(const std::string& display);

// The one line the program writes when there is no display, newline included.
std::string no_display_line(const std::string& reason);

}  // namespace tq::qt

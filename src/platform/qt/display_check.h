#pragma once
// Whether the window has a display to go on, asked before Qt is started:
// Qt's own answer to a missing display or plugin is an abort with lines of
// its own, and to a Wayland display that never answers a wait without end.
// Without one the program says so in one line and ends.

#include <string>

namespace tq::qt {

// What decides where Qt shows its windows, each empty when unset:
// QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY, XDG_SESSION_TYPE and
// XDG_RUNTIME_DIR (where a Wayland display's socket lives).
struct DisplayEnvironment {
  std::string platform;
  std::string x_display;
  std::string wayland_display;
  std::string session_type;
  std::string runtime_dir;
};

DisplayEnvironment read_display_environment();

// How a display server met a connection.
enum class DisplayAnswer { answers, missing, refused, silent };

// The questions the check asks of the system; tests put their own answers.
struct DisplayProbes {
  DisplayAnswer (*wayland)(const std::string& socket_path);
  DisplayAnswer (*x)(const std::string& display);
  bool (*plugin_installed)(const std::string& platform);
};

// The probes that ask the real system.
DisplayProbes system_probes();

// Where Qt is to start: the entry of the platform list (as QT_QPA_PLATFORM
// writes it) whose display answers; empty when none does, and `reason`
// then says, as a phrase, what was found.
struct DisplayVerdict {
  std::string platform;
  std::string reason;
};

// Goes through the platforms in the order Qt 6 tries them (QT_QPA_PLATFORM
// when set; otherwise Wayland first when WAYLAND_DISPLAY is set or the
// session is a Wayland one, then X) and takes the first one with its Qt
// plugin installed and a display that answers. A platform other than X or
// Wayland (offscreen, vnc, ...) needs only its plugin.
DisplayVerdict check_display(const DisplayEnvironment& environment, const DisplayProbes& probes);

// The one line the program writes when there is no display, newline included.
std::string no_display_line(const std::string& reason);

}  // namespace tq::qt

#include "platform/qt/display_check.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace tq::qt {

namespace {

std::string environment_value(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// QT_QPA_PLATFORM may list platforms to try in turn, separated by ';'.
std::vector<std::string> platforms_to_try(const std::string& platform) {
  if (platform.empty()) return {"wayland", "xcb"};
  std::vector<std::string> names;
  std::istringstream list(platform);
  std::string name;
  while (std::getline(list, name, ';')) {
    // Arguments follow a ':' ("xcb:foo=1"); the name is what counts.
    names.push_back(name.substr(0, name.find(':')));
  }
  return names;
}

bool is_x(const std::string& platform) {
  return platform == "xcb";
}

bool is_wayland(const std::string& platform) {
  return platform.rfind("wayland", 0) == 0;
}

}  // namespace

DisplayEnvironment read_display_environment() {
  return {environment_value("QT_QPA_PLATFORM"), environment_value("DISPLAY"),
          environment_value("WAYLAND_DISPLAY")};
}

std::optional<std::string> missing_display(const DisplayEnvironment& environment,
                                           bool (*x_reachable)(const std::string& display)) {
  bool x_tried = false;
  for (const std::string& platform : platforms_to_try(environment.platform)) {
    if (is_wayland(platform)) {
      if (!environment.wayland_display.empty()) return std::nullopt;
    } else if (is_x(platform)) {
      if (!environment.x_display.empty() && x_reachable(environment.x_display)) return std::nullopt;
      x_tried = x_tried || !environment.x_display.empty();
    } else {
      return std::nullopt;  // a platform that needs no display server
    }
  }
  if (x_tried) return "the X display " + environment.x_display + " cannot be reached";
  return std::string("neither DISPLAY nor WAYLAND_DISPLAY is set");
}

bool x_display_reachable(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool reachable = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return reachable;
}

std::string no_display_line(const std::string& reason) {
  return "tonquill: no display to show the window on (" + reason +
         "); tonquill-render writes the same signals to files.\n";
}

}  // namespace tq::qt

#include "platform/qt/display_check.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QLibraryInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

namespace tq::qt {

namespace {

// How long a display server gets to answer: a working one answers in
// milliseconds, and two of them together stay within a second.
constexpr auto kAnswerTime = std::chrono::milliseconds(400);

// libwayland's name when WAYLAND_DISPLAY is unset.
constexpr const char* kDefaultWaylandDisplay = "wayland-0";

std::string environment_value(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream list(text);
  std::string part;
  while (std::getline(list, part, separator)) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

// QT_QPA_PLATFORM may list platforms to try in turn, separated by ';'.
// Unset, Qt 6 tries Wayland first on a Wayland session, then X.
std::vector<std::string> platforms_to_try(const DisplayEnvironment& environment) {
  if (!environment.platform.empty()) return split(environment.platform, ';');
  if (!environment.wayland_display.empty() || environment.session_type == "wayland") {
    return {"wayland", "xcb"};
  }
  return {"xcb"};
}

// Arguments follow a ':' ("xcb:foo=1"); the name is what counts.
std::string name_of(const std::string& entry) {
  return entry.substr(0, entry.find(':'));
}

bool is_x(const std::string& name) {
  return name == "xcb";
}

bool is_wayland(const std::string& name) {
  return name.rfind("wayland", 0) == 0;
}

// The Debian package that brings a platform's plugin.
std::string plugin_missing(const std::string& name) {
  if (is_wayland(name)) return "no Qt plugin for Wayland (package qt6-wayland)";
  if (is_x(name)) return "no Qt plugin for X (package libqt6gui6)";
  return "no Qt plugin for the platform " + name;
}

std::string wayland_reason(const DisplayEnvironment& environment, const DisplayProbes& probes) {
  const bool named = !environment.wayland_display.empty();
  const std::string display = named ? environment.wayland_display : kDefaultWaylandDisplay;
  const std::string subject = "the Wayland display " + display;
  std::string socket_path = display;
  if (display.front() != '/') {
    if (environment.runtime_dir.empty())
      return subject + " is not there (XDG_RUNTIME_DIR is not set)";
    socket_path = environment.runtime_dir + "/" + display;
  }
  switch (probes.wayland(socket_path)) {
    case DisplayAnswer::answers:
      return {};
    case DisplayAnswer::missing:
      return named ? subject + " is not there" : "WAYLAND_DISPLAY is not set";
    case DisplayAnswer::refused:
      return subject + " refuses connections";
    case DisplayAnswer::silent:
      return subject + " does not answer";
  }
  return {};
}

std::string x_reason(const DisplayEnvironment& environment, const DisplayProbes& probes) {
  if (environment.x_display.empty()) return "DISPLAY is not set";
  const std::string subject = "the X display " + environment.x_display;
  switch (probes.x(environment.x_display)) {
    case DisplayAnswer::answers:
      return {};
    case DisplayAnswer::missing:
    case DisplayAnswer::refused:
      return subject + " cannot be reached";
    case DisplayAnswer::silent:
      return subject + " does not answer";
  }
  return {};
}

// Why `entry` cannot be used, the display before the plugin (without a
// display the plugin does not matter); empty when it can.
std::string reason_against(const std::string& entry, const DisplayEnvironment& environment,
                           const DisplayProbes& probes) {
  const std::string name = name_of(entry);
  std::string display_reason;
  if (is_wayland(name)) display_reason = wayland_reason(environment, probes);
  if (is_x(name)) display_reason = x_reason(environment, probes);
  if (!display_reason.empty()) return display_reason;
  return probes.plugin_installed(name) ? std::string() : plugin_missing(name);
}

std::string describe(const std::vector<std::string>& reasons,
                     const DisplayEnvironment& environment) {
  const bool only_unset = std::ranges::all_of(reasons, [](const std::string& reason) {
    return reason == "DISPLAY is not set" || reason == "WAYLAND_DISPLAY is not set";
  });
  std::string text;
  if (only_unset && environment.x_display.empty() && environment.wayland_display.empty()) {
    text = "neither DISPLAY nor WAYLAND_DISPLAY is set";
  } else {
    for (const std::string& reason : reasons) {
      if (text.find(reason) != std::string::npos) continue;
      text += (text.empty() ? "" : ", and ") + reason;
    }
  }
  if (environment.platform.empty()) return text;
  return "QT_QPA_PLATFORM is " + environment.platform + ": " + text;
}

// --- The system's answers --------------------------------------------------

class Socket {
 public:
  Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

// Reads Wayland events until the callback `callback_id` is done (the
// display has answered), the connection ends or breaks, or the deadline.
DisplayAnswer await_callback(int fd, std::uint32_t callback_id) {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
  std::vector<std::uint8_t> received;
  for (;;) {
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, milliseconds_until(deadline)) <= 0) return DisplayAnswer::silent;
    std::uint8_t chunk[4096];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0)
      return got < 0 && errno == EAGAIN ? DisplayAnswer::silent : DisplayAnswer::refused;
    received.insert(received.end(), chunk, chunk + got);
    // Each event: object id, then its size (upper 16 bits) and opcode.
    std::size_t at = 0;
    while (received.size() - at >= 8) {
      std::uint32_t header[2];
      std::memcpy(header, received.data() + at, sizeof header);
      const std::size_t size = header[1] >> 16;
      if (size < 8) return DisplayAnswer::refused;
      if (header[0] == callback_id && (header[1] & 0xffff) == 0) return DisplayAnswer::answers;
      if (received.size() - at < size) break;
      at += size;
    }
    received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(at));
  }
}

// Connects to the Wayland socket and asks wl_display (object 1) for a
// sync (opcode 0) with a new callback, object 2: its "done" event is the
// display's answer.
DisplayAnswer wayland_answer(const std::string& socket_path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.size() >= sizeof address.sun_path) return DisplayAnswer::missing;
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  const Socket socket;
  if (socket.fd() < 0) return DisplayAnswer::refused;
  if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return DisplayAnswer::missing;
    return errno == EAGAIN ? DisplayAnswer::silent : DisplayAnswer::refused;
  }
  constexpr std::uint32_t kCallback = 2;
  const std::uint32_t sync[3] = {1, (12u << 16) | 0u, kCallback};
  if (::send(socket.fd(), sync, sizeof sync, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof sync)) {
    return DisplayAnswer::refused;
  }
  return await_callback(socket.fd(), kCallback);
}

// xcb_connect waits for the server's greeting without end; it runs on a
// thread of its own, and one that has not come back by the deadline is left
// to itself.
DisplayAnswer x_answer(const std::string& display) {
  auto result = std::make_shared<std::promise<bool>>();
  std::future<bool> connected = result->get_future();
  std::thread([display, result] {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    result->set_value(reachable);
  }).detach();
  if (connected.wait_for(kAnswerTime) != std::future_status::ready) return DisplayAnswer::silent;
  return connected.get() ? DisplayAnswer::answers : DisplayAnswer::refused;
}

// The file of a platform's plugin, as Qt's own plugins are named.
std::string plugin_file(const std::string& name) {
  if (name == "wayland") return "libqwayland-generic.so";
  return "libq" + name + ".so";
}

// Where Qt looks for platform plugins: QT_QPA_PLATFORM_PLUGIN_PATH, the
// platforms folder of each QT_PLUGIN_PATH entry and of Qt's own plugins.
bool plugin_installed(const std::string& name) {
  std::vector<std::filesystem::path> folders;
  const std::string platform_path = environment_value("QT_QPA_PLATFORM_PLUGIN_PATH");
  if (!platform_path.empty()) folders.emplace_back(platform_path);
  for (const std::string& entry : split(environment_value("QT_PLUGIN_PATH"), ':')) {
    folders.push_back(std::filesystem::path(entry) / "platforms");
  }
  folders.push_back(
      std::filesystem::path(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString()) /
      "platforms");
  const std::string file = plugin_file(name);
  std::error_code error;
  return std::ranges::any_of(folders, [&](const std::filesystem::path& folder) {
    return std::filesystem::is_regular_file(folder / file, error);
  });
}

}  // namespace

DisplayEnvironment read_display_environment() {
  return {environment_value("QT_QPA_PLATFORM"), environment_value("DISPLAY"),
          environment_value("WAYLAND_DISPLAY"), environment_value("XDG_SESSION_TYPE"),
          environment_value("XDG_RUNTIME_DIR")};
}

DisplayProbes system_probes() {
  return {wayland_answer, x_answer, plugin_installed};
}

DisplayVerdict check_display(const DisplayEnvironment& environment, const DisplayProbes& probes) {
  std::vector<std::string> reasons;
  for (const std::string& entry : platforms_to_try(environment)) {
    std::string reason = reason_against(entry, environment, probes);
    if (reason.empty()) return {entry, {}};
    reasons.push_back(std::move(reason));
  }
  if (reasons.empty()) reasons.emplace_back("QT_QPA_PLATFORM names no platform");
  return {{}, describe(reasons, environment)};
}

std::string no_display_line(const std::string& reason) {
  return "tonquill: no display to show the window on (" + reason +
         "); tonquill-render writes the same signals to files.\n";
}

}  // namespace tq::qt

#include "platform/pulse/server_sockets.h"

#include <cstdlib>

namespace tq {

namespace {

constexpr const char* kSystemWideSocket = "/var/run/pulse/native";

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

// A name the lookup can follow: one absolute socket path, with or without
// "unix:", not a list of servers or a TCP address.
std::string socket_path_of(const std::string& name) {
  const std::string path = name.starts_with("unix:") ? name.substr(5) : name;
  const bool one_path = path.starts_with('/') && path.find_first_of(" {}") == std::string::npos;
  return one_path ? path : "";
}

}  // namespace

std::vector<std::string> ServerSockets::all() const {
  std::vector<std::string> sockets;
  if (!own.empty()) sockets.push_back(own);
  if (!system_wide.empty()) sockets.push_back(system_wide);
  return sockets;
}

ServerSockets server_sockets(const ServerEnvironment& environment) {
  ServerSockets sockets;
  if (!environment.pulse_server.empty()) {
    sockets.named = true;
    sockets.own = socket_path_of(environment.pulse_server);
    return sockets;
  }
  if (!environment.pulse_runtime_path.empty()) {
    sockets.own = environment.pulse_runtime_path + "/native";
  } else if (!environment.xdg_runtime_dir.empty()) {
    sockets.own = environment.xdg_runtime_dir + "/pulse/native";
  }
  sockets.system_wide = kSystemWideSocket;
  return sockets;
}

ServerEnvironment server_environment() {
  return {variable("PULSE_SERVER"), variable("PULSE_RUNTIME_PATH"), variable("XDG_RUNTIME_DIR")};
}

}  // namespace tq

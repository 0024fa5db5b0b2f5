#pragma once
// Where a sound server of the PulseAudio protocol listens, as the client
// library looks for it: the server PULSE_SERVER names, else the socket in
// the user's runtime folder (PULSE_RUNTIME_PATH, or XDG_RUNTIME_DIR/pulse)
// and a system-wide server's.

#include <string>
#include <vector>

namespace tq {

// The variables the lookup reads; empty stands for unset.
struct ServerEnvironment {
  std::string pulse_server;        // PULSE_SERVER
  std::string pulse_runtime_path;  // PULSE_RUNTIME_PATH
  std::string xdg_runtime_dir;     // XDG_RUNTIME_DIR
};

struct ServerSockets {
  bool named = false;  // PULSE_SERVER names the server
  // The named server's socket, or the user's own server's; empty where the
  // name is no socket path (a TCP address, a list) or there is no runtime
  // folder.
  std::string own;
  // A system-wide server's, looked at only where no server is named.
  std::string system_wide;

  // The sockets to look at, own first.
  std::vector<std::string> all() const;
};

ServerSockets server_sockets(const ServerEnvironment& environment);
ServerEnvironment server_environment();  // of this process

}  // namespace tq

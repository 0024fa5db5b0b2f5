#pragma once
// Pieces of the sound server service's tests: parec recording a sink's
// monitor, a pulseaudio daemon of a test's own, and the sink inputs and
// sinks the server lists.

#include <pulse/pulseaudio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "alsa/alsa_test_support.h"

namespace tq::testing {

inline std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

// parec on `monitor` (default: the fixture's), raw s16le stereo into a file.
class Recorder {
 public:
  explicit Recorder(const std::filesystem::path& file,
                    const std::string& monitor = environment("TQ_PULSE_MONITOR"))
      : file_(file) {
    pid_ = fork();
    if (pid_ == 0) {
      std::FILE* out = std::freopen(file.c_str(), "wb", stdout);
      std::FILE* err = std::freopen((file.string() + ".log").c_str(), "w", stderr);
      if (out == nullptr || err == nullptr) _exit(127);
      const std::string device = "--device=" + monitor;
      execlp("parec", "parec", device.c_str(), "--latency-msec=20", "--format=s16le",
             "--rate=44100", "--channels=2", "--raw", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Recorder() { stop(); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  // The monitor delivers silence while nothing plays: once bytes arrive,
  // the recording runs.
  bool wait_running() {
    for (int tries = 0; tries < 200; ++tries) {
      std::error_code error;
      if (std::filesystem::file_size(file_, error) > 4096 && !error) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  std::vector<std::int16_t> stop() {
    if (pid_ > 0) {
      kill(pid_, SIGINT);
      int status = 0;
      for (int tries = 0; tries < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++tries) {
        std::this_thread::sleep_for(100ms);
      }
      if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
      }
      pid_ = -1;
    }
    return as_samples(read_bytes(file_));
  }

 private:
  std::filesystem::path file_;
  pid_t pid_ = -1;
};

// Where `needle` first occurs in `haystack`, or npos.
inline std::size_t find_samples(const std::vector<std::int16_t>& haystack,
                                const std::vector<std::int16_t>& needle) {
  const auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end());
  return at == haystack.end() ? std::string::npos : static_cast<std::size_t>(at - haystack.begin());
}

// The first frame, at or after frame `from`, of a run of at least `length`
// frames near `left` and `right`; npos where there is none.
inline std::size_t find_run(const std::vector<std::int16_t>& heard, int left, int right,
                            int tolerance, std::size_t length, std::size_t from = 0) {
  std::size_t run = 0;
  for (std::size_t frame = from; 2 * frame + 1 < heard.size(); ++frame) {
    const bool near = std::abs(heard[2 * frame] - left) <= tolerance &&
                      std::abs(heard[2 * frame + 1] - right) <= tolerance;
    run = near ? run + 1 : 0;
    if (run == length) return frame + 1 - length;
  }
  return std::string::npos;
}

// One block of `pactl list sink-inputs` (the first, or the one for
// `index`), as text.
inline std::string sink_input_listing(std::int64_t index = -1) {
  const std::string all = command_output("pactl list sink-inputs 2>/dev/null");
  const std::string head = index < 0 ? "Sink Input #" : "Sink Input #" + std::to_string(index);
  const std::size_t start = all.find(head);
  if (start == std::string::npos) return "";
  return all.substr(start, all.find("\n\n", start) - start);
}

// Has the server end a sink input, as a user's volume control can (pactl
// has no command for it).
inline bool kill_sink_input(std::uint32_t index) {
  pa_mainloop* loop = pa_mainloop_new();
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "tq-test");
  bool killed = false;
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) == 0) {
    while (PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) &&
           pa_context_get_state(context) != PA_CONTEXT_READY) {
      pa_mainloop_iterate(loop, 1, nullptr);
    }
    if (pa_context_get_state(context) == PA_CONTEXT_READY) {
      pa_operation* operation = pa_context_kill_sink_input(
          context, index,
          [](pa_context*, int success, void* done) { *static_cast<bool*>(done) = success != 0; },
          &killed);
      while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_mainloop_iterate(loop, 1, nullptr);
      }
      pa_operation_unref(operation);
    }
  }
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_mainloop_free(loop);
  return killed;
}

inline bool pulseaudio_installed() {
  return std::system("command -v pulseaudio >/dev/null 2>&1") == 0;
}

// A pulseaudio daemon with one null sink (tq_own) on a socket in `dir`, the
// same socket after every restart, as a desktop's server has; with flat
// volumes when asked. PULSE_SERVER names it for the test's process.
class PrivateDaemon {
 public:
  PrivateDaemon(const TempDir& dir, bool flat_volumes)
      : run_dir_(dir / "run"), socket_(dir / "run" / "native"), home_(dir / "home") {
    std::filesystem::create_directories(run_dir_);
    std::filesystem::create_directories(home_ / ".config" / "pulse");
    std::filesystem::permissions(run_dir_, std::filesystem::perms::owner_all);
    std::ofstream(home_ / ".config" / "pulse" / "daemon.conf")
        << "flat-volumes = " << (flat_volumes ? "yes" : "no") << "\n";
    std::ofstream(home_ / "client.conf") << "autospawn = no\n";
  }
  ~PrivateDaemon() { stop(); }
  PrivateDaemon(const PrivateDaemon&) = delete;
  PrivateDaemon& operator=(const PrivateDaemon&) = delete;

  // Points the client library of this process (and of pactl) at it.
  void use() const {
    setenv("PULSE_SERVER", ("unix:" + socket_.string()).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (home_ / "client.conf").c_str(), 1);
    unsetenv("PULSE_SINK");
  }
  // Starts it and waits until it answers.
  bool start() {
    pid_ = fork();
    if (pid_ == 0) exec_daemon();
    for (int tries = 0; tries < 200; ++tries) {
      if (std::system("timeout 5 pactl info >/dev/null 2>&1") == 0) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  // Kills it as a crash would; the socket file stays behind.
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  [[noreturn]] void exec_daemon() {
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", run_dir_.c_str(), 1);
    setenv("PULSE_RUNTIME_PATH", run_dir_.c_str(), 1);
    if (std::freopen((home_ / "daemon.log").c_str(), "a", stderr) == nullptr) _exit(127);
    const std::string protocol =
        "module-native-protocol-unix socket=" + socket_.string() + " auth-anonymous=1";
    execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
           "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes", "--log-target=stderr",
           "--log-level=error", "-L", protocol.c_str(), "-L",
           "module-null-sink sink_name=tq_own rate=44100 channels=2 format=s16le",
           static_cast<char*>(nullptr));
    _exit(127);
  }

  std::filesystem::path run_dir_;
  std::filesystem::path socket_;
  std::filesystem::path home_;
  pid_t pid_ = -1;
};

}  // namespace tq::testing

#pragma once
// Pieces that the ALSA service's tests and the sound server service's tests
// share when they play through a sound server: parec recording a sink's
// monitor, runs found in what it recorded, a pulseaudio daemon of a test's
// own (killed and started again for a lost server), and the loops that hand
// a service's events on as the program does.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "app/generator.h"
#include "app/routing.h"
#include "audio/output_stream.h"
#include "support/service_test_support.h"
#include "synth/waveform.h"

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
      // 1024 frames a fragment: a shorter one would shrink PipeWire's
      // cycle for every stream on the server.
      execlp("parec", "parec", device.c_str(), "--latency=4096", "--format=s16le", "--rate=44100",
             "--channels=2", "--raw", static_cast<char*>(nullptr));
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

// Whether the `count` samples before `at` are all silent.
inline bool silent_before(const std::vector<std::int16_t>& heard, std::size_t at,
                          std::size_t count) {
  return at >= count && std::all_of(heard.begin() + static_cast<std::ptrdiff_t>(at - count),
                                    heard.begin() + static_cast<std::ptrdiff_t>(at),
                                    [](std::int16_t sample) { return sample == 0; });
}

// The test signal of the generator's stream tests: a 1 kHz sine on the
// left, white noise on the right.
inline void set_test_signal(Generator& generator) {
  build_sine_table(generator.signal.sine);
  generator.signal.channels[0].frequency = generator.signal.channels[1].frequency = 1000.0;
  generator.signal.channels[1].waveform = kWhiteNoise;
}

// What the generator rendered while its stream ran (the refilled buffers'
// samples in order), how many buffers came back, in how many seconds, and
// what the monitor recorded meanwhile.
struct GeneratorRun {
  std::vector<std::int16_t> rendered;
  std::size_t done = 0;
  double seconds = 0.0;
  std::vector<std::int16_t> heard;

  // Where the first 256 rendered frames begin in what was heard, or npos.
  std::size_t rendered_at() const {
    return find_samples(heard, {rendered.begin(), rendered.begin() + 512});
  }
};

// Hands the events of the generator's open stream on as the program does
// until eight buffers have come back, the last two not refilled; then lets
// the last one leave the server, stops `recorder` and closes the stream.
inline GeneratorRun play_generator_stream(Generator& generator, EventLog& events,
                                          Recorder& recorder) {
  GeneratorRun run;
  const auto start = std::chrono::steady_clock::now();
  DeviceEvent event;
  while (run.done < 8 && events.next(&event, 3000ms)) {
    if (event.message == kMmWomDone && ++run.done > 6) continue;  // the last two not refilled
    route_device_message(generator, event.message, event.header);
    if (event.message != kMmWomDone) continue;
    const Block& refilled = generator.stream.buffers[event.header->user];
    run.rendered.insert(run.rendered.end(), refilled.begin(), refilled.end());
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::this_thread::sleep_for(300ms);
  run.heard = recorder.stop();
  close_output_stream(generator.stream, generator.wave_out);
  return run;
}

// A service playing into the fixture's sink, whose monitor is recorded
// from the start of each test.
template <typename Service>
class MonitorRecordingTest : public ::testing::Test {
 protected:
  void start_recording() {
    recorder.emplace(dir / "monitor.raw");
    ASSERT_TRUE(recorder->wait_running()) << "parec records nothing";
  }

  TempDir dir;
  std::optional<Recorder> recorder;
  EventLog events;
  Service service{events.sink()};
};

// Queues `buffers` and keeps them circulating, each one returned queued
// again, until `rounds` have come back; `on_done` sees each count.
inline void circulate(WaveOutService& service, EventLog& events, WaveOutHandle handle,
                      std::vector<std::unique_ptr<TestBuffer>>& buffers, std::size_t rounds,
                      const std::function<void(std::size_t)>& on_done = {}) {
  for (auto& buffer : buffers) ASSERT_EQ(play(service, handle, *buffer), kMmNoError);
  DeviceEvent event;
  for (std::size_t done = 0; done < rounds && events.next(&event, 3000ms);) {
    if (event.message != kMmWomDone) continue;
    ++done;
    if (on_done) on_done(done);
    if (done + buffers.size() <= rounds) service.write(handle, event.header);
  }
}

// Hands the events on as the program does, queueing every returned buffer
// again, until `done` holds or `limit` has passed.
inline bool pump_until(WaveOutService& service, EventLog& events, WaveOutHandle handle,
                       const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    DeviceEvent event;
    if (events.next(&event, 50ms) && event.message == kMmWomDone) {
      service.write(handle, event.header);
    }
  }
  return true;
}

inline bool pulseaudio_installed() {
  return std::system("command -v pulseaudio >/dev/null 2>&1") == 0;
}

// The variables that name a sound server to the client library, as they
// were before a test pointed them at a daemon of its own.
class SavedPulseEnvironment {
 public:
  SavedPulseEnvironment() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      if (value != nullptr) saved_.emplace_back(name, value);
    }
  }
  // Unsets them all and sets again those that were set.
  void restore() const {
    for (const char* name : kNames) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  static constexpr std::array kNames = {"PULSE_CLIENTCONFIG", "PULSE_SERVER", "PULSE_SINK"};
  std::vector<std::pair<std::string, std::string>> saved_;
};

// A pulseaudio daemon with one null sink (tq_own) on a socket in `dir`, the
// same socket after every restart, as a desktop's server has; with flat
// volumes when asked.
class PrivateDaemon {
 public:
  explicit PrivateDaemon(const TempDir& dir, bool flat_volumes = false)
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

  std::string server() const { return "unix:" + socket_.string(); }
  // Points the client library of this process (and of pactl) at it.
  void use() const {
    setenv("PULSE_SERVER", server().c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (home_ / "client.conf").c_str(), 1);
    unsetenv("PULSE_SINK");
  }
  // Starts it and waits until it answers.
  bool start() {
    pid_ = fork();
    if (pid_ == 0) exec_daemon();
    const std::string probe = "timeout 5 pactl --server=" + server() + " info >/dev/null 2>&1";
    for (int tries = 0; tries < 200; ++tries) {
      if (std::system(probe.c_str()) == 0) return true;
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

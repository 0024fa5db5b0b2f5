// tonquill-play: plays the generator's signal live through the sound server
// (or ALSA), changed by commands read from standard input, until quit,
// SIGINT, SIGTERM or --seconds.
//
// The main thread waits in poll() on the device events (queued by the
// service's own thread, with a count on an eventfd), on SIGINT and SIGTERM
// (blocked in every thread, read from a signalfd) and on standard input,
// and handles them with the player locked. The sound server's thread
// refills played buffers itself when it gets the lock at once; when it
// does not (the main thread holds it, and may be calling the service), the
// buffer comes back as a device event instead.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/sound_service.h"
#include "player.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long the end may wait for the device to hand the faded block back
// before the stream is closed regardless (the device may be away). The
// faded block is rendered within one buffer and played behind one more,
// some 372 ms plus the server's latency: 750 ms leaves that room twice and
// keeps the exit within a second.
constexpr std::chrono::milliseconds kEndTimeLimit{750};
// How long past --seconds the end is asked for by the clock, should the
// played frames not have got there (the device away): the start's latency
// and the queued buffers come first.
constexpr std::chrono::milliseconds kSecondsGrace{1500};
constexpr tq::NotifyTarget kPlayerTarget = 1;

struct DeviceEvent {
  std::uint32_t message = 0;
  tq::WaveHeader* header = nullptr;
};

// Device events handed over from the service's thread to the main loop.
class DeviceEvents {
 public:
  DeviceEvents() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~DeviceEvents() { close(fd_); }
  DeviceEvents(const DeviceEvents&) = delete;
  DeviceEvents& operator=(const DeviceEvents&) = delete;

  int fd() const { return fd_; }
  void push(std::uint32_t message, tq::WaveHeader* header) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back({message, header});
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
  }
  std::deque<DeviceEvent> take() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
    std::deque<DeviceEvent> taken;
    const std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(events_);
    return taken;
  }

 private:
  int fd_;
  std::mutex mutex_;
  std::deque<DeviceEvent> events_;
};

// Standard input, cut into lines as it arrives.
struct InputLines {
  std::string pending;
  bool open = true;
};

// Reads what standard input holds; returns the whole lines (at its end, the
// last line even without a newline).
std::vector<std::string> read_lines(InputLines& input) {
  std::array<char, 4096> chunk{};
  const ssize_t got = read(STDIN_FILENO, chunk.data(), chunk.size());
  if (got > 0) input.pending.append(chunk.data(), static_cast<std::size_t>(got));
  if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
    input.open = false;
    if (!input.pending.empty()) input.pending += '\n';
  }
  std::vector<std::string> lines;
  for (auto end = input.pending.find('\n'); end != std::string::npos;
       end = input.pending.find('\n')) {
    lines.push_back(input.pending.substr(0, end));
    input.pending.erase(0, end + 1);
  }
  return lines;
}

int fail(int status, const std::string& message) {
  std::fprintf(stderr, "tonquill-play: %s\n", message.c_str());
  return status;
}

// SIGINT and SIGTERM blocked (for every thread started after this) and
// readable from the returned descriptor instead.
int signal_descriptor() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

std::string no_device_text(const tq::SoundService& sound, const std::string& notice) {
  if (std::string_view(sound.name()) == "alsa") {
    return "no sound device: no sound server answered, and ALSA's default device did not open (" +
           notice + ")";
  }
  return "no sound: the sound server refused the stream (" + notice + ")";
}

// The player and the lock every thread takes to use it.
struct SharedPlayer {
  std::mutex lock;
  tq::play::Player player;
};

class PlayLoop {
 public:
  PlayLoop(SharedPlayer& shared, tq::SoundService& sound, DeviceEvents& events, int signals,
           std::optional<double> seconds)
      : lock_(shared.lock),
        player_(shared.player),
        sound_(sound),
        events_(events),
        signals_(signals) {
    if (seconds) {
      seconds_limit_ =
          Clock::now() + kSecondsGrace +
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds));
    }
  }

  void run() {
    for (bool finished = false; !finished;) {
      std::array<pollfd, 3> fds{{{events_.fd(), POLLIN, 0},
                                 {signals_, POLLIN, 0},
                                 {input_.open ? STDIN_FILENO : -1, POLLIN, 0}}};
      poll(fds.data(), fds.size(), wait_ms());
      const std::vector<std::string> lines =
          fds[2].revents != 0 ? read_lines(input_) : std::vector<std::string>{};
      std::vector<std::string> replies;
      finished = handle(fds[1].revents != 0, fds[0].revents != 0, lines, replies);
      // Written unlocked: a slow reader holds up the replies, not the sound.
      for (const std::string& reply : replies) std::printf("%s\n", reply.c_str());
      if (!replies.empty()) std::fflush(stdout);
    }
  }

 private:
  tq::WaveOutService& service() { return sound_.service(); }

  // What poll() found, with the player locked; true once it has finished.
  bool handle(bool signalled, bool device_events, const std::vector<std::string>& lines,
              std::vector<std::string>& replies) {
    const std::lock_guard<std::mutex> lock(lock_);
    if (signalled) take_signal();
    if (device_events) take_device_events();
    for (const std::string& line : lines) replies.push_back(run_command(line));
    if (seconds_limit_ && Clock::now() >= *seconds_limit_) tq::play::end_player(player_);
    note_end();
    if (end_limit_ && Clock::now() >= *end_limit_) tq::play::stop_player(player_, service());
    return player_.phase == tq::play::PlayerPhase::kFinished;
  }

  // Until the nearer of the time limits, or for ever.
  int wait_ms() const {
    const std::optional<Clock::time_point> limit = end_limit_ ? end_limit_ : seconds_limit_;
    if (!limit) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*limit - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
  }
  void take_signal() {
    signalfd_siginfo info{};
    while (read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    tq::play::end_player(player_);
  }
  void take_device_events() {
    for (const DeviceEvent& event : events_.take()) {
      const std::string line =
          tq::play::on_player_event(player_, service(), event.message, event.header);
      if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
    }
  }
  std::string run_command(const std::string& line) {
    return tq::play::run_player_command(player_, service(), line, sound_.underrun_count());
  }
  // The end has begun: it gets a time limit.
  void note_end() {
    if (!end_limit_ && player_.phase != tq::play::PlayerPhase::kPlaying) {
      end_limit_ = Clock::now() + kEndTimeLimit;
    }
  }

  std::mutex& lock_;
  tq::play::Player& player_;
  tq::SoundService& sound_;
  DeviceEvents& events_;
  int signals_;
  InputLines input_;
  std::optional<Clock::time_point> end_limit_;
  std::optional<Clock::time_point> seconds_limit_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const tq::play::ParsedPlayerOptions parsed = tq::play::parse_player_options(args);
  if (!parsed.error.empty()) return fail(tq::play::kBadArguments, parsed.error);
  if (parsed.options.help) {
    std::fputs(tq::play::player_usage_text().c_str(), stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::puts("tonquill-play " TQ_VERSION);
    return 0;
  }
  std::signal(SIGPIPE, SIG_IGN);  // a reader gone away ends no sound
  const int signals = signal_descriptor();
  DeviceEvents events;
  SharedPlayer shared;
  const auto refill = [&shared](tq::NotifyTarget, tq::WaveHeader* header) {
    const std::unique_lock<std::mutex> lock(shared.lock, std::try_to_lock);
    return lock.owns_lock() && tq::play::refill_played_buffer(shared.player, *header);
  };
  tq::SoundService sound([&events](tq::NotifyTarget, std::uint32_t message,
                                   tq::WaveHeader* header) { events.push(message, header); },
                         refill);
  tq::StreamOpening opening;
  {
    const std::lock_guard<std::mutex> lock(shared.lock);
    shared.player.settings = parsed.options.settings;
    opening = tq::play::start_player(shared.player, sound.service(), kPlayerTarget,
                                     parsed.options.seconds);
  }
  if (!opening.opened) return fail(tq::play::kNoSoundDevice, no_device_text(sound, opening.notice));
  PlayLoop(shared, sound, events, signals, parsed.options.seconds).run();
  close(signals);
  return 0;
}

// Plays the generator through the ALSA wave-out service for a given time,
// as the desktop program does: the service's writer thread posts device
// events to a queue, and this program's own loop (standing in for the
// user-interface thread) hands them to the core, which refills the buffers.
// Prints what was played and how many underruns and suspends the service
// had to recover from; fails on any, on a lost device, or on a stall.
//
// Usage: alsa_soak SECONDS

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "app/generator.h"
#include "app/lifetime.h"
#include "app/panel_window.h"
#include "app/routing.h"
#include "audio/output_level.h"
#include "audio/output_stream.h"
#include "platform/alsa/alsa_wave_out.h"
#include "synth/waveform.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
  std::uint32_t message = 0;
  tq::WaveHeader* header = nullptr;
};

// The events of the writer thread, waiting for the loop.
class EventQueue {
 public:
  void push(const Event& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    ready_.notify_one();
  }
  bool pop(Event* event, Clock::time_point until) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_until(lock, until, [&] { return !events_.empty(); })) return false;
    *event = events_.front();
    events_.pop_front();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Event> events_;
};

// A window with no controls: the panel is not used, message boxes go to
// standard error.
class HeadlessWindow : public tq::PanelWindow {
 public:
  void set_box_text(tq::Box, const std::string&) override {}
  std::string box_text(tq::Box) override { return {}; }
  void set_bar_position(tq::Bar, int) override {}
  void focus_main_window() override {}
  void request_close() override {}
  void show_message_box(const std::string& title, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  void open_web_address(const std::string&) override {}
  // The soak shows no device report, the only thing that posts tasks.
  void post_to_window(std::function<void()>) override {}
  std::uint32_t tick_count() override {
    const auto since = Clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }
};

constexpr double kBufferSeconds = static_cast<double>(tq::kBlockFrames) / tq::kSampleRate;

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  if (!(seconds > 0.0)) {
    std::fprintf(stderr, "usage: alsa_soak SECONDS\n");
    return 2;
  }
  EventQueue queue;
  tq::AlsaWaveOut service(
      [&queue](tq::NotifyTarget, std::uint32_t message, tq::WaveHeader* header) {
        queue.push({message, header});
      });
  HeadlessWindow window;
  tq::Generator generator(service, window);
  tq::start_generator(generator, 1);
  if (generator.stream.handle == 0) {
    std::fprintf(stderr, "alsa_soak: the stream could not be opened\n");
    return 2;
  }
  // A tone and a noise at ordinary levels: the work of a real session.
  generator.signal.channels[0].frequency = generator.signal.channels[1].frequency = 1000.0;
  generator.signal.channels[1].waveform = tq::kPinkNoise;
  tq::apply_output_levels(service, -6.0, -20.0);

  const Clock::time_point start = Clock::now();
  const Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  long buffers = 0;
  long losses = 0;
  Event event;
  while (Clock::now() < end) {
    if (!queue.pop(&event, end)) continue;
    tq::route_device_message(generator, event.message, event.header);
    buffers += event.message == tq::kMmWomDone ? 1 : 0;
    losses += event.message == tq::kDeviceLost ? 1 : 0;
  }
  const bool lost = losses > 0 || service.device_lost();
  tq::on_main_window_destroyed(generator);

  const std::uint64_t underruns = service.recovery_count();
  // Two buffers are queued ahead of what has played.
  const long expected = static_cast<long>(seconds / kBufferSeconds) - 2;
  std::printf("played %ld buffers in %.0f s (about %ld expected), refills took %u ms\n", buffers,
              seconds, expected, generator.stream.waveoutproctime);
  std::printf("underruns and suspends recovered: %llu\n",
              static_cast<unsigned long long>(underruns));
  std::printf("device lost: %ld times%s\n", losses, service.device_lost() ? ", still away" : "");
  const bool stalled = buffers < expected * 95 / 100;
  if (stalled) std::printf("the stream fell behind: fewer buffers than the time allows\n");
  return underruns == 0 && !lost && !stalled ? 0 : 1;
}

#pragma once
// The loop of the soak drivers (alsa_soak, pulse_soak): plays the generator
// through a wave-out service for a given time, as the desktop program does.
// The service's own thread posts device events to a queue, and this loop
// (standing in for the user-interface thread) hands them to the core, which
// refills the buffers. Prints what was played and how many underruns the
// service counted; fails on any, on a lost device, or on a stall.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "app/generator.h"
#include "app/lifetime.h"
#include "app/panel_window.h"
#include "app/routing.h"
#include "audio/output_level.h"
#include "audio/output_stream.h"
#include "synth/waveform.h"

namespace tq::soak {

using Clock = std::chrono::steady_clock;

struct Event {
  std::uint32_t message = 0;
  WaveHeader* header = nullptr;
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
class HeadlessWindow : public PanelWindow {
 public:
  void set_box_text(Box, const std::string&) override {}
  std::string box_text(Box) override { return {}; }
  void set_bar_position(Bar, int) override {}
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

constexpr double kBufferSeconds = static_cast<double>(kBlockFrames) / kSampleRate;

// Plays through `service` for `seconds`: a 1000 Hz sine at -6 dB on the
// left and pink noise at -20 dB on the right, the work of a real session.
// `underruns` reads the service's count of underruns at the end.
template <class Service, class UnderrunCount>
int run_soak(const char* name, Service& service, EventQueue& queue, double seconds,
             UnderrunCount underruns_of) {
  HeadlessWindow window;
  Generator generator(service, window);
  start_generator(generator, 1);
  if (generator.stream.handle == 0) {
    std::fprintf(stderr, "%s: the stream could not be opened\n", name);
    return 2;
  }
  generator.signal.channels[0].frequency = generator.signal.channels[1].frequency = 1000.0;
  generator.signal.channels[1].waveform = kPinkNoise;
  apply_output_levels(service, -6.0, -20.0);

  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  long buffers = 0;
  long losses = 0;
  Event event;
  while (Clock::now() < end) {
    if (!queue.pop(&event, end)) continue;
    route_device_message(generator, event.message, event.header);
    buffers += event.message == kMmWomDone ? 1 : 0;
    losses += event.message == kDeviceLost ? 1 : 0;
  }
  const bool still_away = service.device_lost();
  on_main_window_destroyed(generator);

  const std::uint64_t underruns = underruns_of(service);
  // Two buffers are queued ahead of what has played.
  const long expected = static_cast<long>(seconds / kBufferSeconds) - 2;
  std::printf("played %ld buffers in %.0f s (about %ld expected), refills took %u ms\n", buffers,
              seconds, expected, generator.stream.waveoutproctime);
  std::printf("underruns: %llu\n", static_cast<unsigned long long>(underruns));
  std::printf("device lost: %ld times%s\n", losses, still_away ? ", still away" : "");
  const bool stalled = buffers < expected * 95 / 100;
  if (stalled) std::printf("the stream fell behind: fewer buffers than the time allows\n");
  return underruns == 0 && losses == 0 && !still_away && !stalled ? 0 : 1;
}

// The time to play, from the command line; 0 when it is not a time.
inline double soak_seconds(int argc, char** argv) {
  return argc > 1 ? std::atof(argv[1]) : 60.0;
}

}  // namespace tq::soak

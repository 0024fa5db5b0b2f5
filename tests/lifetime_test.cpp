#include "app/lifetime.h"

#include <gtest/gtest.h>

#include <tuple>

#include "doubles/recorded_generator.h"

namespace tq {
namespace {

using testing::joined;

// A frequency box that shows `shown` whatever it was given, to see what is
// read back.
struct ShowingWindow : testing::RecordingWindow {
  std::string shown;
  std::string box_text(Box box) override {
    const std::string text = RecordingWindow::box_text(box);
    return box == Box::frequency ? shown : text;
  }
};

TEST(InitializePanel, FillsBoxesReadsTheFrequencyBackPlacesBars) {
  const std::tuple<const char*, double, int> cases[] = {
      {" 20000 ", 20000.0, 255},
      {"one", 1.0, 0},
      {"inf", 1.0, 0},
  };
  for (const auto& [shown, frequency, position] : cases) {
    testing::RecordingWaveOut wave_out;
    ShowingWindow window;
    window.shown = shown;
    Generator generator(wave_out, window);
    initialize_panel(generator);
    EXPECT_EQ(generator.panel.frequency, frequency) << shown;
    EXPECT_EQ(joined(window.calls), "set_box_text 0 1, box_text 0, set_bar_position 0 " +
                                        std::to_string(position) +
                                        ", set_box_text 1 -50, set_bar_position 1 0, "
                                        "set_box_text 2 -50, set_bar_position 2 0");
    EXPECT_TRUE(wave_out.calls.empty());
  }
}

// Device 0 silenced, the sine table built and the stream opened in that
// order, start_tick read last; the window's destruction closes the stream.
TEST(StartGenerator, SilenceSineTableStreamThenStartTick) {
  testing::RecordedGenerator r;
  r.window.tick_step = 7;
  std::string at_open;
  r.wave_out.on_call = [&](const std::string& call) {
    if (call.starts_with("open")) {
      at_open = "sine " + std::to_string(r.generator.signal.sine.entries[16384]) +
                ", window calls " + std::to_string(r.window.calls.size());
    }
  };
  start_generator(r.generator, 0x1234);
  EXPECT_EQ(at_open, "sine 17677, window calls 0");
  EXPECT_TRUE(joined(r.wave_out.calls)
                  .starts_with("set_volume device=0 word=0x0, open device=0 flags=0x10002 "
                               "rate=44100 target=0x1234, "));
  EXPECT_EQ(r.window.calls.back(), "tick_count");
  EXPECT_EQ(r.generator.start_tick, r.window.tick - 7);
  r.wave_out.calls.clear();
  on_main_window_destroyed(r.generator);
  EXPECT_EQ(joined(r.wave_out.calls), "reset, close");
}

TEST(StartGenerator, FailedOpenStillStartsAndShutsDownQuietly) {
  testing::RecordedGenerator r;
  r.wave_out.fail("open", kMmBadDeviceId);
  start_generator(r.generator, 0x1234);
  EXPECT_EQ(r.generator.start_tick, 1000u);
  EXPECT_EQ(r.window.boxes.size(), 1u);  // the device's error text, once
  r.wave_out.calls.clear();
  on_main_window_destroyed(r.generator);
  EXPECT_TRUE(r.wave_out.calls.empty());
}

}  // namespace
}  // namespace tq

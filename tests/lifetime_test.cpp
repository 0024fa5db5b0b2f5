#include "app/lifetime.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"

namespace tq {
namespace {

using Calls = std::vector<std::string>;

// A frequency box that shows its own text, to see what is read back.
class ShowingWindow : public testing::RecordingWindow {
 public:
  explicit ShowingWindow(std::string shown) : shown_(std::move(shown)) {}
  std::string box_text(Box box) override {
    const std::string text = RecordingWindow::box_text(box);
    return box == Box::frequency ? shown_ : text;
  }

 private:
  std::string shown_;
};

TEST(InitializePanel, FillsBoxesReadsTheFrequencyBackPlacesBars) {
  const struct {
    const char* shown;
    double frequency;
    int position;
  } cases[] = {{"1", 1.0, 0}, {"2.5", 2.5, 23}, {" 20000 ", 20000.0, 255}, {"one", 1.0, 0}};
  for (const auto& c : cases) {
    testing::RecordingWaveOut wave_out;
    ShowingWindow window(c.shown);
    Generator generator(wave_out, window);
    initialize_panel(generator);
    EXPECT_EQ(generator.panel.frequency, c.frequency) << c.shown;
    EXPECT_EQ(window.calls,
              (Calls{"set_box_text 0 1", "box_text 0",
                     "set_bar_position 0 " + std::to_string(c.position), "set_box_text 1 -50",
                     "set_bar_position 1 0", "set_box_text 2 -50", "set_bar_position 2 0"}));
    EXPECT_TRUE(wave_out.calls.empty());
  }
}

struct Fixture {
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator{wave_out, window};
};

TEST(StartGenerator, SilenceSineTableStreamThenStartTick) {
  Fixture f;
  f.window.tick_step = 7;
  bool sine_built_before_open = false;
  bool clock_read_before_open = true;
  f.wave_out.on_call = [&](const std::string& call) {
    if (call.rfind("open", 0) != 0) return;
    sine_built_before_open = f.generator.sine.entries[16384] != 0;
    clock_read_before_open = !f.window.calls.empty();
  };
  start_generator(f.generator, 0x1234);
  ASSERT_GE(f.wave_out.calls.size(), 2u);
  EXPECT_EQ(f.wave_out.calls[0], "set_volume device=0 word=0x0");
  EXPECT_EQ(f.wave_out.calls[1].rfind("open device=0 flags=0x10002", 0), 0u);
  EXPECT_EQ(f.wave_out.opened_target, 0x1234u);
  EXPECT_TRUE(sine_built_before_open);
  EXPECT_FALSE(clock_read_before_open);
  EXPECT_EQ(f.window.calls.back(), "tick_count");  // start_tick is the last reading
  EXPECT_EQ(f.generator.start_tick, f.window.tick - 7);

  const std::size_t calls = f.wave_out.calls.size();
  on_main_window_destroyed(f.generator);
  EXPECT_EQ(
      Calls(f.wave_out.calls.begin() + static_cast<std::ptrdiff_t>(calls), f.wave_out.calls.end()),
      (Calls{"reset", "close"}));
}

TEST(StartGenerator, FailedOpenStillStartsAndShutsDownQuietly) {
  Fixture f;
  f.wave_out.fail("open", kMmBadDeviceId);
  start_generator(f.generator, 0x1234);
  EXPECT_EQ(f.generator.start_tick, 1000u);
  EXPECT_EQ(f.window.boxes.size(), 1u);  // the device's error text, once
  const std::size_t calls = f.wave_out.calls.size();
  on_main_window_destroyed(f.generator);
  EXPECT_EQ(f.wave_out.calls.size(), calls);
}

}  // namespace
}  // namespace tq

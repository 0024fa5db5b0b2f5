#include "panel/routing.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/generator.h"
#include "audio/output_stream.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "info/device_report.h"
#include "info/info_commands.h"
#include "panel/frequency_control.h"
#include "panel/level_control.h"
#include "panel/scroll_codes.h"

namespace tq {
namespace {

struct Fixture {
  Fixture() {
    window.type(Box::frequency, "440");
    window.type(Box::left_level, "-10");
    window.type(Box::right_level, "-20");
  }
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator{wave_out, window};
};

// Everything a command could have touched.
void expect_same_effects(const Fixture& a, const Fixture& b, int id) {
  EXPECT_EQ(a.window.calls, b.window.calls) << id;
  EXPECT_EQ(a.window.boxes, b.window.boxes) << id;
  EXPECT_EQ(a.wave_out.calls, b.wave_out.calls) << id;
  EXPECT_EQ(a.generator.panel.frequency, b.generator.panel.frequency) << id;
  EXPECT_EQ(a.generator.panel.level_db, b.generator.panel.level_db) << id;
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(a.generator.channels[c].waveform, b.generator.channels[c].waveform) << id;
    EXPECT_EQ(a.generator.channels[c].frequency, b.generator.channels[c].frequency) << id;
  }
}

// A routed command does what its handler does when called directly; only
// the low 16 bits of the id count, and a radio id acts whatever the
// notification.
TEST(RouteCommand, EveryIdOfTheTable) {
  using Action = std::function<void(Generator&, int notification)>;
  const auto run = [](void (*command)(Generator&)) {
    return [=](Generator& g, int) { command(g); };
  };
  const auto level = [](int channel) {
    return [=](Generator& g, int n) { on_level_entry(g, channel, n); };
  };
  const auto radio = [](int channel, WaveformKind kind) {
    return [=](Generator& g, int) { on_waveform_selected(g, channel, kind); };
  };
  const Action close = [](Generator& g, int) { g.window.request_close(); };
  // clang-format off
  const std::vector<std::pair<int, Action>> cases = {
      {5, close}, {40, run(show_help_box)}, {41, run(show_about_box)},
      {50, on_frequency_entry}, {51, level(0)}, {56, level(1)}, {69, run(show_timing_report)},
      {70, run(report_sound_devices)}, {72, run(open_product_page)}, {0x10005, close},
      {0x7FFF0000 + 56, level(1)}, {52, radio(0, kSine)}, {53, radio(0, kSquare)},
      {54, radio(0, kSawtooth)}, {55, radio(0, kPulse)}, {61, radio(0, kTriangle)},
      {65, radio(0, kWhiteNoise)}, {67, radio(0, kPinkNoise)}, {57, radio(1, kSine)},
      {58, radio(1, kSquare)}, {59, radio(1, kSawtooth)}, {60, radio(1, kPulse)},
      {62, radio(1, kTriangle)}, {66, radio(1, kWhiteNoise)}, {68, radio(1, kPinkNoise)},
      {0x12340000 + 67, radio(0, kPinkNoise)}};
  // clang-format on
  for (const auto& [id, action] : cases) {
    for (const int notification : {kEnMaxText, 0, kEnChange, 0xFFFF}) {
      Fixture routed;
      Fixture direct;
      routed.generator.channels[0].waveform = direct.generator.channels[0].waveform = 0;
      EXPECT_EQ(route_command(routed.generator, id, notification), CommandResult::handled);
      action(direct.generator, notification);
      expect_same_effects(routed, direct, id);
      if (notification == kEnMaxText) {
        EXPECT_FALSE(routed.window.calls.empty() && routed.wave_out.calls.empty()) << id;
      }
    }
  }
}

TEST(RouteCommand, UnknownIdsGoToTheDefault) {
  std::vector<int> ids = {63, 64, 71, 73, 74, 1000, 0xFFFF, 0x10000, 0x7FFF0000 + 63, -1};
  for (int id = 0; id <= 49; ++id) {
    if (id != 5 && id != 40 && id != 41) ids.push_back(id);
  }
  for (const int id : ids) {
    Fixture f;
    EXPECT_EQ(route_command(f.generator, id, kEnMaxText), CommandResult::pass_to_default) << id;
    EXPECT_TRUE(f.window.calls.empty() && f.wave_out.calls.empty()) << id;
    EXPECT_EQ(f.generator.panel.frequency, 1.0) << id;
  }
}

TEST(RouteHorizontalScroll, EverySourceEndsWithTheFrequencyCopied) {
  const struct {
    ScrollSource source;
    double frequency, left_db, right_db;
  } cases[] = {{ScrollSource::none, 440, -50, -50},
               {ScrollSource::frequency, 144.19, -50, -50},
               {ScrollSource::left_level, 440, -49, -50},
               {ScrollSource::right_level, 440, -50, -49}};
  for (const auto& c : cases) {
    Fixture f;
    f.generator.panel.frequency = 440.0;  // the channels are still at 1 Hz
    const int code = c.source == ScrollSource::frequency ? kSbThumbTrack : kSbLineRight;
    route_horizontal_scroll(f.generator, c.source, code, 128);
    EXPECT_EQ(f.generator.panel.frequency, c.frequency);
    EXPECT_EQ(f.generator.channels[0].frequency, c.frequency);
    EXPECT_EQ(f.generator.channels[1].frequency, c.frequency);
    EXPECT_EQ(f.generator.panel.level_db, (std::array<double, 2>{c.left_db, c.right_db}));
    if (c.source == ScrollSource::none) {
      EXPECT_TRUE(f.window.calls.empty());
    }
  }
}

TEST(RouteDeviceMessage, ReachesTheStream) {
  Fixture f;
  ASSERT_TRUE(open_output_stream(f.generator, 0x77));
  f.generator.random.state = 12345;
  route_device_message(f.generator, kMmWomOpen, nullptr);
  EXPECT_EQ(f.generator.random.state, 1u);  // OPEN reseeds the noise
  const std::size_t calls = f.wave_out.calls.size();
  const std::size_t window_calls = f.window.calls.size();
  route_device_message(f.generator, 0x3BE, f.wave_out.queue.front());  // not a device event
  EXPECT_EQ(f.window.calls.size(), window_calls);
  route_device_message(f.generator, kMmWomClose, nullptr);
  EXPECT_EQ(f.wave_out.calls.size(), calls);
  WaveHeader* done = f.wave_out.finish_next();
  route_device_message(f.generator, kMmWomDone, done);
  EXPECT_EQ(f.wave_out.calls.back(), "write " + std::to_string(done->user));
}

}  // namespace
}  // namespace tq

#include "panel/level_control.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>
#include <tuple>

#include "audio/output_level.h"
#include "doubles/recorded_generator.h"
#include "panel/scroll_codes.h"
#include "synth/text_exchange.h"

namespace tq {
namespace {

using Fixture = testing::RecordedGenerator;

TEST(LevelScroll, CodesThumbsAndClamps) {
  const std::tuple<double, int, int, double> cases[] = {
      {-20, kSbThumbPosition, 0, -50},
      {-20, kSbThumbTrack, 0x10000 + 100, -30},  // 16 bits; -30.4 truncated toward zero
      {-50, kSbLineLeft, 0, -51},
      {-50, kSbLeft, 0, -51},
      {-10, kSbLineRight, 0, -9},
      {-10, kSbRight, 0, -9},
      {-10, kSbPageLeft, 0, -26},
      {-30, kSbPageRight, 0, -14},
      {-10, kSbPageRight, 0, 0},
      {-98.5, kSbLineLeft, 0, -99},
      {-12.5, kSbEndScroll, 0, -12.5},
  };
  for (const auto& [start, code, thumb, expected] : cases)
    EXPECT_EQ(scrolled_level(start, code, thumb), expected) << start << " code " << code;
  const std::pair<double, int> positions[] = {
      {0, 255},
      {-12.5, 191},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {-1e300, INT_MIN},
  };
  for (const auto& [level, position] : positions) EXPECT_EQ(level_to_position(level), position);
}

TEST(LevelScroll, SixtyLineLeftsStopAtTheFloor) {
  Fixture f;
  for (int i = 0; i < 60; ++i)
    on_level_scroll(f.generator.panel, f.wave_out, f.window, 1, kSbLineLeft, 0);
  EXPECT_EQ(f.generator.panel.level_db, (std::array<double, 2>{-50.0, -99.0}));
  EXPECT_EQ(f.window.bar_positions, (std::array<int, 3>{-1, -1, -249}));
  EXPECT_EQ(f.window.box_texts[2], "-99");
  EXPECT_EQ(f.window.focus_requests, 60);
  ASSERT_EQ(f.wave_out.volumes.size(), 60u);
  EXPECT_EQ(f.wave_out.volumes.back(), volume_word(-50.0, -99.0));
}

// A typed level is clamped to -50..0; text that is no number keeps the
// previous level, clamped all the same.
TEST(LevelEntry, TypedTexts) {
  const std::tuple<int, double, std::string, double> cases[] = {
      {0, -50, "-80", -50},  {0, -50, "3", 0},  {1, -50, "-20", -20}, {0, -50, " -12.5 dB", -12.5},
      {1, -30, "loud", -30}, {0, -99, "", -50}, {0, -30, "nan", -50}, {1, -30, "inf", 0},
  };
  for (const auto& [channel, previous, typed, expected] : cases) {
    Fixture f;
    const auto slot = static_cast<std::size_t>(channel);
    f.generator.panel.level_db[slot] = previous;
    f.window.type(slot == 0 ? Box::left_level : Box::right_level, typed);
    on_level_entry(f.generator.panel, f.wave_out, f.window, channel, kEnMaxText);
    const auto& levels = f.generator.panel.level_db;
    EXPECT_EQ(std::tie(levels[slot], levels[1 - slot], f.window.box_texts[slot + 1],
                       f.window.bar_positions[slot + 1], f.window.focus_requests),
              std::tuple(expected, -50.0, format_g(expected), level_to_position(expected), 1))
        << '"' << typed << '"';
    EXPECT_EQ(f.wave_out.volumes, std::vector<std::uint32_t>{volume_word(levels[0], levels[1])});
  }
  Fixture ignored;
  ignored.window.type(Box::left_level, "-10");
  on_level_entry(ignored.generator.panel, ignored.wave_out, ignored.window, 0, kEnChange);
  EXPECT_TRUE(ignored.window.calls.empty() && ignored.wave_out.calls.empty());
}

TEST(WaveformSelection, EachChannelKeepsItsOwn) {
  Fixture f;
  on_waveform_selected(f.generator.signal.channels, f.window, 0, kPinkNoise);
  on_waveform_selected(f.generator.signal.channels, f.window, 1, kTriangle);
  EXPECT_EQ(f.generator.signal.channels[0].waveform, kPinkNoise);
  EXPECT_EQ(f.generator.signal.channels[1].waveform, kTriangle);
  EXPECT_EQ(f.window.focus_requests, 2);
}

}  // namespace
}  // namespace tq

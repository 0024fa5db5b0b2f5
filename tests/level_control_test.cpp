#include "panel/level_control.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>

#include "app/generator.h"
#include "audio/output_level.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "panel/scroll_codes.h"
#include "panel/text_exchange.h"

namespace tq {
namespace {

struct Fixture {
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator{wave_out, window};
};

TEST(LevelScroll, CodesThumbsAndClamps) {
  // clang-format off
  const struct { double start; int code, thumb; double expected; } cases[] = {
      {-20, kSbThumbPosition, 0, -50}, {-20, kSbThumbTrack, 255, 0}, {-20, kSbThumbTrack, 100, -30},
      {-20, kSbThumbTrack, 254, 0}, {-20, kSbThumbTrack, 0x10000 + 100, -30},
      {-20, kSbThumbTrack, 0xFFFF, 0}, {-50, kSbLineLeft, 0, -51}, {-50, kSbLeft, 0, -51},
      {-10, kSbLineRight, 0, -9}, {-10, kSbRight, 0, -9}, {-10, kSbPageLeft, 0, -26},
      {-30, kSbPageRight, 0, -14}, {-10, kSbPageRight, 0, 0}, {0, kSbLineRight, 0, 0},
      {-98.5, kSbLineLeft, 0, -99}, {-12.5, kSbEndScroll, 0, -12.5}, {-12.5, 42, 0, -12.5}};
  const struct { double level; int position; } positions[] = {
      {-50, 0}, {0, 255}, {-30, 102}, {-12.5, 191}, {-99, -249},
      {std::numeric_limits<double>::quiet_NaN(), 0}, {-1e300, INT_MIN}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(scrolled_level(c.start, c.code, c.thumb), c.expected)
        << c.start << " code " << c.code << " thumb " << c.thumb;
  }
  for (const auto& c : positions) EXPECT_EQ(level_to_position(c.level), c.position) << c.level;
}

TEST(LevelScroll, SixtyLineLeftsStopAtTheFloor) {
  Fixture f;
  for (int i = 0; i < 60; ++i) on_level_scroll(f.generator, 0, kSbLineLeft, 0);
  EXPECT_EQ(f.generator.panel.level_db, (std::array<double, 2>{-99.0, -50.0}));
  EXPECT_LE(f.window.bar_positions[1], 0);  // the bar shows its left end
  EXPECT_EQ(f.window.box_texts[1], "-99");
  EXPECT_EQ(f.window.focus_requests, 60);
  ASSERT_EQ(f.wave_out.volumes.size(), 60u);
  EXPECT_EQ(f.wave_out.volumes.back(), volume_word(-99.0, -50.0));
}

TEST(LevelEntry, TypedTexts) {
  // clang-format off
  const struct { int channel; double previous; std::string typed; double expected; } cases[] = {
      {0, -50, "-80", -50}, {0, -50, "3", 0}, {1, -50, "-20", -20}, {0, -50, " -12.5 dB", -12.5},
      {1, -30, "loud", -30}, {0, -99, "", -50} /* a scrolled -99 is clamped all the same */,
      {0, -30, "nan", -50}, {0, -30, "inf", 0}, {1, -30, "-inf", -50}};
  // clang-format on
  for (const auto& c : cases) {
    Fixture f;
    const std::size_t slot = static_cast<std::size_t>(c.channel);
    f.generator.panel.level_db[slot] = c.previous;
    f.window.type(slot == 0 ? Box::left_level : Box::right_level, c.typed);
    on_level_entry(f.generator, c.channel, kEnMaxText);
    EXPECT_EQ(f.generator.panel.level_db[slot], c.expected) << '"' << c.typed << '"';
    EXPECT_EQ(f.generator.panel.level_db[1 - slot], -50.0);
    EXPECT_EQ(f.window.box_texts[slot + 1], format_g(c.expected)) << c.typed;
    EXPECT_EQ(f.window.bar_positions[slot + 1], level_to_position(c.expected));
    EXPECT_EQ(f.window.focus_requests, 1);
    EXPECT_EQ(f.wave_out.volumes,
              std::vector<std::uint32_t>{
                  volume_word(f.generator.panel.level_db[0], f.generator.panel.level_db[1])});
  }
  Fixture ignored;
  ignored.window.type(Box::left_level, "-10");
  on_level_entry(ignored.generator, 0, kEnChange);
  EXPECT_TRUE(ignored.window.calls.empty() && ignored.wave_out.calls.empty());
}

TEST(LevelEntry, RightMinusTwentyGivesTheVolumeWord) {
  Fixture f;
  f.window.type(Box::right_level, "-20");
  on_level_entry(f.generator, 1, kEnMaxText);
  EXPECT_EQ(f.wave_out.calls,
            std::vector<std::string>{"set_volume device=0 word=0x190000ca"});  // 202 + (6400 << 16)
}

TEST(WaveformSelection, EachChannelKeepsItsOwn) {
  Fixture f;
  on_waveform_selected(f.generator, 0, kPinkNoise);
  on_waveform_selected(f.generator, 1, kSine);
  EXPECT_EQ(f.generator.channels[0].waveform, kPinkNoise);
  EXPECT_EQ(f.generator.channels[1].waveform, kSine);
  EXPECT_EQ(f.window.focus_requests, 2);
}

}  // namespace
}  // namespace tq

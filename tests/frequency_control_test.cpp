#include "panel/frequency_control.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "panel/scroll_codes.h"

namespace tq {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

struct Fixture {
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator{wave_out, window};
};

TEST(FrequencyScroll, CodesThumbsAndClamps) {
  // clang-format off
  const struct { double start; int code, thumb; double expected; } cases[] = {
      {440, kSbThumbPosition, 0, 1}, {440, kSbThumbTrack, 255, 20000},
      {440, kSbThumbTrack, 128, 144.19}, {440, kSbThumbTrack, 0x10000 + 128, 144.19},
      {440, kSbThumbTrack, 0xFFFF, 20000}, {1, kSbLineRight, 0, 1.01}, {1000, kSbRight, 0, 1010},
      {1000, kSbLeft, 0, 990}, {100, kSbPageRight, 0, 116}, {100, kSbPageLeft, 0, 84},
      {1, kSbLineLeft, 0, 1}, {20000, kSbLineRight, 0, 20000}, {3.14159, kSbLineRight, 0, 3.173},
      {1234.5, kSbEndScroll, 0, 1234.5}, {1234.5, 99, 0, 1234.5},
      {50000, kSbEndScroll, 0, 20000}, {0.05, kSbLineRight, 0, 1}, {-3, kSbLineLeft, 0, 1}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(scrolled_frequency(c.start, c.code, c.thumb), c.expected)
        << c.start << " code " << c.code << " thumb " << c.thumb;
  }
  Fixture f;
  on_frequency_scroll(f.generator, kSbThumbTrack, 128);
  EXPECT_EQ(f.window.calls,
            (std::vector<std::string>{"set_bar_position 0 127", "set_box_text 0 144.19",
                                      "focus_main_window"}));
  EXPECT_EQ(f.generator.channels[0].frequency, 144.19);
  EXPECT_EQ(f.generator.channels[1].frequency, 144.19);
}

TEST(FrequencyMapping, RoundingAndPositions) {
  // clang-format off
  const struct { double x; bool valid; double expected; } rounding[] = {
      {20000, true, 20000}, {1234.567, true, 1234.6}, {0.123456, true, 0.12346},
      {12.34567, true, 12.346}, {2147483647.0, true, 2147483647.0}, {0.099999, true, 0.099999},
      {0, true, 0}, {-7.123456, true, -7.123456}, {2147483647.6, false, 0}, {1e10, false, 0},
      {kInf, false, 0}, {-kInf, false, 0}, {kNan, false, 0}};
  const struct { double frequency; int position; } positions[] = {
      {1, 0}, {20000, 255}, {144.19, 127}, {50000, 278}, {0.5, -17}, {0, INT_MIN}, {-1, 0},
      {kNan, 0}, {kInf, INT_MAX}};
  // clang-format on
  for (const auto& c : rounding) {
    const std::optional<double> rounded = round_to_five_digits(c.x);
    ASSERT_EQ(rounded.has_value(), c.valid) << c.x;
    EXPECT_DOUBLE_EQ(rounded.value_or(0.0), c.expected) << c.x;
  }
  for (const auto& c : positions) EXPECT_EQ(frequency_to_position(c.frequency), c.position);
}

TEST(FrequencyEntry, TypedTexts) {
  // clang-format off
  const struct { std::string typed; double expected; const char* shown; } cases[] = {
      {"50000", 50000, "50000"}, {"1234.567", 1234.6, "1234.6"}, {" 2e3 Hz", 2000, "2000"},
      {"0.05", 0.05, "0.05"}, {"0", 0, "0"}, {"-5", -5, "-5"}, {"not a number", 440, "440"},
      {"", 440, "440"}, {"1e10", 440, "440"}, {"inf", 440, "440"}, {"nan", 440, "440"},
      {std::string(98, ' ') + "12", 1, "1"}};  // only 99 characters are read
  // clang-format on
  for (const auto& c : cases) {
    Fixture f;
    f.generator.panel.frequency = 440.0;
    f.window.type(Box::frequency, c.typed);
    on_frequency_entry(f.generator, kEnMaxText);
    EXPECT_EQ(f.generator.panel.frequency, c.expected) << '"' << c.typed << '"';
    EXPECT_EQ(f.window.box_texts[0], c.shown) << c.typed;
    EXPECT_EQ(f.window.bar_positions[0], frequency_to_position(c.expected));
    EXPECT_EQ(f.window.focus_requests, 1);
    EXPECT_EQ(f.generator.channels[0].frequency, c.expected);
    EXPECT_EQ(f.generator.channels[1].frequency, c.expected);
  }
  for (const int other_notification : {0, kEnChange, 0x0502, 0xFFFF}) {
    Fixture f;
    f.generator.panel.frequency = 440.0;
    f.window.type(Box::frequency, "1000");
    on_frequency_entry(f.generator, other_notification);
    EXPECT_EQ(f.generator.panel.frequency, 440.0);
    EXPECT_TRUE(f.window.calls.empty());
    EXPECT_EQ(f.generator.channels[0].frequency, 440.0);  // copied all the same
    EXPECT_EQ(f.generator.channels[1].frequency, 440.0);
  }
}

}  // namespace
}  // namespace tq

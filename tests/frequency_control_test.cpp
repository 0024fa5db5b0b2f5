#include "panel/frequency_control.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <string>
#include <tuple>

#include "doubles/recorded_generator.h"
#include "panel/scroll_codes.h"

namespace tq {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

TEST(FrequencyScroll, CodesThumbsAndClamps) {
  const std::tuple<double, int, int, double> cases[] = {
      {440, kSbThumbPosition, 0, 1},
      {440, kSbThumbTrack, 0x10000 + 128, 144.19},  // 16 bits of thumb, rounded
      {1000, kSbRight, 0, 1010},
      {1000, kSbLineLeft, 0, 990},
      {1000, kSbLeft, 0, 990},
      {100, kSbPageRight, 0, 116},
      {100, kSbPageLeft, 0, 84},
      {20000, kSbLineRight, 0, 20000},
      {3.14159, kSbLineRight, 0, 3.173},
      {1234.5, kSbEndScroll, 0, 1234.5},
      {-3, kSbEndScroll, 0, 1},
      {kNan, kSbEndScroll, 0, 1},
  };
  for (const auto& [start, code, thumb, expected] : cases) {
    EXPECT_DOUBLE_EQ(scrolled_frequency(start, code, thumb), expected)
        << start << " code " << code << " thumb " << thumb;
  }
  testing::RecordedGenerator r;
  on_frequency_scroll(r.generator.panel, r.generator.signal.channels, r.window, kSbThumbTrack, 128);
  EXPECT_EQ(testing::joined(r.window.calls),
            "set_bar_position 0 127, set_box_text 0 144.19, focus_main_window");
  EXPECT_TRUE(r.generator.signal.channels[0].frequency == 144.19 &&
              r.generator.signal.channels[1].frequency == 144.19);
}

// Values below 0.1 (zero and negatives too) are kept as they are; one whose
// scaled value is no 32-bit integer, or that is not finite, is no entry.
TEST(FrequencyMapping, RoundingAndPositions) {
  const std::pair<double, std::optional<double>> rounding[] = {
      {1234.567, 1234.6},   {0.123456, 0.12346},          {2147483647.0, 2147483647.0},
      {0.099999, 0.099999}, {2147483647.6, std::nullopt}, {-kInf, std::nullopt},
      {kNan, std::nullopt},
  };
  for (const auto& [x, expected] : rounding) EXPECT_EQ(round_to_five_digits(x), expected) << x;
  const std::pair<double, int> positions[] = {
      {20000, 255}, {0.5, -17}, {0, INT_MIN}, {kNan, 0}, {kInf, INT_MAX}};
  for (const auto& [frequency, position] : positions)
    EXPECT_EQ(frequency_to_position(frequency), position) << frequency;
}

// An unusable entry keeps the previous frequency and writes it back.
TEST(FrequencyEntry, TypedTexts) {
  const std::tuple<std::string, double, const char*> cases[] = {
      {"50000", 50000, "50000"},
      {" 2e3 Hz", 2000, "2000"},
      {"0.05", 0.05, "0.05"},
      {"-5", -5, "-5"},
      {"not a number", 440, "440"},
      {"1e10", 440, "440"},
      {"inf", 440, "440"},
      {std::string(98, ' ') + "12", 1, "1"},  // only 99 characters are read
  };
  for (const auto& [typed, expected, shown] : cases) {
    testing::RecordedGenerator r;
    r.generator.panel.frequency = 440.0;
    r.window.type(Box::frequency, typed);
    on_frequency_entry(r.generator.panel, r.generator.signal.channels, r.window, kEnMaxText);
    const auto& g = r.generator;
    EXPECT_EQ(
        std::tie(g.panel.frequency, g.signal.channels[0].frequency, g.signal.channels[1].frequency,
                 r.window.box_texts[0], r.window.bar_positions[0], r.window.focus_requests),
        std::tuple(expected, expected, expected, shown, frequency_to_position(expected), 1))
        << '"' << typed << '"';
  }
  for (const int other_notification : {0, kEnChange, 0x0502}) {
    testing::RecordedGenerator r;
    r.generator.panel.frequency = 440.0;
    r.window.type(Box::frequency, "1000");
    on_frequency_entry(r.generator.panel, r.generator.signal.channels, r.window,
                       other_notification);
    const auto& g = r.generator;
    EXPECT_EQ(
        std::tie(g.panel.frequency, g.signal.channels[0].frequency, g.signal.channels[1].frequency),
        std::tuple(440.0, 440.0, 440.0));  // copied all the same
    EXPECT_TRUE(r.window.calls.empty());
  }
}

}  // namespace
}  // namespace tq

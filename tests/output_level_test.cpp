#include "audio/output_level.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace tq {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// -40 and -60 dB land exactly on whole volumes (pow, not exp of ln 10).
TEST(OutputLevel, VolumeWordTruncatesAndSaturatesEveryLevel) {
  const std::tuple<double, double, std::uint32_t> cases[] = {
      {-50, -50, 0x00CA00CA},
      {0, -99, 0x0000FA00},
      {-6, -20, (6400u << 16) + 32075},
      {-40, -60, 640 + (64u << 16)},
      {3, kInf, 0xFFFFFFFF},
      {kNaN, 1e308, 0xFFFF0000},
      {-kInf, -1e308, 0},
  };
  for (const auto& [left, right, word] : cases) EXPECT_EQ(volume_word(left, right), word) << left;
}

TEST(OutputLevel, ApplyVolumeKeepsSamplesAtUnityAndSaturatesAbove) {
  const std::tuple<std::int16_t, std::uint32_t, std::int16_t> cases[] = {
      {-32768, 64000, -32768}, {-1001, 32000, -500},     {25000, 0, 0},
      {32767, 0xFFFF, 32767},  {-32768, 0xFFFF, -32768},
  };
  for (const auto& [sample, volume, result] : cases) {
    EXPECT_EQ(apply_volume(sample, volume), result) << sample << " x " << volume;
  }
}

}  // namespace
}  // namespace tq

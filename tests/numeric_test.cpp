#include "synth/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

TEST(TruncateToInt32, TruncatesTowardZeroAndSaturates) {
  const std::pair<double, std::int32_t> cases[] = {
      {1.9, 1},
      {-1.9, -1},
      {2147483648.0, kMax32},
      {-2147483648.9, kMin32},
      {-2147483649.0, kMin32},
      {-kInf, kMin32},
      {kNaN, 0},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(tq::truncate_to_int32(value), expected) << value;
}

TEST(TruncateToLow32, KeepsLowHalfOfTheInt64Truncation) {
  const std::pair<double, std::uint32_t> cases[] = {
      {97391.54866213152, 97391u},
      {-1.0, 0xFFFFFFFFu},
      {std::ldexp(1.0, 40) + 7.9, 7u},
      {-std::ldexp(1.0, 63), 0u},  // INT64_MIN fits; its low half is 0
      {std::ldexp(1.0, 63), 0u},   // first value that does not fit
      {kInf, 0u},
      {kNaN, 0u},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(tq::truncate_to_low32(value), expected) << value;
}

}  // namespace

#include "synth/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

TEST(TruncateToInt32, TruncatesTowardZeroAndSaturates) {
  const struct {
    double value;
    std::int32_t expected;
  } cases[] = {
      {1.9, 1},
      {-1.9, -1},
      {2147483647.9, kMax32},
      {2147483648.0, kMax32},
      {-2147483648.9, kMin32},
      {-2147483649.0, kMin32},
      {1e300, kMax32},
      {-1e300, kMin32},
      {kInf, kMax32},
      {-kInf, kMin32},
      {kNaN, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(tq::truncate_to_int32(c.value), c.expected) << c.value;
}

TEST(TruncateToLow32, KeepsLowHalfOfTheInt64Truncation) {
  const struct {
    double value;
    std::uint32_t expected;
  } cases[] = {
      {97391.54866213152, 97391u},
      {-1.0, 0xFFFFFFFFu},
      {-97391.5, 0u - 97391u},
      {4294967296.0 + 5.0, 5u},
      {std::ldexp(1.0, 40) + 7.9, 7u},
      {std::ldexp(1.0, 62) + std::ldexp(1.0, 20), 1u << 20},
      {-std::ldexp(1.0, 63), 0u},  // INT64_MIN fits; its low half is 0
      {std::ldexp(1.0, 63), 0u},   // first value that does not fit
      {1e300, 0u},
      {kInf, 0u},
      {-kInf, 0u},
      {kNaN, 0u},
  };
  for (const auto& c : cases) EXPECT_EQ(tq::truncate_to_low32(c.value), c.expected) << c.value;
}

}  // namespace

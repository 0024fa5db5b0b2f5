#include "synth/numeric.h"

#include <limits>

namespace tq {

namespace {

// 2^31 and 2^63 as doubles: the first values whose truncation no longer fits.
constexpr double kInt32Limit = 2147483648.0;
constexpr double kInt64Limit = 9223372036854775808.0;

}  // namespace

std::int32_t truncate_to_int32(double value) {
  if (value != value) return 0;  // NaN
  if (value >= kInt32Limit) return std::numeric_limits<std::int32_t>::max();
  // Everything above -2^31 - 1 truncates to a value that still fits.
  if (value <= -kInt32Limit - 1.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::uint32_t truncate_to_low32(double value) {
  // The comparisons are false for NaN, so NaN lands here too.
  if (!(value >= -kInt64Limit && value < kInt64Limit)) return 0;
  const auto whole = static_cast<std::int64_t>(value);
  return static_cast<std::uint32_t>(whole);  // modulo 2^32: the low half
}

}  // namespace tq

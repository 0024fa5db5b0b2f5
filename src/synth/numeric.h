#pragma once
// Conversions from double to integer that are defined for every input.
// The plain casts are undefined for NaN and out-of-range values; these
// give a fixed, documented answer instead.

#include <cstdint>

namespace tq {

// Truncates toward zero; NaN gives 0, values beyond the range saturate.
std::int32_t truncate_to_int32(double value);

// Truncates toward zero to 64 bits and keeps the low 32 bits, as a phase
// increment wants. NaN, infinities and values whose truncation does not fit
// a signed 64-bit integer give 0 (the low half of the x86 "integer
// indefinite" result, which is what such a conversion yields in practice).
std::uint32_t truncate_to_low32(double value);

}  // namespace tq

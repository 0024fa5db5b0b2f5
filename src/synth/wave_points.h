#pragma once
// The periodic waveforms at one value of the 32-bit phase accumulator, and
// the table sine's loop: the window's blocks and the command-line signal
// draw their samples from these same definitions.

#include <cstdint>
#include <span>

#include "synth/waveform.h"

namespace tq::wave {

inline constexpr std::uint32_t kHalfPeriod = 0x80000000u;     // 2^31
inline constexpr std::uint32_t kQuarterPeriod = 0x40000000u;  // 2^30
inline constexpr std::int32_t kTriangleDivisor = 42949;       // 2^30 / 25000, truncated
inline constexpr std::int32_t kSawtoothDivisor = 85899;       // 2^31 / 25000, truncated

// p - 2^30 in the first half period and 3 * 2^30 - p in the second are both
// 2^30 minus the distance of p from the half-period point. Written so, the
// compiler divides once per sample instead of dividing both candidates.
inline int triangle_at(std::uint32_t p) {
  const std::uint32_t from_half = p - kHalfPeriod;
  const std::uint32_t distance = p < kHalfPeriod ? 0u - from_half : from_half;
  return static_cast<std::int32_t>(kQuarterPeriod - distance) / kTriangleDivisor;
}

inline int square_at(std::uint32_t p) {
  return p < kHalfPeriod ? kPeak : -kPeak;
}

inline int sawtooth_at(std::uint32_t p) {
  return static_cast<std::int32_t>(p - kHalfPeriod) / kSawtoothDivisor;
}

// The phase advances before the sample is decided: the sample is the peak
// when this step wraps the accumulator.
inline int pulse_at(std::uint32_t p, std::uint32_t step) {
  return p + step < p ? kPeak : 0;
}

// For p < 2^31 the sample is entry (p >> 15) & 0xFFFF of the half period.
// For p >= 2^31 it is that entry of p - 2^31 negated; since (p - 2^31) >> 15
// and p >> 15 agree in their low 16 bits, that is the negated copy at
// 65536 + ((p >> 15) & 0xFFFF) = p >> 15. So every sample is entry p >> 15.
// Two interleaved phase chains keep more table loads in flight.
inline void render_table_sine(const SineTable& table, std::uint32_t phase, std::uint32_t step,
                              std::span<std::int16_t, kBlockFrames> out) {
  std::uint32_t even = phase;
  std::uint32_t odd = phase + step;
  const std::uint32_t double_step = 2 * step;
  for (std::size_t n = 0; n < out.size(); n += 2) {
    out[n] = table.entries[even >> 15];
    out[n + 1] = table.entries[odd >> 15];
    even += double_step;
    odd += double_step;
  }
}

}  // namespace tq::wave

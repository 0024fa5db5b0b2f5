#include "synth/sample_format.h"

#include <algorithm>
#include <cmath>

namespace tq {

namespace {

constexpr double kS16Scale = 1.0;    // the 16-bit scale itself
constexpr double kS24Scale = 256.0;  // 2^24 / 2^16
constexpr double kF32Scale = 1.0 / 32768.0;

struct IntegerRange {
  double low;
  double high;
};

IntegerRange range_of(SampleFormat format) {
  if (format == SampleFormat::kS24) return {-8388608.0, 8388607.0};
  return {-32768.0, 32767.0};
}

std::uint64_t next_word(DitherSource& source) {
  // SplitMix64: one addition and a mix of the sum.
  std::uint64_t z = (source.state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace

double level_gain(double level_db) {
  return std::pow(10.0, level_db / 20.0);
}

double next_tpdf(DitherSource& source) {
  const std::uint64_t word = next_word(source);
  constexpr double kUnit = 1.0 / 4294967296.0;  // 2^-32
  const double first = static_cast<double>(word & 0xFFFFFFFFULL) * kUnit;
  const double second = static_cast<double>(word >> 32) * kUnit;
  return first + second - 1.0;
}

void to_integers(const FineBlock& block, const Conversion& conversion, DitherSource& source,
                 IntegerBlock& out) {
  const double scale = conversion.format == SampleFormat::kS24 ? kS24Scale : kS16Scale;
  const IntegerRange range = range_of(conversion.format);
  for (std::size_t i = 0; i < block.size(); ++i) {
    const std::size_t channel = i % kChannels;
    double value = block[i] * conversion.gain[channel] * scale;
    if (conversion.dither[channel]) value += next_tpdf(source);
    value = std::clamp(std::floor(value + 0.5), range.low, range.high);
    out[i] = static_cast<std::int32_t>(value);
  }
}

void to_floats(const FineBlock& block, const Conversion& conversion, FloatBlock& out) {
  for (std::size_t i = 0; i < block.size(); ++i) {
    const double value = block[i] * conversion.gain[i % kChannels] * kF32Scale;
    out[i] = static_cast<float>(std::clamp(value, -1.0, 1.0));
  }
}

}  // namespace tq

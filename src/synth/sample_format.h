#pragma once
// The command-line programs' output samples: a channel's level as a gain,
// TPDF dither from a source of its own, and blocks on the 16-bit scale
// converted to 16-bit, 24-bit or 32-bit floating-point samples.

#include <array>
#include <cstdint>

#include "synth/signal.h"

namespace tq {

enum class SampleFormat { kS16, kS24, kF32 };
enum class Dither { kNone, kTpdf };

// The dither's own generator (SplitMix64), apart from the noise's
// RandomSource so that dither never changes the noise. The same seed gives
// the same dither on every run and platform.
struct DitherSource {
  std::uint64_t state = 1;
};

// How one block becomes output samples: a gain and a dither switch per
// channel (left first). Floating-point output is never dithered.
struct Conversion {
  SampleFormat format = SampleFormat::kS16;
  std::array<double, 2> gain{1.0, 1.0};
  std::array<bool, 2> dither{false, false};
};

// Interleaved integer samples at the format's own scale: -32768..32767 for
// s16, -8388608..8388607 for s24.
using IntegerBlock = std::array<std::int32_t, kBlockSamples>;
// Interleaved floating-point samples, full scale 1.0 (32768 on the 16-bit
// scale).
using FloatBlock = std::array<float, kBlockSamples>;

// 10^(dB / 20).
double level_gain(double level_db);

// Triangular noise from -1 to 1 least significant bit: the sum of two
// uniform draws.
double next_tpdf(DitherSource& source);

// `block` (16-bit scale) with the gain, dither (when asked) and rounding to
// the nearest integer, saturated to the format's range. format: s16 or s24.
void to_integers(const FineBlock& block, const Conversion& conversion, DitherSource& source,
                 IntegerBlock& out);

// `block` (16-bit scale) with the gain, as floats of full scale 1.0,
// saturated to -1..1.
void to_floats(const FineBlock& block, const Conversion& conversion, FloatBlock& out);

}  // namespace tq

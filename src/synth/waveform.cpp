#include "synth/waveform.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "synth/numeric.h"
#include "synth/vector_clones.h"
#include "synth/wave_points.h"

namespace tq {

namespace {

// The table is defined with this approximation of pi, not the exact value.
constexpr double kTablePi = 3.1415926539;

constexpr int kNoiseOffset = 16383;  // centres 0..32767

using wave::pulse_at;
using wave::sawtooth_at;
using wave::square_at;
using wave::triangle_at;

// One channel's samples of a block, in order, before interleaving.
using ChannelSamples = std::array<std::int16_t, kBlockFrames>;

bool is_noise(WaveformKind kind) {
  return kind == kWhiteNoise || kind == kPinkNoise;
}

// Sample n is wave(phase + n * increment): a plain loop over a phase
// induction variable, which the compiler vectorises.
template <typename Wave>
void render_periodic(std::uint32_t phase, std::uint32_t increment, ChannelSamples& out, Wave wave) {
  for (auto& sample : out) {
    sample = static_cast<std::int16_t>(wave(phase));
    phase += increment;
  }
}

// Renders a waveform that depends on the phase alone. Returns false for a
// code that is not one of them.
TQ_VECTOR_CLONES
bool render_phase_wave(WaveformKind kind, std::uint32_t phase, std::uint32_t increment,
                       ChannelSamples& out) {
  switch (kind) {
    case kTriangle:
      render_periodic(phase, increment, out, [](std::uint32_t p) { return triangle_at(p); });
      return true;
    case kSquare:
      render_periodic(phase, increment, out, [](std::uint32_t p) { return square_at(p); });
      return true;
    case kSawtooth:
      render_periodic(phase, increment, out, [](std::uint32_t p) { return sawtooth_at(p); });
      return true;
    case kPulse:
      render_periodic(phase, increment, out,
                      [increment](std::uint32_t p) { return pulse_at(p, increment); });
      return true;
    default:
      return false;
  }
}

void render_white(const ChannelSamples& draws, ChannelSamples& out) {
  for (std::size_t n = 0; n < out.size(); ++n) {
    out[n] = static_cast<std::int16_t>(draws[n] - kNoiseOffset);
  }
}

// Two lanes that take the same operations side by side: lane 0 is the left
// channel's pink filter, lane 1 the right's. Each lane performs exactly one
// channel's operations in their written order, so the samples are those of
// two separate scalar filters; running them together only overlaps the two
// dependency chains.
typedef double PinkPair __attribute__((vector_size(16)));
typedef std::int32_t IntPair __attribute__((vector_size(8)));

struct PinkPairState {
  std::array<PinkPair, 7> b;  // b0..b6
  PinkPair last_white;
};

PinkPairState load_pink(const std::array<ChannelState, 2>& channels) {
  const PinkFilter& left = channels[0].pink;
  const PinkFilter& right = channels[1].pink;
  PinkPairState state{};
  for (std::size_t i = 0; i < state.b.size(); ++i) state.b[i] = PinkPair{left.b[i], right.b[i]};
  state.last_white = PinkPair{left.last_white, right.last_white};
  return state;
}

// Writes the filter back to the channels that play pink noise.
void store_pink(const PinkPairState& state, std::array<ChannelState, 2>& channels) {
  for (std::size_t c = 0; c < channels.size(); ++c) {
    if (channels[c].waveform != kPinkNoise) continue;
    for (std::size_t i = 0; i < state.b.size(); ++i) channels[c].pink.b[i] = state.b[i][c];
    channels[c].pink.last_white = state.last_white[c];
  }
}

// One filter step for both lanes, in the filter's fixed order; returns
// pink / 4.
PinkPair next_pink(PinkPairState& s, PinkPair w) {
  auto& b = s.b;
  b[0] = 0.99886 * b[0] + 0.0555179 * w;
  b[1] = 0.99332 * b[1] + 0.0750759 * w;
  b[2] = 0.969 * b[2] + 0.153852 * w;
  b[3] = 0.8665 * b[3] + 0.3104856 * w;
  b[4] = 0.55 * b[4] + 0.5329522 * w;
  b[5] = -0.7616 * b[5] - 0.016898 * w;
  const PinkPair pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + 0.5362 * w;
  b[6] = 0.115926 * w;
  s.last_white = w;
  return pink / 4.0;
}

// Pink values beyond the 16-bit range are clamped: wrapping a loud peak
// would turn it into a full-scale jump of the opposite sign. The filter
// keeps |pink| far below 2^31, so the truncation to 32 bits is exact.
std::int16_t saturate_pink(std::int32_t value) {
  return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

// Renders pink noise for both lanes from the drawn values. The caller keeps
// only the lanes of channels that play pink; the filter state is written
// back only to those. Works in chunks so that converting the drawn values
// to doubles and the results back to 16 bits run as vector loops of their
// own, leaving the filter loop with only the filter's arithmetic.
TQ_VECTOR_CLONES
void render_pink(std::array<ChannelState, 2>& channels, const std::array<ChannelSamples, 2>& draws,
                 std::array<ChannelSamples, 2>& out) {
  constexpr std::size_t kChunk = 256;
  PinkPairState state = load_pink(channels);
  std::array<double, 2 * kChunk> white;            // left, right per frame
  std::array<std::int32_t, 2 * kChunk> truncated;  // left, right per frame
  for (std::size_t start = 0; start < kBlockFrames; start += kChunk) {
    for (std::size_t i = 0; i < kChunk; ++i) {
      white[2 * i] = draws[0][start + i] - kNoiseOffset;
      white[2 * i + 1] = draws[1][start + i] - kNoiseOffset;
    }
    for (std::size_t i = 0; i < kChunk; ++i) {
      PinkPair w;
      std::memcpy(&w, &white[2 * i], sizeof w);
      const IntPair value = __builtin_convertvector(next_pink(state, w), IntPair);
      std::memcpy(&truncated[2 * i], &value, sizeof value);
    }
    for (std::size_t i = 0; i < kChunk; ++i) {
      out[0][start + i] = saturate_pink(truncated[2 * i]);
      out[1][start + i] = saturate_pink(truncated[2 * i + 1]);
    }
  }
  store_pink(state, channels);
}

// Renders one channel's own waveform into `out` and advances its phase.
// Returns false, touching nothing, for a code outside 1..7. Noise samples
// come from the values drawn beforehand.
bool render_channel(ChannelState& channel, const SineTable& table, const ChannelSamples& draws,
                    ChannelSamples& out) {
  const std::uint32_t increment = phase_increment(channel.frequency);
  const WaveformKind kind = channel.waveform;
  if (kind == kSine) {
    wave::render_table_sine(table, channel.phase, increment, out);
  } else if (kind == kWhiteNoise) {
    render_white(draws, out);
  } else if (kind != kPinkNoise && !render_phase_wave(kind, channel.phase, increment, out)) {
    return false;
  }
  channel.phase += increment * static_cast<std::uint32_t>(kBlockFrames);
  return true;
}

void copy_channel(const Block& block, std::size_t channel, ChannelSamples& out) {
  for (std::size_t n = 0; n < out.size(); ++n) out[n] = block[2 * n + channel];
}

void interleave(const std::array<ChannelSamples, 2>& samples, Block& block) {
  for (std::size_t n = 0; n < kBlockFrames; ++n) {
    block[2 * n] = samples[0][n];
    block[2 * n + 1] = samples[1][n];
  }
}

}  // namespace

void build_sine_table(SineTable& table) {
  for (std::size_t i = 0; i < kSineHalfEntries; ++i) {
    const double angle = static_cast<double>(i) * kTablePi / 65536.0;
    const auto entry = static_cast<std::int16_t>(std::sin(angle) * kPeak);
    table.entries[i] = entry;
    table.entries[kSineHalfEntries + i] = static_cast<std::int16_t>(-entry);
  }
}

std::uint32_t phase_increment(double frequency) {
  return truncate_to_low32(frequency * kPhaseIncrementPerHertz);
}

void render_block(Block& block, std::array<ChannelState, 2>& channels, const SineTable& table,
                  RandomSource& random) {
  // Every slot is written before it is read; left uninitialised for speed.
  std::array<ChannelSamples, 2> draws;
  std::array<ChannelSamples, 2> samples;
  const bool any_pink = channels[0].waveform == kPinkNoise || channels[1].waveform == kPinkNoise;
  // All random values up front: the left channel draws its 8192 first, then
  // the right, as rendering the channels one after the other would. The
  // pink filter runs both lanes, so a lane without noise gets zeros.
  for (std::size_t c = 0; c < 2; ++c) {
    if (is_noise(channels[c].waveform)) {
      next_randoms(random, draws[c]);
    } else if (any_pink) {
      draws[c].fill(0);
    }
  }
  if (any_pink) render_pink(channels, draws, samples);
  for (std::size_t c = 0; c < 2; ++c) {
    if (!render_channel(channels[c], table, draws[c], samples[c]))
      copy_channel(block, c, samples[c]);
  }
  interleave(samples, block);
}

}  // namespace tq

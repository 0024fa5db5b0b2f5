#pragma once
// Phase-accumulator synthesis of the seven waveforms into 16-bit stereo
// blocks of 8192 frames at 44100 frames per second.

#include <array>
#include <cstddef>
#include <cstdint>

#include "synth/random_source.h"

namespace tq {

// The waveform code of a channel. Codes are fixed: they are what the panel's
// radio buttons store. Any other value leaves the channel's samples alone.
using WaveformKind = int;
inline constexpr WaveformKind kTriangle = 1;
inline constexpr WaveformKind kWhiteNoise = 2;
inline constexpr WaveformKind kSine = 3;
inline constexpr WaveformKind kSquare = 4;
inline constexpr WaveformKind kSawtooth = 5;
inline constexpr WaveformKind kPulse = 6;
inline constexpr WaveformKind kPinkNoise = 7;

inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;
inline constexpr int kBlockFrames = 8192;
inline constexpr int kBlockSamples = kBlockFrames * kChannels;  // 16-bit slots
inline constexpr int kBlockBytes = kBlockSamples * 2;           // 32768
inline constexpr int kPeak = 25000;
// 2^32 / 44100: phase advance per sample for 1 Hz.
inline constexpr double kPhaseIncrementPerHertz = 97391.54866213152;

struct PinkFilter {
  std::array<double, 7> b{};  // b0..b6
  double last_white = 0.0;
};

struct ChannelState {
  double frequency = 1.0;
  WaveformKind waveform = kSine;
  std::uint32_t phase = 0;  // one period is 2^32
  PinkFilter pink{};
};

// Channel 0 is the left one, channel 1 the right one.
using StereoChannels = std::array<ChannelState, 2>;

// A sine of peak 25000. Entries 0..65535 are the half period the samples
// are defined by; entries 65536..131071 repeat them negated, so a phase p
// reads entry p >> 15 with its sign already applied.
inline constexpr std::size_t kSineHalfEntries = 65536;
struct SineTable {
  std::array<std::int16_t, 2 * kSineHalfEntries> entries{};
};

// Interleaved stereo block: frame n is [2n] left, [2n + 1] right.
using Block = std::array<std::int16_t, kBlockSamples>;

// Everything the stream renders its blocks from: the two channels, the
// sine table and the noise source they share.
struct SignalState {
  StereoChannels channels{};
  SineTable sine{};
  RandomSource random{};
};

void build_sine_table(SineTable& table);

// frequency * 2^32 / 44100, truncated; the low 32 bits of the 64-bit result.
std::uint32_t phase_increment(double frequency);

// Renders one block: channel 0 then channel 1, each producing its 8192
// samples in order into its interleaved slots and drawing noise from
// `random` in that order.
void render_block(Block& block, std::array<ChannelState, 2>& channels, const SineTable& table,
                  RandomSource& random);

}  // namespace tq

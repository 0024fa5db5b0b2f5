#pragma once
// The device volume word applied to the samples: the system mixer is never
// touched, so each stream scales what it hands to ALSA. A change of volume
// is ramped linearly over a few milliseconds so that it does not click.

#include <array>
#include <cstddef>
#include <cstdint>

#include "audio/output_level.h"

namespace tq {

// Longest ramp between two volumes.
inline constexpr std::uint32_t kGainRampMicroseconds = 5000;

enum class SampleFormat { unsigned8, signed16 };

struct GainRamp {
  std::uint32_t word = kUnityVolumeWord;  // the volume being ramped to
  std::array<std::uint32_t, 2> from{kFullScaleVolume, kFullScaleVolume};
  std::array<std::uint32_t, 2> to{kFullScaleVolume, kFullScaleVolume};
  std::uint32_t length = 1;    // frames the ramp takes
  std::uint32_t position = 1;  // frames of the ramp played; == length once settled
};

// A ramp settled at `word` for a stream at `rate` frames per second.
GainRamp settled_gain(std::uint32_t word, std::uint32_t rate);
// Starts a ramp from the volume now reached towards `word`.
void retarget_gain(GainRamp& gain, std::uint32_t word);
// Per-channel volume of the ramp's next frame; channel 0 is left.
std::uint32_t next_volume(const GainRamp& gain, std::size_t channel);

// Scales `frames` interleaved frames of `channels` channels (1 or 2) from
// `in` into `out` (both frames * channels * sample size bytes), advancing
// the ramp. A mono stream follows the left volume.
void scale_frames(GainRamp& gain, SampleFormat format, std::uint32_t channels,
                  const unsigned char* in, unsigned char* out, std::size_t frames);

}  // namespace tq

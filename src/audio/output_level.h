#pragma once
// Channel levels in dB to the device volume word, and start-up silence.

#include <cstdint>

#include "audio/wave_out.h"

namespace tq {

// The volume that stands for 0 dB (and for unity gain where the volume is
// applied to the samples).
inline constexpr std::uint32_t kFullScaleVolume = 64000;
// The volume word of unity on both channels: what a device plays at until
// its volume is set.
inline constexpr std::uint32_t kUnityVolumeWord = kFullScaleVolume | (kFullScaleVolume << 16);
inline constexpr int kStartupAttenuation = 256;

// trunc(64000 * 10^(dB / 20)), defined for every input: NaN gives 0 and the
// result saturates to 0..0xFFFF.
std::uint16_t level_to_volume(double level_db);
// left + (right << 16).
std::uint32_t volume_word(double left_db, double right_db);

// Sets device number 0's volume word from the two levels.
void apply_output_levels(WaveOutService& wave_out, double left_db, double right_db);
// Sets the volume word of the device that stream `handle` plays on to
// (256 - attenuation) * 255: 0 (silence) for the fixed start-up attenuation
// of 256.
void set_startup_volume(WaveOutService& wave_out, WaveOutHandle handle, int attenuation);

// One sample scaled by a 16-bit volume, 64000 = unity, truncated toward zero
// and saturated to the 16-bit range. For services that apply the volume word
// as a gain on the samples, and for the renderer.
std::int16_t apply_volume(std::int16_t sample, std::uint32_t volume);

}  // namespace tq

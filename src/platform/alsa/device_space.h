#pragma once
// ALSA output devices as the wave-out service numbers them, and what each
// accepts: one hardware-parameter space read per device, from which format
// queries and the capability record are answered without opening it again.

#include <alsa/asoundlib.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/wave_out.h"

namespace tq {

inline constexpr const char* kDefaultDeviceName = "default";

// Rates accepted for one sample size and channel count.
struct RateRange {
  bool accepted = false;
  unsigned minimum = 0;
  unsigned maximum = 0;
};

struct DeviceSpace {
  int open_error = 0;  // negative ALSA error when the device could not be opened
  // Index: (16-bit ? 2 : 0) + (stereo ? 1 : 0).
  std::array<RateRange, 4> ranges{};
  std::uint32_t formats = 0;  // the standard-format bits
  std::uint16_t channels = 0;
};

// "default" first, then every output PCM of ALSA's name hints, once each.
std::vector<std::string> list_output_devices();

// PCM, 8 or 16 bits, one or two channels, block alignment and byte rate that
// agree: what a stream of this service can play.
bool is_playable_format(const WaveFormat& format);
// Whether a device with `space` accepts `format`.
bool space_accepts(const DeviceSpace& space, const WaveFormat& format);

// The space of an open PCM (before its parameters are set).
DeviceSpace read_device_space(snd_pcm_t* pcm);
// Opens the device without blocking, reads its space and closes it; on
// failure the space accepts nothing and holds the error.
DeviceSpace probe_device_space(const std::string& name);

// The capability record: name, system ids where there are any, driver
// version, formats and channels from the space, support bits.
WaveOutCaps device_caps_for(const std::string& name, const DeviceSpace& space);

}  // namespace tq

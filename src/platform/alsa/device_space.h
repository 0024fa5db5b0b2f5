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

// A device the user can play to: the ALSA name opened and the name shown.
struct OutputDevice {
  std::string pcm;
  std::string description;
  int card = -1;  // for a card's playback device: its card and device numbers
  int card_device = -1;
};

// What the user can play to: "default" first (the device the program plays
// on), then the sound servers and the PCMs of the user's own configuration
// that ALSA's name hints show, then each card's playback devices once, named
// by ALSA's description. Not the aliases ALSA defines for every card, nor
// the converter and effect plugins; the JACK device only while a JACK server
// runs (asking libjack without one fills the terminal with its complaints).
std::vector<OutputDevice> list_output_devices();

// Whether a PCM of ALSA's name hints is listed; `jack_running` tells whether
// a JACK server runs, `oss_present` whether /dev/dsp exists.
bool is_listed_hint(const std::string& name, bool jack_running, bool oss_present);

// The rates the kernel tells of a card's playback device without opening
// it, read under `proc_root` (normally /proc/asound): those its open streams
// play at (pcmNp/sub*/hw_params) and, for USB cards, those it offers (the
// "Playback:" part of the stream files). Ascending, each once.
std::vector<unsigned> kernel_told_rates(const std::string& proc_root, int card, int device);
// A busy device's space: open_error -EBUSY, and 16-bit stereo at the rates
// from `rates_told` (lowest to highest); nothing else is known of it.
DeviceSpace busy_device_space(const std::vector<unsigned>& rates_told);

// Whether a device with `space` accepts `format`.
bool space_accepts(const DeviceSpace& space, const WaveFormat& format);

// The space of an open PCM (before its parameters are set).
DeviceSpace read_device_space(snd_pcm_t* pcm);
// Opens the device without blocking, reads its space and closes it; on
// failure the space holds the error and accepts nothing, except a busy
// card's device, which accepts what the kernel tells of it.
DeviceSpace probe_device_space(const OutputDevice& device);

// The capability record: the description (at most 31 characters), system
// ids where there are any, driver version, formats and channels from the
// space, support bits.
WaveOutCaps device_caps_for(const OutputDevice& device, const DeviceSpace& space);

}  // namespace tq

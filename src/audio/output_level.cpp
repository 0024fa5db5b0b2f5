#include "audio/output_level.h"

#include <cmath>

#include "audio/output_stream.h"

namespace tq {

std::uint16_t level_to_volume(double level_db) {
  // pow rather than exp(dB * ln 10 / 20): the rounded ln 10 puts -20, -40 and
  // -60 dB just below 6400, 640 and 64, which truncation then loses.
  const double volume = std::pow(10.0, level_db / 20.0) * kFullScaleVolume;
  if (!(volume >= 0.0)) return 0;  // NaN
  if (volume >= 65535.0) return 0xFFFF;
  return static_cast<std::uint16_t>(volume);
}

std::uint32_t volume_word(double left_db, double right_db) {
  return level_to_volume(left_db) + (static_cast<std::uint32_t>(level_to_volume(right_db)) << 16);
}

void apply_output_levels(WaveOutService& wave_out, double left_db, double right_db) {
  wave_out.set_volume(kOutputDevice, volume_word(left_db, right_db));
}

void set_startup_volume(WaveOutService& wave_out, WaveOutHandle handle, int attenuation) {
  std::uint32_t device = 0;
  if (wave_out.device_id(handle, &device) != kMmNoError) return;
  wave_out.set_volume(device, static_cast<std::uint32_t>((256 - attenuation) * 255));
}

std::int16_t apply_volume(std::int16_t sample, std::uint32_t volume) {
  const std::int64_t scaled = static_cast<std::int64_t>(sample) * volume / kFullScaleVolume;
  if (scaled > 32767) return 32767;
  if (scaled < -32768) return -32768;
  return static_cast<std::int16_t>(scaled);
}

}  // namespace tq

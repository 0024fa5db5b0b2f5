#include "platform/pulse/stream_volume.h"

#include <algorithm>

#include "audio/output_level.h"

namespace tq {

pa_volume_t channel_volume(std::uint16_t volume) {
  const std::uint32_t played = std::min<std::uint32_t>(volume, kFullScaleVolume);
  if (played == kFullScaleVolume) return PA_VOLUME_NORM;
  return pa_sw_volume_from_linear(static_cast<double>(played) / kFullScaleVolume);
}

pa_cvolume stream_volume(std::uint32_t word, std::uint8_t channels) {
  pa_cvolume volume{};
  volume.channels = channels;
  volume.values[0] = channel_volume(static_cast<std::uint16_t>(word & 0xFFFF));
  if (channels > 1) volume.values[1] = channel_volume(static_cast<std::uint16_t>(word >> 16));
  return volume;
}

pa_cvolume absolute_volume(const pa_cvolume& relative, const pa_channel_map& stream_map,
                           const pa_cvolume& sink_volume, const pa_channel_map& sink_map) {
  pa_cvolume sink_on_ours = sink_volume;
  pa_cvolume_remap(&sink_on_ours, &sink_map, &stream_map);
  pa_cvolume absolute = relative;
  for (unsigned channel = 0; channel < relative.channels; ++channel) {
    absolute.values[channel] =
        pa_sw_volume_multiply(relative.values[channel], sink_on_ours.values[channel]);
  }
  return absolute;
}

}  // namespace tq

#pragma once
// The device volume word as the volume of our stream on the sound server.
// Each channel's factor is its 16-bit volume / 64000 (64000 unity, 0
// silence); the server applies it when it mixes the stream, so the samples
// we send stay as the renderer made them.

#include <pulse/volume.h>

#include <cstdint>

namespace tq {

// Server volume for one 16-bit channel volume. Volumes above unity (at most
// +0.2 dB) are played at unity: above its norm the server would amplify in
// software, and with flat volumes a stream above its sink raises the sink.
pa_volume_t channel_volume(std::uint16_t volume);

// The stream's volume for `word` (left in the low 16 bits, right in the
// high ones; a one-channel stream follows the left volume), relative to
// the sink it plays on.
pa_cvolume stream_volume(std::uint32_t word, std::uint8_t channels);

// What to ask of the server for a stream whose sink has flat volumes: the
// server takes a sink input's volume as absolute there, so the relative
// volume is scaled by the sink's own (remapped to the stream's channels).
pa_cvolume absolute_volume(const pa_cvolume& relative, const pa_channel_map& stream_map,
                           const pa_cvolume& sink_volume, const pa_channel_map& sink_map);

}  // namespace tq

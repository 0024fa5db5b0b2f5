#include "platform/alsa/software_gain.h"

#include <algorithm>
#include <cstring>

#include "audio/output_level.h"

namespace tq {

namespace {

std::array<std::uint32_t, 2> split_word(std::uint32_t word) {
  return {word & 0xFFFFu, word >> 16};
}

std::int16_t scale_s16(const unsigned char* in, std::uint32_t volume) {
  std::int16_t sample = 0;
  std::memcpy(&sample, in, sizeof sample);
  return apply_volume(sample, volume);
}

unsigned char scale_u8(unsigned char in, std::uint32_t volume) {
  // 8-bit PCM is unsigned around 128; scaled as a 16-bit sample of the same
  // shape, so the same volume gives the same gain.
  const auto centred = static_cast<std::int16_t>((in - 128) * 256);
  const int scaled = apply_volume(centred, volume) / 256;
  return static_cast<unsigned char>(scaled + 128);
}

void scale_frame(SampleFormat format, std::uint32_t channels, const GainRamp& gain,
                 const unsigned char* in, unsigned char* out) {
  for (std::uint32_t channel = 0; channel < channels; ++channel) {
    const std::uint32_t volume = next_volume(gain, channel);
    if (format == SampleFormat::signed16) {
      const std::int16_t scaled = scale_s16(in + 2 * channel, volume);
      std::memcpy(out + 2 * channel, &scaled, sizeof scaled);
    } else {
      out[channel] = scale_u8(in[channel], volume);
    }
  }
}

}  // namespace

GainRamp settled_gain(std::uint32_t word, std::uint32_t rate) {
  GainRamp gain{};
  gain.word = word;
  gain.from = split_word(word);
  gain.to = gain.from;
  const std::uint64_t frames = std::uint64_t{rate} * kGainRampMicroseconds / 1000000;
  gain.length = static_cast<std::uint32_t>(std::max<std::uint64_t>(frames, 1));
  gain.position = gain.length;
  return gain;
}

void retarget_gain(GainRamp& gain, std::uint32_t word) {
  // From the volume the next frame would have had, so that a change in the
  // middle of a ramp continues without a step.
  gain.from = {next_volume(gain, 0), next_volume(gain, 1)};
  gain.to = split_word(word);
  gain.word = word;
  gain.position = 0;
}

std::uint32_t next_volume(const GainRamp& gain, std::size_t channel) {
  if (gain.position >= gain.length) return gain.to[channel];
  const std::int64_t from = gain.from[channel];
  const std::int64_t span = static_cast<std::int64_t>(gain.to[channel]) - from;
  return static_cast<std::uint32_t>(from + span * (gain.position + 1) / gain.length);
}

void scale_frames(GainRamp& gain, SampleFormat format, std::uint32_t channels,
                  const unsigned char* in, unsigned char* out, std::size_t frames) {
  const std::size_t frame_bytes = channels * (format == SampleFormat::signed16 ? 2u : 1u);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    scale_frame(format, channels, gain, in + frame * frame_bytes, out + frame * frame_bytes);
    if (gain.position < gain.length) ++gain.position;
  }
}

}  // namespace tq

#include "platform/winmm/sample_gain.h"

#include <cstring>

#include "audio/output_level.h"

namespace tq {

void copy_with_volume(const char* source, char* target, std::size_t bytes, std::uint16_t channels,
                      std::uint32_t volume) {
  const std::uint32_t left = volume & 0xFFFFu;
  const std::uint32_t right = volume >> 16;
  const std::size_t channel_count = channels == 0 ? 1 : channels;
  const std::size_t samples = bytes / sizeof(std::int16_t);
  for (std::size_t i = 0; i < samples; ++i) {
    std::int16_t sample = 0;
    std::memcpy(&sample, source + i * sizeof sample, sizeof sample);
    const bool odd_channel = (i % channel_count) % 2 == 1;
    sample = apply_volume(sample, odd_channel ? right : left);
    std::memcpy(target + i * sizeof sample, &sample, sizeof sample);
  }
  if (bytes % sizeof(std::int16_t) != 0) target[bytes - 1] = source[bytes - 1];
}

}  // namespace tq

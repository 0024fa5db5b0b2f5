#include "audio/wave_out_rules.h"

namespace tq {

bool is_playable_format(const WaveFormat& format) {
  const bool sample_size_ok = format.bits_per_sample == 8 || format.bits_per_sample == 16;
  const bool channels_ok = format.channels == 1 || format.channels == 2;
  if (format.format_tag != 1 || !sample_size_ok || !channels_ok) return false;
  const std::uint32_t align = format.channels * format.bits_per_sample / 8u;
  return format.block_align == align && format.samples_per_sec > 0 &&
         format.avg_bytes_per_sec == format.samples_per_sec * align;
}

}  // namespace tq

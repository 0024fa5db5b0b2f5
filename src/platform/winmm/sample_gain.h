#pragma once
// A device volume word applied as a gain on 16-bit PCM, for systems whose
// sound driver accepts the wave volume but does not apply it.

#include <cstddef>
#include <cstdint>

#include "audio/output_level.h"  // kUnityVolumeWord, the volume word of unity gain

namespace tq {

// Copies `bytes` bytes of interleaved 16-bit samples from `source` to
// `target`, each scaled by its channel's half of `volume` (low 16 bits for
// even channels, left; high 16 bits for odd ones, right), 64000 = unity. A
// trailing odd byte is copied as it is.
void copy_with_volume(const char* source, char* target, std::size_t bytes, std::uint16_t channels,
                      std::uint32_t volume);

}  // namespace tq

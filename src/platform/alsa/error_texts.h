#pragma once
// Result codes of the ALSA wave-out service and their texts.

#include <cstddef>
#include <string>
#include <vector>

#include "audio/wave_out.h"

namespace tq {

// The result code for a negative ALSA (errno) error: of opening the device
// when `device_opened` is false, else of setting it up for the format.
MMResult result_for_alsa_error(int alsa_error, bool device_opened);
// The text for any result code, known or not.
std::string wave_out_error_text(MMResult result);
// Error texts are shown from a buffer of 128 characters.
inline constexpr std::size_t kMaxErrorTextLength = 127;

// The text for an open that failed with `result`; `alsa_message` is ALSA's
// own reason (snd_strerror), empty when there is none. At most 127
// characters, never cut inside a word: the reason is left out where it
// would not fit.
std::string open_failure_text(MMResult result, const std::string& alsa_message);

// Which device could not be read and why, in plain words: "in use by another
// program" when it is busy, "not available" when it is missing or cannot be
// reached. `description` is the name shown, `pcm` ALSA's name of it. At
// most 127 characters, never cut inside a word.
std::string device_failure_text(MMResult result, const std::string& description,
                                const std::string& pcm, const std::string& alsa_message);

// The first of `candidates` (most to least detailed) that fits in 127
// characters; if none does, the last one cut after its last whole word.
std::string first_that_fits(const std::vector<std::string>& candidates);

}  // namespace tq

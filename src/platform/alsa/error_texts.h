#pragma once
// Result codes of the ALSA wave-out service and their texts.

#include <string>

#include "audio/wave_out.h"

namespace tq {

// The result code for a negative ALSA (errno) error: of opening the device
// when `device_opened` is false, else of setting it up for the format.
MMResult result_for_alsa_error(int alsa_error, bool device_opened);
// The text for any result code, known or not.
std::string wave_out_error_text(MMResult result);
// The text for an open that failed with `result`; `alsa_message` is ALSA's
// own reason (snd_strerror), empty when there is none.
std::string open_failure_text(MMResult result, const std::string& alsa_message);

}  // namespace tq

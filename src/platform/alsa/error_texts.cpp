#include "platform/alsa/error_texts.h"

#include <cerrno>

namespace tq {

namespace {

struct CodeText {
  MMResult code;
  const char* text;
};

constexpr CodeText kTexts[] = {
    {kMmNoError, "The command completed successfully."},
    {kMmError, "The sound system reported an unspecified error."},
    {kMmBadDeviceId, "The sound device number is out of range."},
    {kMmNotEnabled, "The sound device is not ready or has been disabled."},
    {kMmAllocated, "The sound device is in use by another program."},
    {kMmInvalidHandle, "The sound stream handle is not valid (the stream may be closed)."},
    {kMmNoDriver, "No sound output device is available."},
    {kMmNoMem, "There is not enough memory for the sound device."},
    {kMmNotSupported, "The sound device does not support this function."},
    {kMmBadErrNum, "The error number is not known to the sound system."},
    {kMmInvalidFlag, "An invalid flag was passed to the sound device."},
    {kMmInvalidParam, "An invalid parameter was passed to the sound device."},
    {kWaveBadFormat, "The sound device does not support this sound format."},
    {kWaveStillPlaying, "The sound buffer is still queued for playing."},
    {kWaveUnprepared, "The sound buffer has not been prepared."},
    {kWaveSync, "The sound device is synchronous only."},
};

// ALSA's own reason, as the texts add it: " (ALSA: reason)", or nothing.
std::string alsa_reason(const std::string& alsa_message) {
  return alsa_message.empty() ? "" : " (ALSA: " + alsa_message + ")";
}

}  // namespace

MMResult result_for_alsa_error(int alsa_error, bool device_opened) {
  switch (-alsa_error) {
    case EBUSY:
      return kMmAllocated;
    case ENOMEM:
      return kMmNoMem;
    case EINVAL:
      // An open device refuses the format; an open itself fails so for a
      // card number that does not exist.
      return device_opened ? kWaveBadFormat : kMmNoDriver;
    default:
      // No such device, no server to connect to, no permission: whatever
      // the cause, for the user there is no device that can play.
      return device_opened ? kMmError : kMmNoDriver;
  }
}

std::string wave_out_error_text(MMResult result) {
  for (const CodeText& entry : kTexts) {
    if (entry.code == result) return entry.text;
  }
  return "Unknown sound device error (code " + std::to_string(result) + ").";
}

std::string open_failure_text(MMResult result, const std::string& alsa_message) {
  const std::string reason = alsa_reason(alsa_message);
  if (result == kMmNoDriver) {
    const std::string opened = "No sound output device could be opened";
    const std::string check = ". Check that a sound card or sound server is available.";
    return first_that_fits({opened + reason + check, opened + check});
  }
  const std::string text = wave_out_error_text(result);
  std::string with_reason = text;
  with_reason.insert(with_reason.size() - 1, reason);  // before the full stop
  return first_that_fits({with_reason, text});
}

std::string device_failure_text(MMResult result, const std::string& description,
                                const std::string& pcm, const std::string& alsa_message) {
  const std::string shown = description == pcm ? description : description + " (" + pcm + ")";
  const std::string reason = alsa_reason(alsa_message);
  std::string what;
  switch (result) {
    case kMmAllocated:
      return first_that_fits({shown + " is in use by another program.",
                              description + " is in use by another program."});
    case kMmNoDriver:
      what = " is not available";
      break;
    default:
      what = ": " + wave_out_error_text(result);
      what.pop_back();  // its full stop, put after the reason
      break;
  }
  return first_that_fits(
      {shown + what + reason + ".", shown + what + ".", description + what + "."});
}

std::string first_that_fits(const std::vector<std::string>& candidates) {
  for (const std::string& text : candidates) {
    if (text.size() <= kMaxErrorTextLength) return text;
  }
  if (candidates.empty()) return {};
  const std::string& text = candidates.back();
  const std::size_t space = text.rfind(' ', kMaxErrorTextLength);
  return text.substr(0, space == std::string::npos ? kMaxErrorTextLength : space);
}

}  // namespace tq

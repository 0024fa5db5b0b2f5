// Every result code of the service has a text of its own; open failures
// name ALSA's reason and say what to check.

#include "platform/alsa/error_texts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

namespace tq {
namespace {

TEST(ErrorTexts, EveryKnownCodeHasItsOwnTextAndUnknownCodesAreNamed) {
  const MMResult codes[] = {kMmNoError,      kMmError,          kMmBadDeviceId,  kMmNotEnabled,
                            kMmAllocated,    kMmInvalidHandle,  kMmNoDriver,     kMmNoMem,
                            kMmNotSupported, kMmBadErrNum,      kMmInvalidFlag,  kMmInvalidParam,
                            kWaveBadFormat,  kWaveStillPlaying, kWaveUnprepared, kWaveSync};
  std::set<std::string> texts;
  for (const MMResult code : codes) {
    const std::string text = wave_out_error_text(code);
    EXPECT_LE(text.size(), 127u) << code;
    EXPECT_EQ(text.find("Unknown"), std::string::npos) << code;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(codes));
  for (const MMResult code : {12u, 31u, 36u, 0xFFFFFFFFu}) {
    EXPECT_EQ(wave_out_error_text(code),
              "Unknown sound device error (code " + std::to_string(code) + ").");
  }
}

TEST(ErrorTexts, OpenFailuresMapAndExplain) {
  const struct {
    int alsa_error;
    bool device_opened;
    MMResult result;
  } cases[] = {
      {-ENOENT, false, kMmNoDriver}, {-ECONNREFUSED, false, kMmNoDriver},
      {-EINVAL, false, kMmNoDriver}, {-EBUSY, false, kMmAllocated},
      {-ENOMEM, false, kMmNoMem},    {-EINVAL, true, kWaveBadFormat},
      {-EIO, true, kMmError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(result_for_alsa_error(c.alsa_error, c.device_opened), c.result) << c.alsa_error;
  }
  EXPECT_EQ(open_failure_text(kMmNoDriver, "No such file or directory"),
            "No sound output device could be opened (ALSA: No such file or directory). "
            "Check that a sound card or sound server is available.");
  EXPECT_EQ(open_failure_text(kMmAllocated, "Device or resource busy"),
            "The sound device is in use by another program (ALSA: Device or resource busy).");
  EXPECT_EQ(open_failure_text(kMmNoDriver, ""),
            "No sound output device could be opened. "
            "Check that a sound card or sound server is available.");
}

}  // namespace
}  // namespace tq

#pragma once
// Pieces of the ALSA service's tests beside those every service's tests
// share (support/service_test_support.h): a private ALSA configuration.

#include <stdlib.h>

#include <filesystem>

#include "platform/alsa/alsa_wave_out.h"
#include "support/service_test_support.h"

namespace tq::testing {

// Points ALSA at a configuration of the test's own; ALSA reads it again at
// the next open because the path differs.
inline void use_alsa_config(const std::filesystem::path& path) {
  setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

}  // namespace tq::testing

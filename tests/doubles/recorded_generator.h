#pragma once
// A generator over the two recording doubles, as most core tests need one.

#include <string>
#include <vector>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"

namespace tq::testing {

struct RecordedGenerator {
  RecordingWaveOut wave_out;
  RecordingWindow window;
  Generator generator{wave_out, window};
};

// Recorded calls as one line, ", " between them.
inline std::string joined(const std::vector<std::string>& calls) {
  std::string text;
  for (const std::string& call : calls) text += (text.empty() ? "" : ", ") + call;
  return text;
}

}  // namespace tq::testing

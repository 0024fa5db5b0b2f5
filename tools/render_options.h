#pragma once
// The renderer's command line, parsed into settings. Each option is one
// entry of a table (render_options.cpp), so a new option is one more entry.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "synth/waveform.h"

namespace tq::render {

inline constexpr double kMinLevelDb = -99.0;
inline constexpr double kMaxLevelDb = 0.0;
inline constexpr double kMaxFrequency = 22050.0;  // half the sample rate
inline constexpr double kMaxSeconds = 86400.0;    // one day
inline constexpr std::int64_t kMaxBlocks =        // kMaxSeconds in whole blocks
    (static_cast<std::int64_t>(kMaxSeconds) * kSampleRate + kBlockFrames - 1) / kBlockFrames;

struct RenderOptions {
  WaveformKind left = kSine;
  WaveformKind right = kSine;
  double frequency = 1000.0;
  double left_level_db = 0.0;
  double right_level_db = 0.0;
  std::int64_t blocks = 6;  // one second, rounded up to whole blocks
  std::string output;       // "-" is standard output
  bool help = false;
  bool version = false;
  bool devices = false;  // list the sound output devices instead of rendering
};

struct ParseResult {
  RenderOptions options;
  std::string error;  // empty when the command line is good
};

// Parses the arguments after the program name. On an error, `error` is one
// line that names the offending argument.
ParseResult parse_render_options(std::span<const std::string_view> args);

// Whole 8192-frame blocks that hold `seconds` of sound, rounded up.
std::int64_t blocks_for_seconds(double seconds);

// The --help text, one option per line.
std::string usage_text();

}  // namespace tq::render

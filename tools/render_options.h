#pragma once
// The renderer's command line, parsed into settings. Each option is one
// entry of a table (render_options.cpp), so a new option is one more entry.
//
// The options that shape the signal (waveforms, frequencies, levels, phase,
// polarity, duty, sweep, bursts, fades) can also be applied one at a time,
// by name, to settings already in use: apply_signal_option() is what a live
// player calls for each "NAME VALUE" it is given, signal_options() lists
// them for its help, and describe_signal() is its one-line status.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "synth/sample_format.h"
#include "synth/signal.h"
#include "synth/waveform.h"

namespace tq::render {

inline constexpr double kMinLevelDb = -99.0;
inline constexpr double kMaxLevelDb = 0.0;
inline constexpr double kMaxFrequency = 22050.0;  // half the default rate
inline constexpr double kMaxSeconds = 86400.0;    // one day
inline constexpr std::int64_t kMaxBlocks =        // kMaxSeconds in whole blocks
    (static_cast<std::int64_t>(kMaxSeconds) * kSampleRate + kBlockFrames - 1) / kBlockFrames;

struct RenderOptions {
  // Waveforms, frequencies, phases, sweep, bursts, fades and the rate.
  SignalSettings signal{};
  double left_level_db = 0.0;
  double right_level_db = 0.0;
  // The sweep options as given; signal.sweep follows them (set once
  // sweep-to is), with the whole output's length (blocks * 8192 frames)
  // when sweep_seconds is unset.
  SweepSettings sweep{};
  bool sweep_on = false;
  std::optional<double> sweep_seconds;
  SampleFormat format = SampleFormat::kS16;
  // The command line's default: tpdf for s24, none for s16 and f32.
  Dither dither = Dither::kNone;
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
// line that names the offending argument and, for a value, the accepted
// values. --rate is applied before the other options, whatever its place,
// since it bounds the frequencies.
ParseResult parse_render_options(std::span<const std::string_view> args);

// Whole 8192-frame blocks that hold `seconds` of sound at `rate`, rounded up.
std::int64_t blocks_for_seconds(double seconds, int rate = kSampleRate);

// The --help text, one option per line with its default.
std::string usage_text();

// One signal option, `name` without the dashes ("left-phase") and its value
// ("90"), applied to `options`. Returns empty, or one line such as
// "left-phase: '400' is out of range (0 to 360)" and leaves `options` as
// they were. The flags left-invert and right-invert take "on", "off" or an
// empty value (on). sweep-to, left-frequency and right-frequency take "off"
// to end the sweep or the channel's own frequency; sweep-seconds takes
// "whole" for the whole output. Frequencies are bounded by half of
// options.signal.rate. A fade-out needs signal.end_frame, which only the
// command line sets (to the output's end); a player without an end leaves
// it 0 and gets no fade-out.
std::string apply_signal_option(RenderOptions& options, std::string_view name,
                                std::string_view value);

struct SignalOptionInfo {
  std::string_view name;        // without the dashes
  std::string_view value_name;  // "HZ", "DEG"; empty for a flag
  std::string_view help;        // with the accepted values and the default
};

// The options apply_signal_option() takes, in --help's order.
std::vector<SignalOptionInfo> signal_options();

// Every signal option with its current value, "name=value" separated by
// spaces, in signal_options() order: each pair applied again with
// apply_signal_option() gives the same settings.
std::string describe_signal(const RenderOptions& options);

}  // namespace tq::render

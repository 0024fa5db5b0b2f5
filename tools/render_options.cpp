#include "render_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <utility>

#include "join.h"
#include "sound_file.h"

namespace tq::render {

namespace {

template <typename Value>
struct Named {
  std::string_view name;
  Value value;
};

constexpr std::array<Named<WaveformKind>, 8> kWaveformNames{{
    {"sine", kSine},
    {"triangle", kTriangle},
    {"square", kSquare},
    {"sawtooth", kSawtooth},
    {"pulse", kPulse},
    {"white", kWhiteNoise},
    {"pink", kPinkNoise},
    {"brown", kBrownNoise},
}};
constexpr std::array<Named<SweepLaw>, 2> kLawNames{
    {{"log", SweepLaw::kLog}, {"linear", SweepLaw::kLinear}}};
constexpr std::array<Named<SweepRepeat>, 3> kRepeatNames{{{"once", SweepRepeat::kOnce},
                                                          {"repeat", SweepRepeat::kRepeat},
                                                          {"bounce", SweepRepeat::kBounce}}};
constexpr std::array<Named<SampleFormat>, 3> kFormatNames{
    {{"s16", SampleFormat::kS16}, {"s24", SampleFormat::kS24}, {"f32", SampleFormat::kF32}}};
constexpr std::array<Named<Dither>, 2> kDitherNames{
    {{"tpdf", Dither::kTpdf}, {"none", Dither::kNone}}};

constexpr double kMaxPeriods = 1000000.0;  // --burst-on, --burst-off
constexpr double kMaxFadeMs = 1000.0 * kMaxSeconds;
constexpr std::string_view kOff = "off";      // ends an own frequency or the sweep
constexpr std::string_view kWhole = "whole";  // the sweep over the whole output

std::string in_quotes(std::string_view text) {
  return join({"'", text, "'"});
}

// The shortest text that reads back as `value`, without an exponent:
// 1000000, 0.5, 22050.
std::string number_text(double value) {
  std::array<char, 400> text{};
  const auto [end, ec] =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return ec == std::errc() ? std::string(text.data(), end) : std::string("?");
}

// The whole text as a finite number, or nothing.
std::optional<double> parse_number(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string out_of_range(std::string_view text, std::string_view range) {
  return join({in_quotes(text), " is out of range (", range, ")"});
}

std::string parse_in_range(std::string_view text, double low, double high, double& out) {
  const std::optional<double> value = parse_number(text);
  if (!value) return in_quotes(text) + " is not a number";
  if (*value < low || *value > high)
    return out_of_range(text, join({number_text(low), " to ", number_text(high)}));
  out = *value;
  return {};
}

// More than `low` and less than `high`.
std::string parse_between(std::string_view text, double low, double high, double& out) {
  const std::optional<double> value = parse_number(text);
  if (!value) return in_quotes(text) + " is not a number";
  if (*value <= low || *value >= high) {
    return out_of_range(text,
                        join({"more than ", number_text(low), ", less than ", number_text(high)}));
  }
  out = *value;
  return {};
}

// More than 0 and at most `high`.
std::string parse_positive(std::string_view text, double high, double& out) {
  const std::optional<double> value = parse_number(text);
  if (!value) return in_quotes(text) + " is not a number";
  if (*value <= 0.0 || *value > high)
    return out_of_range(text, join({"more than 0, at most ", number_text(high)}));
  out = *value;
  return {};
}

template <typename Whole>
std::string parse_whole(std::string_view text, double low, double high, Whole& out) {
  double value = 0.0;
  std::string error = parse_in_range(text, low, high, value);
  if (!error.empty()) return error;
  if (value != std::floor(value)) return in_quotes(text) + " is not a whole number";
  out = static_cast<Whole>(value);
  return {};
}

template <typename Value, std::size_t N>
std::string parse_choice(std::string_view text, const std::array<Named<Value>, N>& names,
                         std::string_view what, Value& out) {
  std::string choices;
  for (const auto& entry : names) {
    if (entry.name == text) {
      out = entry.value;
      return {};
    }
    choices += join({choices.empty() ? "" : ", ", entry.name});
  }
  return join({"unknown ", what, " ", in_quotes(text), " (", choices, ")"});
}

template <typename Value, std::size_t N>
std::string choice_text(Value value, const std::array<Named<Value>, N>& names) {
  for (const auto& entry : names) {
    if (entry.value == value) return std::string(entry.name);
  }
  return "?";
}

std::string parse_flag(std::string_view text, bool& out) {
  if (text.empty() || text == "on") {
    out = true;
  } else if (text == kOff) {
    out = false;
  } else {
    return in_quotes(text) + " is not on or off";
  }
  return {};
}

double half_rate(const RenderOptions& options) {
  return options.signal.rate / 2.0;
}

std::string parse_frequency(const RenderOptions& options, std::string_view text, double& out) {
  return parse_in_range(text, 0.0, half_rate(options), out);
}

// An own frequency: a frequency, or "off".
std::string parse_own_frequency(const RenderOptions& options, std::string_view text,
                                std::optional<double>& out) {
  if (text == kOff) {
    out.reset();
    return {};
  }
  double frequency = 0.0;
  std::string error = parse_frequency(options, text, frequency);
  if (error.empty()) out = frequency;
  return error;
}

std::string parse_sweep_to(RenderOptions& options, std::string_view text) {
  if (text == kOff) {
    options.sweep_on = false;
    return {};
  }
  std::string error = parse_frequency(options, text, options.sweep.to_frequency);
  if (error.empty()) options.sweep_on = true;
  return error;
}

std::string parse_sweep_seconds(RenderOptions& options, std::string_view text) {
  if (text == kWhole) {
    options.sweep_seconds.reset();
    return {};
  }
  double seconds = 0.0;
  std::string error = parse_positive(text, kMaxSeconds, seconds);
  if (error.empty()) options.sweep_seconds = seconds;
  return error;
}

std::string flag_text(bool on) {
  return on ? "on" : std::string(kOff);
}

std::string own_frequency_text(const std::optional<double>& frequency) {
  return frequency ? number_text(*frequency) : std::string(kOff);
}

ChannelSettings& left(RenderOptions& o) {
  return o.signal.channels[0];
}
ChannelSettings& right(RenderOptions& o) {
  return o.signal.channels[1];
}
const ChannelSettings& left(const RenderOptions& o) {
  return o.signal.channels[0];
}
const ChannelSettings& right(const RenderOptions& o) {
  return o.signal.channels[1];
}

using Text = std::string_view;
using ApplySignal = std::string (*)(RenderOptions& options, Text value);
using ShowSignal = std::string (*)(const RenderOptions& options);

// A signal option: the part of the command line a live player shares.
struct SignalOption {
  SignalOptionInfo info;
  ApplySignal apply;  // returns an error text without the option's name
  ShowSignal show;    // the current value, as apply takes it
};

const std::array<SignalOption, 21> kSignalOptions{{
    {{"left", "WAVE",
      "left waveform: sine, triangle, square, sawtooth, pulse, white, pink, brown (default sine)"},
     [](RenderOptions& o, Text v) {
       return parse_choice(v, kWaveformNames, "waveform", left(o).waveform);
     },
     [](const RenderOptions& o) { return choice_text(left(o).waveform, kWaveformNames); }},
    {{"right", "WAVE", "right waveform, as for --left (default sine)"},
     [](RenderOptions& o, Text v) {
       return parse_choice(v, kWaveformNames, "waveform", right(o).waveform);
     },
     [](const RenderOptions& o) { return choice_text(right(o).waveform, kWaveformNames); }},
    {{"frequency", "HZ", "frequency of both channels, 0 to half the rate (default 1000)"},
     [](RenderOptions& o, Text v) { return parse_frequency(o, v, o.signal.frequency); },
     [](const RenderOptions& o) { return number_text(o.signal.frequency); }},
    {{"left-level", "DB", "left level, -99 to 0 dB (default 0: samples unchanged)"},
     [](RenderOptions& o, Text v) {
       return parse_in_range(v, kMinLevelDb, kMaxLevelDb, o.left_level_db);
     },
     [](const RenderOptions& o) { return number_text(o.left_level_db); }},
    {{"right-level", "DB", "right level, -99 to 0 dB (default 0)"},
     [](RenderOptions& o, Text v) {
       return parse_in_range(v, kMinLevelDb, kMaxLevelDb, o.right_level_db);
     },
     [](const RenderOptions& o) { return number_text(o.right_level_db); }},
    {{"left-frequency", "HZ",
      "left's own frequency, 0 to half the rate; it then ignores --frequency and the sweep "
      "(default off)"},
     [](RenderOptions& o, Text v) { return parse_own_frequency(o, v, left(o).own_frequency); },
     [](const RenderOptions& o) { return own_frequency_text(left(o).own_frequency); }},
    {{"right-frequency", "HZ", "right's own frequency, as for --left-frequency (default off)"},
     [](RenderOptions& o, Text v) { return parse_own_frequency(o, v, right(o).own_frequency); },
     [](const RenderOptions& o) { return own_frequency_text(right(o).own_frequency); }},
    {{"left-phase", "DEG", "left start phase, 0 to 360 degrees (default 0)"},
     [](RenderOptions& o, Text v) { return parse_in_range(v, 0.0, 360.0, left(o).phase_degrees); },
     [](const RenderOptions& o) { return number_text(left(o).phase_degrees); }},
    {{"right-phase", "DEG",
      "right start phase, 0 to 360; 90 leads the left by a quarter period (default 0)"},
     [](RenderOptions& o, Text v) { return parse_in_range(v, 0.0, 360.0, right(o).phase_degrees); },
     [](const RenderOptions& o) { return number_text(right(o).phase_degrees); }},
    {{"left-invert", "", "invert the left channel's polarity (default off)"},
     [](RenderOptions& o, Text v) { return parse_flag(v, left(o).invert); },
     [](const RenderOptions& o) { return flag_text(left(o).invert); }},
    {{"right-invert", "", "invert the right channel's polarity (default off)"},
     [](RenderOptions& o, Text v) { return parse_flag(v, right(o).invert); },
     [](const RenderOptions& o) { return flag_text(right(o).invert); }},
    {{"left-duty", "PCT", "left square's high part, more than 0 and less than 100 % (default 50)"},
     [](RenderOptions& o, Text v) { return parse_between(v, 0.0, 100.0, left(o).duty_percent); },
     [](const RenderOptions& o) { return number_text(left(o).duty_percent); }},
    {{"right-duty", "PCT", "right square's high part, as for --left-duty (default 50)"},
     [](RenderOptions& o, Text v) { return parse_between(v, 0.0, 100.0, right(o).duty_percent); },
     [](const RenderOptions& o) { return number_text(right(o).duty_percent); }},
    {{"sweep-to", "HZ", "sweep --frequency to HZ, 0 to half the rate (default off: no sweep)"},
     parse_sweep_to,
     [](const RenderOptions& o) {
       return o.sweep_on ? number_text(o.sweep.to_frequency) : std::string(kOff);
     }},
    {{"sweep-seconds", "S",
      "the sweep's time, more than 0 to 86400 (default whole: the whole length)"},
     parse_sweep_seconds,
     [](const RenderOptions& o) {
       return o.sweep_seconds ? number_text(*o.sweep_seconds) : std::string(kWhole);
     }},
    {{"sweep-law", "LAW", "log (constant octaves per second) or linear (default log)"},
     [](RenderOptions& o, Text v) { return parse_choice(v, kLawNames, "sweep law", o.sweep.law); },
     [](const RenderOptions& o) { return choice_text(o.sweep.law, kLawNames); }},
    {{"sweep-repeat", "MODE", "once (then hold the target), repeat or bounce (default once)"},
     [](RenderOptions& o, Text v) {
       return parse_choice(v, kRepeatNames, "sweep repeat", o.sweep.repeat);
     },
     [](const RenderOptions& o) { return choice_text(o.sweep.repeat, kRepeatNames); }},
    {{"burst-on", "N",
      "tone bursts of N periods of --frequency, 0 to 1000000 (default 0: no bursts)"},
     [](RenderOptions& o, Text v) {
       return parse_whole(v, 0.0, kMaxPeriods, o.signal.burst.on_periods);
     },
     [](const RenderOptions& o) { return std::to_string(o.signal.burst.on_periods); }},
    {{"burst-off", "M", "silent periods after each burst, 0 to 1000000 (default 0)"},
     [](RenderOptions& o, Text v) {
       return parse_whole(v, 0.0, kMaxPeriods, o.signal.burst.off_periods);
     },
     [](const RenderOptions& o) { return std::to_string(o.signal.burst.off_periods); }},
    {{"fade-in", "MS", "raised-cosine fade-in at the start, 0 to 86400000 ms (default 0)"},
     [](RenderOptions& o, Text v) {
       return parse_in_range(v, 0.0, kMaxFadeMs, o.signal.fade_in_ms);
     },
     [](const RenderOptions& o) { return number_text(o.signal.fade_in_ms); }},
    {{"fade-out", "MS", "raised-cosine fade-out at the end, 0 to 86400000 ms (default 0)"},
     [](RenderOptions& o, Text v) {
       return parse_in_range(v, 0.0, kMaxFadeMs, o.signal.fade_out_ms);
     },
     [](const RenderOptions& o) { return number_text(o.signal.fade_out_ms); }},
}};

// The output's length in frames.
std::int64_t output_frames(const RenderOptions& options) {
  return options.blocks * kBlockFrames;
}

// signal.sweep from the sweep options as given.
void settle_sweep(RenderOptions& options) {
  options.signal.sweep.reset();
  if (!options.sweep_on) return;
  SweepSettings sweep = options.sweep;
  sweep.seconds = options.sweep_seconds.value_or(static_cast<double>(output_frames(options)) /
                                                 options.signal.rate);
  options.signal.sweep = sweep;
}

const SignalOption* find_signal_option(std::string_view name) {
  for (const auto& option : kSignalOptions) {
    if (option.info.name == name) return &option;
  }
  return nullptr;
}

// State of one parse beyond the options themselves.
struct Parse {
  RenderOptions options;
  bool seen_blocks = false;
  bool seen_seconds = false;
  bool seen_dither = false;
};

// Applies the option's value; returns an error text without the option
// name, or an empty string.
using Apply = std::string (*)(Parse& parse, std::string_view value);

// An option of the command line alone: the file, its length and format.
struct OptionSpec {
  std::string_view name;
  std::string_view value_name;  // empty: the option takes no value
  std::string_view help;
  Apply apply;
};

std::string apply_blocks(Parse& parse, std::string_view text) {
  std::string error = parse_whole(text, 1.0, static_cast<double>(kMaxBlocks), parse.options.blocks);
  parse.seen_blocks = error.empty();
  return error;
}

std::string apply_seconds(Parse& parse, std::string_view text) {
  double seconds = 0.0;
  std::string error = parse_in_range(text, 0.0, kMaxSeconds, seconds);
  if (!error.empty()) return error;
  if (seconds <= 0.0) return in_quotes(text) + " is not a positive duration";
  parse.options.blocks = blocks_for_seconds(seconds, parse.options.signal.rate);
  parse.seen_seconds = true;
  return {};
}

std::string apply_output(Parse& parse, std::string_view path) {
  if (path.empty()) return "empty path";
  if (!output_type(path))
    return join({"unknown file type ", in_quotes(path), " (use .wav, .flac, .aiff or -)"});
  parse.options.output = std::string(path);
  return {};
}

std::string set_true(bool& flag) {
  flag = true;
  return {};
}

constexpr std::string_view kRateName = "--rate";

const std::array<OptionSpec, 10> kFileOptions{{
    {kRateName, "HZ", "frames per second, 8000 to 192000 (default 44100)",
     [](Parse& p, Text v) { return parse_whole(v, kMinRate, kMaxRate, p.options.signal.rate); }},
    {"--format", "FMT",
     "samples: s16, s24 or f32 (default s16; f32 goes into .wav and .aiff, not .flac)",
     [](Parse& p, Text v) { return parse_choice(v, kFormatNames, "format", p.options.format); }},
    {"--dither", "D",
     "tpdf or none, where a level other than 0 dB meets integer samples (default none for s16, "
     "tpdf for s24; f32 is never dithered)",
     [](Parse& p, Text v) {
       p.seen_dither = true;
       return parse_choice(v, kDitherNames, "dither", p.options.dither);
     }},
    {"--blocks", "N", "length in blocks of 8192 frames", apply_blocks},
    {"--seconds", "S", "length in seconds, rounded up to whole blocks (default 1)", apply_seconds},
    {"-o", "PATH",
     "output file: .wav, .flac or .aiff; - writes raw little-endian stereo (s16: 2 bytes, s24: 3, "
     "f32: 4)",
     apply_output},
    {"--output", "PATH", "same as -o", apply_output},
    {"--help", "", "show this text", [](Parse& p, Text) { return set_true(p.options.help); }},
    {"--version", "", "show the version",
     [](Parse& p, Text) { return set_true(p.options.version); }},
    {"--devices", "", "print the sound device report (builds with ALSA)",
     [](Parse& p, Text) { return set_true(p.options.devices); }},
}};

const OptionSpec* find_file_option(std::string_view name) {
  for (const auto& option : kFileOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

// One argument, split from its value.
struct Argument {
  std::string_view name;  // as given: "--left", "-o"
  std::string_view value;
};

// Applies one argument; an error begins with its name.
std::string apply_argument(Parse& parse, const Argument& argument) {
  std::string error;
  if (const OptionSpec* option = find_file_option(argument.name)) {
    error = option->apply(parse, argument.value);
  } else {
    const auto* signal = find_signal_option(argument.name.substr(2));
    error = signal->apply(parse.options, argument.value);
  }
  return error.empty() ? error : join({argument.name, ": ", error});
}

// The options' value name, or nothing when `name` is no option.
std::optional<std::string_view> value_name_of(std::string_view name) {
  if (const OptionSpec* option = find_file_option(name)) return option->value_name;
  if (name.starts_with("--")) {
    if (const SignalOption* option = find_signal_option(name.substr(2)))
      return option->info.value_name;
  }
  return std::nullopt;
}

// Splits the command line into options and their values.
std::string split_arguments(std::span<const std::string_view> args, std::vector<Argument>& out) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    // --name=value is accepted as well as --name value.
    if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const std::optional<std::string_view> value_name = value_name_of(name);
    if (!value_name) {
      const bool looks_like_option = name.starts_with("-") && name != "-";
      return (looks_like_option ? "unknown option " : "unexpected argument ") + in_quotes(args[i]);
    }
    if (value_name->empty()) {
      if (value) return join({name, ": takes no value"});
    } else if (!value) {
      if (i + 1 == args.size()) return join({name, ": needs a value (", *value_name, ")"});
      value = args[++i];
    }
    out.push_back({name, value.value_or("")});
  }
  return {};
}

// Checks that need the whole command line.
std::string check_complete(const Parse& parse) {
  const RenderOptions& o = parse.options;
  if (o.help || o.version || o.devices) return {};
  if (parse.seen_blocks && parse.seen_seconds) return "--blocks, --seconds: give only one of them";
  if (o.output.empty()) return "-o: no output given (a file name, or - for raw samples)";
  if (std::string error = format_error(*output_type(o.output), o.format); !error.empty())
    return "--format: " + error;
  if (o.sweep_on && o.sweep.law == SweepLaw::kLog &&
      (o.signal.frequency <= 0.0 || o.sweep.to_frequency <= 0.0))
    return "--sweep-law: log needs --frequency and --sweep-to above 0 (or use linear)";
  if (o.signal.burst.off_periods > 0 && o.signal.burst.on_periods == 0)
    return "--burst-off: needs --burst-on (1 to 1000000)";
  return {};
}

// The defaults that depend on other options.
void settle(Parse& parse) {
  RenderOptions& o = parse.options;
  if (!parse.seen_dither) o.dither = o.format == SampleFormat::kS24 ? Dither::kTpdf : Dither::kNone;
  if (!parse.seen_blocks && !parse.seen_seconds) o.blocks = blocks_for_seconds(1.0, o.signal.rate);
  o.signal.end_frame = output_frames(o);
  settle_sweep(o);
}

}  // namespace

std::int64_t blocks_for_seconds(double seconds, int rate) {
  const double blocks = std::ceil(seconds * rate / kBlockFrames);
  const double most = std::ceil(kMaxSeconds * rate / kBlockFrames);
  if (!(blocks >= 0.0)) return 0;
  return static_cast<std::int64_t>(std::min(blocks, most));
}

ParseResult parse_render_options(std::span<const std::string_view> args) {
  std::vector<Argument> arguments;
  if (std::string error = split_arguments(args, arguments); !error.empty()) return {{}, error};
  // The rate first: it bounds every frequency and turns seconds into blocks.
  std::stable_partition(arguments.begin(), arguments.end(),
                        [](const Argument& a) { return a.name == kRateName; });
  Parse parse;
  for (const Argument& argument : arguments) {
    if (std::string error = apply_argument(parse, argument); !error.empty()) return {{}, error};
  }
  if (std::string error = check_complete(parse); !error.empty()) return {{}, error};
  settle(parse);
  return {parse.options, {}};
}

std::string apply_signal_option(RenderOptions& options, std::string_view name,
                                std::string_view value) {
  const SignalOption* option = find_signal_option(name);
  if (option == nullptr) return "unknown option " + in_quotes(name);
  RenderOptions changed = options;
  if (std::string error = option->apply(changed, value); !error.empty())
    return join({name, ": ", error});
  settle_sweep(changed);
  options = std::move(changed);
  return {};
}

std::vector<SignalOptionInfo> signal_options() {
  std::vector<SignalOptionInfo> infos;
  for (const auto& option : kSignalOptions) infos.push_back(option.info);
  return infos;
}

std::string describe_signal(const RenderOptions& options) {
  std::string text;
  for (const auto& option : kSignalOptions) {
    text += join({text.empty() ? "" : " ", option.info.name, "=", option.show(options)});
  }
  return text;
}

std::string usage_text() {
  std::string text =
      "Usage: tonquill-render [options] -o PATH\n"
      "Writes what the generator plays, by default bit for bit: 16-bit stereo PCM at 44100 Hz.\n"
      "Every option below takes its value as the next argument or after '='.\n\n";
  const auto add = [&text](std::string_view name, std::string_view value_name,
                           std::string_view help) {
    std::string line = join({"  ", name});
    if (!value_name.empty()) line += join({" ", value_name});
    line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
    text += join({line, help, "\n"});
  };
  for (const auto& option : kSignalOptions) {
    add(join({"--", option.info.name}), option.info.value_name, option.info.help);
  }
  for (const auto& option : kFileOptions) {
    add(option.name, option.value_name, option.help);
  }
  return text;
}

}  // namespace tq::render

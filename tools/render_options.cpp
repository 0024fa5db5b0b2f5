#include "render_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include "join.h"
#include "sound_file.h"

namespace tq::render {

namespace {

struct WaveformName {
  std::string_view name;
  WaveformKind kind;
};

constexpr std::array<WaveformName, 7> kWaveformNames{{
    {"sine", kSine},
    {"triangle", kTriangle},
    {"square", kSquare},
    {"sawtooth", kSawtooth},
    {"pulse", kPulse},
    {"white", kWhiteNoise},
    {"pink", kPinkNoise},
}};

// State of one parse beyond the options themselves.
struct Parse {
  RenderOptions options;
  bool seen_blocks = false;
  bool seen_seconds = false;
};

// Applies the option's value; returns an error text without the option
// name, or an empty string.
using Apply = std::string (*)(Parse& parse, std::string_view value);

struct OptionSpec {
  std::string_view name;
  std::string_view value_name;  // empty: the option takes no value
  std::string_view help;
  Apply apply;
};

std::string in_quotes(std::string_view text) {
  return join({"'", text, "'"});
}

// The whole text as a finite number, or nothing.
std::optional<double> parse_number(std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string parse_in_range(std::string_view text, double low, double high, double& out) {
  const std::optional<double> value = parse_number(text);
  if (!value) return in_quotes(text) + " is not a number";
  if (*value < low || *value > high) {
    return join({in_quotes(text), " is out of range (", std::to_string(static_cast<long long>(low)),
                 " to ", std::to_string(static_cast<long long>(high)), ")"});
  }
  out = *value;
  return {};
}

std::string parse_waveform(std::string_view text, WaveformKind& out) {
  for (const auto& entry : kWaveformNames) {
    if (entry.name == text) {
      out = entry.kind;
      return {};
    }
  }
  return join({"unknown waveform ", in_quotes(text),
               " (sine, triangle, square, sawtooth, pulse, white, pink)"});
}

std::string apply_blocks(Parse& parse, std::string_view text) {
  double blocks = 0.0;
  std::string error = parse_in_range(text, 1.0, static_cast<double>(kMaxBlocks), blocks);
  if (!error.empty()) return error;
  if (blocks != std::floor(blocks)) return in_quotes(text) + " is not a whole number";
  parse.options.blocks = static_cast<std::int64_t>(blocks);
  parse.seen_blocks = true;
  return {};
}

std::string apply_seconds(Parse& parse, std::string_view text) {
  double seconds = 0.0;
  std::string error = parse_in_range(text, 0.0, kMaxSeconds, seconds);
  if (!error.empty()) return error;
  if (seconds <= 0.0) return in_quotes(text) + " is not a positive duration";
  parse.options.blocks = blocks_for_seconds(seconds);
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

const std::array<OptionSpec, 12> kOptions{{
    {"--left", "WAVE", "left waveform: sine, triangle, square, sawtooth, pulse, white, pink",
     [](Parse& p, std::string_view v) { return parse_waveform(v, p.options.left); }},
    {"--right", "WAVE", "right waveform (default sine, as for --left)",
     [](Parse& p, std::string_view v) { return parse_waveform(v, p.options.right); }},
    {"--frequency", "HZ", "frequency of both channels, 0 to 22050 (default 1000)",
     [](Parse& p, std::string_view v) {
       return parse_in_range(v, 0.0, kMaxFrequency, p.options.frequency);
     }},
    {"--left-level", "DB", "left level, -99 to 0 dB (default 0: samples unchanged)",
     [](Parse& p, std::string_view v) {
       return parse_in_range(v, kMinLevelDb, kMaxLevelDb, p.options.left_level_db);
     }},
    {"--right-level", "DB", "right level, -99 to 0 dB (default 0)",
     [](Parse& p, std::string_view v) {
       return parse_in_range(v, kMinLevelDb, kMaxLevelDb, p.options.right_level_db);
     }},
    {"--blocks", "N", "length in blocks of 8192 frames", apply_blocks},
    {"--seconds", "S", "length in seconds, rounded up to whole blocks (default 1)", apply_seconds},
    {"-o", "PATH", "output file: .wav, .flac or .aiff; - writes raw 16-bit little-endian stereo",
     apply_output},
    {"--output", "PATH", "same as -o", apply_output},
    {"--help", "", "show this text",
     [](Parse& p, std::string_view) {
       p.options.help = true;
       return std::string();
     }},
    {"--version", "", "show the version",
     [](Parse& p, std::string_view) {
       p.options.version = true;
       return std::string();
     }},
    {"--devices", "", "print the sound device report (builds with ALSA)",
     [](Parse& p, std::string_view) {
       p.options.devices = true;
       return std::string();
     }},
}};

const OptionSpec* find_option(std::string_view name) {
  for (const auto& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

// Checks that need the whole command line.
std::string check_complete(const Parse& parse) {
  if (parse.options.help || parse.options.version || parse.options.devices) return {};
  if (parse.seen_blocks && parse.seen_seconds) return "--blocks, --seconds: give only one of them";
  if (parse.options.output.empty())
    return "-o: no output given (a file name, or - for raw samples)";
  return {};
}

}  // namespace

std::int64_t blocks_for_seconds(double seconds) {
  const double blocks = std::ceil(seconds * kSampleRate / kBlockFrames);
  if (!(blocks >= 0.0)) return 0;
  if (blocks > static_cast<double>(kMaxBlocks)) return kMaxBlocks;
  return static_cast<std::int64_t>(blocks);
}

ParseResult parse_render_options(std::span<const std::string_view> args) {
  Parse parse;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    // --name=value is accepted as well as --name value.
    if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const OptionSpec* option = find_option(name);
    if (option == nullptr) {
      const bool looks_like_option = name.starts_with("-") && name != "-";
      return {
          {},
          (looks_like_option ? "unknown option " : "unexpected argument ") + in_quotes(args[i])};
    }
    if (option->value_name.empty()) {
      if (value) return {{}, join({name, ": takes no value"})};
    } else if (!value) {
      if (i + 1 == args.size()) {
        return {{}, join({name, ": needs a value (", option->value_name, ")"})};
      }
      value = args[++i];
    }
    if (std::string error = option->apply(parse, value.value_or("")); !error.empty()) {
      return {{}, join({name, ": ", error})};
    }
  }
  if (std::string error = check_complete(parse); !error.empty()) return {{}, error};
  return {parse.options, {}};
}

std::string usage_text() {
  std::string text =
      "Usage: tonquill-render [options] -o PATH\n"
      "Writes what the generator plays: 16-bit stereo PCM at 44100 Hz.\n\n";
  for (const auto& option : kOptions) {
    std::string line = "  ";
    line += option.name;
    if (!option.value_name.empty()) line += join({" ", option.value_name});
    line.resize(std::max<std::size_t>(line.size() + 1, 22), ' ');
    line += option.help;
    text += line + "\n";
  }
  return text;
}

}  // namespace tq::render

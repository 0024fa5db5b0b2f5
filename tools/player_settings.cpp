#include "player_settings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <system_error>

namespace tq::play {

namespace {

struct WaveformName {
  std::string_view name;
  WaveformKind kind;
};

constexpr std::array<WaveformName, 7> kWaveformNames{{{"sine", kSine},
                                                      {"triangle", kTriangle},
                                                      {"square", kSquare},
                                                      {"sawtooth", kSawtooth},
                                                      {"pulse", kPulse},
                                                      {"white", kWhiteNoise},
                                                      {"pink", kPinkNoise}}};

std::optional<double> number_in(std::string_view text, double low, double high) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::string set_number(std::string_view name, std::string_view text, double low, double high,
                       double& out) {
  const std::optional<double> value = number_in(text, low, high);
  if (!value) return std::string(name) + ": '" + std::string(text) + "' is not a number in range";
  out = *value;
  return {};
}

std::string set_waveform(std::string_view name, std::string_view text, WaveformKind& out) {
  for (const WaveformName& entry : kWaveformNames) {
    if (entry.name == text) {
      out = entry.kind;
      return {};
    }
  }
  return std::string(name) + ": unknown waveform '" + std::string(text) + "'";
}

}  // namespace

std::string apply_signal_option(Settings& settings, std::string_view name, std::string_view value) {
  Settings changed = settings;
  std::string error;
  if (name == "frequency") {
    error = set_number(name, value, 0.0, 22050.0, changed.signal.frequency);
  } else if (name == "left" || name == "right") {
    error = set_waveform(name, value, changed.signal.channels[name == "left" ? 0 : 1].waveform);
  } else if (name == "left-level") {
    error = set_number(name, value, -99.0, 0.0, changed.left_level_db);
  } else if (name == "right-level") {
    error = set_number(name, value, -99.0, 0.0, changed.right_level_db);
  } else {
    error = "unknown option '" + std::string(name) + "'";
  }
  if (error.empty()) settings = changed;
  return error;
}

std::vector<SignalOptionInfo> signal_options() {
  return {{"left", "WAVE", "left waveform (default sine)"},
          {"right", "WAVE", "right waveform (default sine)"},
          {"frequency", "HZ", "frequency, 0 to 22050 (default 1000)"},
          {"left-level", "DB", "left level, -99 to 0 dB (default 0)"},
          {"right-level", "DB", "right level, -99 to 0 dB (default 0)"}};
}

std::string describe_signal(const Settings& settings) {
  const auto waveform = [](const ChannelSettings& channel) {
    for (const WaveformName& entry : kWaveformNames) {
      if (entry.kind == channel.waveform) return std::string(entry.name);
    }
    return std::string("brown");
  };
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, " frequency=%g left-level=%g right-level=%g",
                settings.signal.frequency, settings.left_level_db, settings.right_level_db);
  return "left=" + waveform(settings.signal.channels[0]) +
         " right=" + waveform(settings.signal.channels[1]) + numbers;
}

}  // namespace tq::play

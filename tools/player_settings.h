#pragma once
// The live player's settings and the one table both its command line and
// its commands go through: an option's words without the dashes and a
// value ("left-level", "-12"), applied to the settings in use.

#include <string>
#include <string_view>
#include <vector>

#include "synth/signal.h"

namespace tq::play {

struct Settings {
  SignalSettings signal{};
  double left_level_db = 0.0;
  double right_level_db = 0.0;
};

// Applies one option; returns empty, or one line naming the option and
// what is wrong, and leaves `settings` as they were.
std::string apply_signal_option(Settings& settings, std::string_view name, std::string_view value);

struct SignalOptionInfo {
  std::string_view name;        // without the dashes
  std::string_view value_name;  // empty for a flag
  std::string_view help;
};

// The options apply_signal_option() takes, in --help's order.
std::vector<SignalOptionInfo> signal_options();

// Every option with its value, "name=value" separated by spaces.
std::string describe_signal(const Settings& settings);

}  // namespace tq::play

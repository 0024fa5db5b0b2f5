#include "player.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "audio/output_level.h"
#include "join.h"

namespace tq::play {

namespace {

using render::join;

using render::SignalOptionInfo;

constexpr double kMaxSeconds = 86400.0;  // one day, as the renderer

const SignalOptionInfo* find_signal_option(std::string_view name) {
  static const std::vector<SignalOptionInfo> options = render::signal_options();
  const auto found =
      std::find_if(options.begin(), options.end(),
                   [&](const SignalOptionInfo& option) { return option.name == name; });
  return found == options.end() ? nullptr : &*found;
}

std::string quoted(std::string_view text) {
  return join({"'", text, "'"});
}

// The options of the player's own beyond the signal's: each takes a value.
struct PlayerOption {
  std::string_view name;
  std::string (*apply)(PlayerOptions& options, std::string_view value);
};

std::string parse_seconds(PlayerOptions& options, std::string_view text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !(value > 0.0 && value <= kMaxSeconds)) {
    return join({quoted(text), " is not a duration (more than 0, at most 86400)"});
  }
  options.seconds = value;
  // The sweep's "whole" length is the time played.
  options.settings.blocks = render::blocks_for_seconds(value, options.settings.signal.rate);
  return {};
}

std::string parse_rate(PlayerOptions& options, std::string_view text) {
  int rate = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, rate);
  if (text.empty() || ec != std::errc() || ptr != end || rate < kMinRate || rate > kMaxRate) {
    return join({quoted(text), " is out of range (8000 to 192000, a whole number)"});
  }
  options.settings.signal.rate = rate;
  options.settings.blocks = render::blocks_for_seconds(1.0, rate);
  return {};
}

// The one value the stream takes, accepted so that a renderer's command
// line plays as it is.
std::string only(std::string_view text, std::string_view accepted, std::string_view why) {
  return text == accepted ? std::string() : join({quoted(text), ": ", why});
}

// --rate and --seconds are applied first, in this order: the rate bounds
// the frequencies and sets the frames of a second.
const std::array<PlayerOption, 4> kPlayerOptions{{
    {"--rate", parse_rate},
    // It sets the length a sweep of "whole" length takes.
    {"--seconds", parse_seconds},
    {"--format",
     [](PlayerOptions&, std::string_view v) {
       return only(v, "s16", "plays 16-bit samples only (tonquill-render writes s24 and f32)");
     }},
    {"--dither",
     [](PlayerOptions&, std::string_view v) {
       return only(v, "none", "the levels are the stream's volume: the samples are never dithered");
     }},
}};

struct Argument {
  std::string_view name;  // with the dashes
  std::optional<std::string_view> value;
  const PlayerOption* own = nullptr;  // else a signal option
};

// One --NAME[=VALUE] [VALUE] of the command line, at args[i], into
// `argument`; moves i past a value it takes.
std::string split_argument(std::span<const std::string_view> args, std::size_t& i,
                           Argument& argument) {
  std::string_view name = args[i];
  if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
    argument.value = name.substr(equals + 1);
    name = name.substr(0, equals);
  }
  argument.name = name;
  if (name == "-o" || name == "--output") {
    return join({name, ": tonquill-play writes no file (tonquill-render does)"});
  }
  const auto own = std::find_if(kPlayerOptions.begin(), kPlayerOptions.end(),
                                [&](const PlayerOption& option) { return option.name == name; });
  argument.own = own == kPlayerOptions.end() ? nullptr : &*own;
  const SignalOptionInfo* option =
      name.starts_with("--") && !argument.own ? find_signal_option(name.substr(2)) : nullptr;
  if (option == nullptr && argument.own == nullptr) {
    return join({"unknown option ", quoted(args[i])});
  }
  const bool takes_value = argument.own != nullptr || !option->value_name.empty();
  if (takes_value && !argument.value) {
    if (i + 1 == args.size()) return join({name, ": needs a value"});
    argument.value = args[++i];
  }
  return {};
}

std::string apply_argument(PlayerOptions& options, const Argument& argument) {
  const std::string_view value = argument.value.value_or("");
  if (argument.own != nullptr) {
    std::string error = argument.own->apply(options, value);
    return error.empty() ? error : join({argument.name, ": ", error});
  }
  std::string error = render::apply_signal_option(options.settings, argument.name.substr(2), value);
  return error.empty() ? error : join({"--", error});
}

// The settings a block is rendered with: the player's, ended where the
// player's end lies.
SignalSettings settings_to_render(const Player& player) {
  SignalSettings signal = player.settings.signal;
  if (player.end_frame) {
    signal.end_frame = *player.end_frame;
    signal.fade_out_ms = player.end_fade_ms;
  }
  return signal;
}

std::size_t buffer_index(const WaveHeader& header) {
  return header.user == 1 ? 1 : 0;
}

// Every buffer back is refilled but the one that holds the end's fade. One
// behind it holds silence: it keeps the server asking for room as it plays,
// and so hands the faded block back once played (a server with nothing
// more queued may never ask for the last of its room).
bool refills(const Player& player, std::size_t index) {
  return player.phase == PlayerPhase::kPlaying || player.phase == PlayerPhase::kEnding ||
         (player.phase == PlayerPhase::kDraining && index != player.last_buffer);
}

// Renders the next block into buffer `index`; the buffer that reaches the
// end is the last one the stream plays.
void render_into(Player& player, std::size_t index) {
  render_signal_block(*player.generator, settings_to_render(player), player.stream.buffers[index]);
  const bool ended = player.end_frame && rendered_frames(*player.generator) >= *player.end_frame;
  if (ended && player.phase != PlayerPhase::kDraining) {
    player.phase = PlayerPhase::kDraining;
    player.last_buffer = index;
  }
}

void refill_and_queue(Player& player, WaveOutService& wave_out, std::size_t index) {
  render_into(player, index);
  OutputStream& stream = player.stream;
  WaveHeader* header = &stream.headers[index];
  // As the window's refill: the prepare after the unprepare says whether
  // the header can be used.
  wave_out.unprepare(stream.handle, header);
  if (wave_out.prepare(stream.handle, header) == kMmNoError) wave_out.write(stream.handle, header);
}

void on_buffer_back(Player& player, WaveOutService& wave_out, const WaveHeader& header) {
  const std::size_t index = buffer_index(header);
  if (refills(player, index)) {
    refill_and_queue(player, wave_out, index);
  } else {
    stop_player(player, wave_out);
  }
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == text.npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string apply_command(Player& player, WaveOutService& wave_out, std::string_view word,
                          std::string_view value) {
  const SignalOptionInfo* option = find_signal_option(word);
  if (option == nullptr) return join({"error: unknown command ", quoted(word)});
  if (value.empty() && !option->value_name.empty()) {
    return join({"error: ", word, " needs a value (", option->value_name, ")"});
  }
  Settings changed = player.settings;
  // A sweep asked for while playing starts from the next block, not from
  // the first one played.
  if (word.starts_with("sweep-")) changed.sweep.start_frame = rendered_frames(*player.generator);
  if (std::string error = render::apply_signal_option(changed, word, value); !error.empty()) {
    return join({"error: ", error});
  }
  const bool levels_changed = changed.left_level_db != player.settings.left_level_db ||
                              changed.right_level_db != player.settings.right_level_db;
  player.settings = std::move(changed);
  if (levels_changed) {
    apply_output_levels(wave_out, player.settings.left_level_db, player.settings.right_level_db);
  }
  return join({"ok ", word, value.empty() ? "" : " ", value});
}

}  // namespace

ParsedPlayerOptions parse_player_options(std::span<const std::string_view> args) {
  PlayerOptions options;
  std::vector<Argument> arguments;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "--version") {
      (args[i] == "--help" ? options.help : options.version) = true;
      continue;
    }
    Argument argument;
    if (std::string error = split_argument(args, i, argument); !error.empty()) return {{}, error};
    arguments.push_back(argument);
  }
  std::stable_partition(arguments.begin(), arguments.end(),
                        [](const Argument& a) { return a.name == "--seconds"; });
  std::stable_partition(arguments.begin(), arguments.end(),
                        [](const Argument& a) { return a.name == "--rate"; });
  for (const Argument& argument : arguments) {
    if (std::string error = apply_argument(options, argument); !error.empty()) return {{}, error};
  }
  return {options, {}};
}

std::string player_usage_text() {
  std::string text =
      "Usage: tonquill-play [options]\n"
      "Plays the generator's signal through the sound server (as client Tonquill) or ALSA,\n"
      "16-bit stereo at 44100 Hz (or --rate), until quit, SIGINT, SIGTERM or --seconds.\n"
      "Each line of standard input is a command: an option's name without the dashes and\n"
      "its value (frequency 440, left-level -12), status, or quit; each gets one reply line,\n"
      "ok ... or error: ...\n\n";
  const auto add = [&text](std::string_view name, std::string_view value, std::string_view help) {
    std::string line = join({"  --", name, value.empty() ? "" : " ", value});
    line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
    text += join({line, help, "\n"});
  };
  for (const SignalOptionInfo& option : render::signal_options())
    add(option.name, option.value_name, option.help);
  add("seconds", "S",
      "play S seconds, then end (default: until quit); also the length of a sweep of "
      "--sweep-seconds whole (without --seconds: 6 blocks, 1.11 s)");
  add("rate", "HZ", "the stream's rate, 8000 to 192000 (default 44100); not a command");
  add("format", "FMT", "s16 only: the stream's samples (s24, f32: tonquill-render)");
  add("dither", "D", "none only: the levels are the stream's volume, the samples stay as they are");
  add("help", "", "show this text");
  add("version", "", "show the version");
  text +=
      "\nExit status: 0 after quit, SIGINT, SIGTERM or --seconds; 1 when no sound server\n"
      "answers and no ALSA device opens; 2 for a bad command line.\n";
  return text;
}

StreamOpening start_player(Player& player, WaveOutService& wave_out, NotifyTarget target,
                           std::optional<double> seconds) {
  if (seconds) {
    player.end_frame = std::llround(*seconds * player.settings.signal.rate);
    if (player.settings.signal.fade_out_ms > 0.0) {
      player.end_fade_ms = player.settings.signal.fade_out_ms;
    }
  }
  start_signal(*player.generator, player.settings.signal);
  render_into(player, 0);
  render_into(player, 1);
  const auto rate = static_cast<std::uint32_t>(player.settings.signal.rate);
  StreamOpening opening = open_output_stream(player.stream, wave_out, target, output_format(rate));
  if (opening.opened) {
    apply_output_levels(wave_out, player.settings.left_level_db, player.settings.right_level_db);
  } else {
    player.phase = PlayerPhase::kFinished;
  }
  return opening;
}

std::string on_player_event(Player& player, WaveOutService& wave_out, std::uint32_t message,
                            WaveHeader* header) {
  if (message == kDeviceLost && !player.loss_told) {
    player.loss_told = true;
    return "tonquill-play: the sound device was lost; playing again as soon as it is back";
  }
  if (message == kDeviceBack) player.loss_told = false;
  const bool open = player.stream.handle != 0 && player.phase != PlayerPhase::kFinished;
  if (message == kMmWomDone && header != nullptr && open) on_buffer_back(player, wave_out, *header);
  return "";
}

std::string run_player_command(Player& player, WaveOutService& wave_out, std::string_view line,
                               std::uint64_t underruns) {
  line = trimmed(line);
  const auto space = line.find_first_of(" \t");
  const std::string_view word = line.substr(0, space);
  const std::string_view value = space == line.npos ? "" : trimmed(line.substr(space));
  if (word.empty()) return "error: empty command";
  if ((word == "quit" || word == "status") && !value.empty()) {
    return join({"error: ", word, " takes no value"});
  }
  if (word == "quit") {
    end_player(player);
    return "ok quit";
  }
  if (word == "status") {
    return join({"ok ", render::describe_signal(player.settings),
                 " underruns=", std::to_string(underruns)});
  }
  return apply_command(player, wave_out, word, value);
}

bool refill_played_buffer(Player& player, const WaveHeader& header) {
  const std::size_t index = buffer_index(header);
  if (player.stream.handle == 0 || !refills(player, index)) return false;
  render_into(player, index);
  return true;
}

void end_player(Player& player) {
  if (player.phase != PlayerPhase::kPlaying) return;
  const double rate = player.settings.signal.rate;
  const std::int64_t end =
      rendered_frames(*player.generator) + std::llround(kEndFadeMs * rate / 1000.0);
  if (!player.end_frame || end < *player.end_frame) {
    player.end_frame = end;
    player.end_fade_ms = kEndFadeMs;
  }
  player.phase = PlayerPhase::kEnding;
}

void stop_player(Player& player, WaveOutService& wave_out) {
  close_output_stream(player.stream, wave_out);
  player.phase = PlayerPhase::kFinished;
}

}  // namespace tq::play

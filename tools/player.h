#pragma once
// The live player's workings apart from the sound service it plays through
// and the loop that feeds it: its command line, the commands read from
// standard input, the stream kept fed with the signal, and its end.
//
// The stream is the window's: two 32768-byte buffers kept queued on device
// 0, each buffer the device hands back refilled with the next block. The
// blocks come from the SignalGenerator, with the settings read afresh for
// each one, so a command is heard from the next block on and the phases
// carry on. The levels are the stream's own volume (set_volume with the
// volume word), never a gain on the samples.
//
// The end (quit, a signal, --seconds): the next block rendered fades to
// silence over kEndFadeMs from its start, and the blocks behind it are
// silent; once the device has handed the faded block back the stream is
// reset and closed.
//
// A service that offers it (the sound server's) has a played buffer
// refilled on its own thread through refill_played_buffer(); the caller
// then keeps every other call into the Player under the same lock.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "audio/output_stream.h"
#include "render_options.h"
#include "synth/signal.h"

namespace tq::play {

// The renderer's options: its signal options are the player's, on the
// command line and as commands alike.
using Settings = render::RenderOptions;

inline constexpr double kEndFadeMs = 10.0;
// Exit statuses besides 0.
inline constexpr int kNoSoundDevice = 1;
inline constexpr int kBadArguments = 2;

struct PlayerOptions {
  Settings settings{};
  std::optional<double> seconds;  // none: until quit or a signal
  bool help = false;
  bool version = false;
};

struct ParsedPlayerOptions {
  PlayerOptions options;
  std::string error;  // empty when the command line is good
};

// Parses the arguments after the program name: every option of
// render::signal_options() as --NAME VALUE or --NAME=VALUE, --seconds,
// --help and --version, and --rate 44100, --format s16 and --dither none
// (the stream's only format; the samples are never scaled, so never
// dithered): any other rate, format or dither is an error.
ParsedPlayerOptions parse_player_options(std::span<const std::string_view> args);

// The --help text.
std::string player_usage_text();

enum class PlayerPhase {
  kPlaying,   // blocks rendered and queued as the device hands buffers back
  kEnding,    // the end is asked for: the next block holds the fade
  kDraining,  // the faded block is queued (silence behind it); waiting for it to come back
  kFinished,  // the stream is closed
};

struct Player {
  Settings settings{};
  std::unique_ptr<SignalGenerator> generator = std::make_unique<SignalGenerator>();
  OutputStream stream{};
  PlayerPhase phase = PlayerPhase::kPlaying;
  // Where the signal ends (the frame after its fade-out), once known.
  std::optional<std::int64_t> end_frame;
  double end_fade_ms = kEndFadeMs;
  std::size_t last_buffer = 0;  // while draining: the buffer that holds the fade
  bool loss_told = false;       // the device's loss is told once per loss
};

// Renders the first two blocks, opens the stream with them queued (events
// to `target`) and sets the levels as its volume. With `seconds`, the
// signal fades out to end there.
StreamOpening start_player(Player& player, WaveOutService& wave_out, NotifyTarget target,
                           std::optional<double> seconds);

// One device event. Returns a line for standard error (the device was
// lost), or "".
std::string on_player_event(Player& player, WaveOutService& wave_out, std::uint32_t message,
                            WaveHeader* header);

// One line of standard input; returns its one reply line, "ok ..." or
// "error: ...", without the newline. A command that fails changes nothing.
// A sweep command starts the sweep afresh from the next block.
// `underruns` is the service's count, for status.
std::string run_player_command(Player& player, WaveOutService& wave_out, std::string_view line,
                               std::uint64_t underruns);

// Fills a buffer the device has played with the next block, in place,
// without calling the service (which queues it again itself). False for
// the block that holds the end's fade and once the stream is closed: the
// buffer then comes back through on_player_event.
bool refill_played_buffer(Player& player, const WaveHeader& header);

// Asks for the end: the next block rendered fades out. Again, or past an
// end already under way, changes nothing.
void end_player(Player& player);

// Closes the stream now, whatever the phase (the last resort when the
// device hands nothing back).
void stop_player(Player& player, WaveOutService& wave_out);

}  // namespace tq::play

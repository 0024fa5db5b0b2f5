#pragma once
// The command-line programs' signal: the window's tone plus a frequency,
// start phase, polarity and duty cycle of each channel's own, brown noise,
// a sweep of the common frequency, tone bursts, fades and other frame
// rates. Rendered block by block into a fixed amount of memory, however
// long the signal. With default settings every 16-bit block is exactly the
// one render_block() gives from the state the window's stream opens with.
//
// The settings are read afresh for every block, so a caller may change
// them between blocks: the phases carry on from where they were, as the
// window's do when its frequency or waveform changes.

#include <array>
#include <cstdint>
#include <optional>

#include "synth/random_source.h"
#include "synth/waveform.h"

namespace tq {

// Integrated white noise. Beyond the window's seven codes: the window
// never stores it.
inline constexpr WaveformKind kBrownNoise = 8;

inline constexpr int kMinRate = 8000;
inline constexpr int kMaxRate = 192000;

enum class SweepLaw { kLog, kLinear };
enum class SweepRepeat { kOnce, kRepeat, kBounce };

struct ChannelSettings {
  WaveformKind waveform = kSine;
  // Set: the channel plays this frequency and ignores the common one and
  // any sweep.
  std::optional<double> own_frequency;
  // 0..360, added to the channel's phase accumulator: 90 makes the channel
  // lead one at 0 by a quarter period. Noise ignores it.
  double phase_degrees = 0.0;
  bool invert = false;
  // The square's high part of each period, more than 0 and less than 100.
  double duty_percent = 50.0;
};

// The common frequency moves from SignalSettings::frequency to
// `to_frequency` over `seconds`, sample by sample.
struct SweepSettings {
  double to_frequency = 1000.0;
  double seconds = 1.0;
  SweepLaw law = SweepLaw::kLog;  // log: constant octaves per second
  SweepRepeat repeat = SweepRepeat::kOnce;
};

// `on_periods` periods of the common frequency sound, `off_periods` are
// silent, both channels together, each burst starting at phase 0.
// on_periods == 0: no bursts.
struct BurstSettings {
  int on_periods = 0;
  int off_periods = 0;
};

struct SignalSettings {
  int rate = kSampleRate;  // frames per second, kMinRate..kMaxRate
  double frequency = 1000.0;
  std::array<ChannelSettings, 2> channels{};
  std::optional<SweepSettings> sweep;
  BurstSettings burst{};
  // Raised-cosine fades at the start and at the end.
  double fade_in_ms = 0.0;
  double fade_out_ms = 0.0;
  // The frame after the last one: where the fade-out ends. 0: no end known,
  // no fade-out.
  std::int64_t end_frame = 0;
};

// A block with the fraction kept, on the 16-bit scale (peak 25000.0), for
// 24-bit and floating-point output.
using FineBlock = std::array<double, kBlockSamples>;

// Everything a signal is rendered from beyond its settings. Large (it
// holds the sine table): keep it on the heap.
struct SignalGenerator {
  SignalState state{};     // the two channels' phases and noise filters, table, random
  std::int64_t frame = 0;  // frames rendered since start
  // (further fields: the sweep's position, brown noise, bursts, dither)
};

// Phases 0 (plus each channel's start phase), noise seeded with 1, frame 0.
void start_signal(SignalGenerator& generator, const SignalSettings& settings);

// The next kBlockFrames frames, interleaved left then right.
void render_signal_block(SignalGenerator& generator, const SignalSettings& settings, Block& block);
void render_signal_block(SignalGenerator& generator, const SignalSettings& settings,
                         FineBlock& block);

// Frames rendered since start_signal().
std::int64_t rendered_frames(const SignalGenerator& generator);

}  // namespace tq

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
  // At 50 the window's square: high while the phase is below half a
  // period. Otherwise a sample is high when the middle of its phase step
  // lies in the high part, so a high part of a whole number of samples
  // (25 % at 441 Hz and 44100 frames a second) has exactly that many.
  double duty_percent = 50.0;
};

// The common frequency moves from SignalSettings::frequency to
// `to_frequency` over `seconds`, sample by sample.
struct SweepSettings {
  double to_frequency = 1000.0;
  double seconds = 1.0;
  SweepLaw law = SweepLaw::kLog;  // log: constant octaves per second
  SweepRepeat repeat = SweepRepeat::kOnce;
  // The frame the sweep starts at: 0 for a rendered file; a live player's
  // sweep starts where it is asked for.
  std::int64_t start_frame = 0;
};

// `on_periods` periods of the common frequency sound, `off_periods` are
// silent, both channels together. A frame belongs to the period in which
// the middle of its common phase step falls. At the first frame of each
// burst both channels' accumulators restart at 0, so every burst starts at
// each channel's start phase. on_periods == 0: no bursts; off_periods == 0:
// always on, no restarts.
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
  // Raised-cosine fades: the gain rises from 0 at frame 0 to 1 at the
  // fade-in's length and falls to 0 at end_frame - 1; frames from end_frame
  // on are silent. end_frame may be set while the signal plays (a fade-out
  // on quit).
  double fade_in_ms = 0.0;
  double fade_out_ms = 0.0;
  // The frame after the last one: where the fade-out ends. 0: no end known,
  // no fade-out.
  std::int64_t end_frame = 0;
};

// A block with the fraction kept, on the 16-bit scale (peak 25000.0), for
// 24-bit and floating-point output.
using FineBlock = std::array<double, kBlockSamples>;

// Room for one block's intermediate values: the only memory a signal
// needs beyond its state, however long it plays.
struct SignalScratch {
  std::array<std::uint32_t, kBlockFrames> common_steps;  // the common frequency's phase steps
  std::array<std::uint32_t, kBlockFrames> phases;        // one channel's phases, offset applied
  std::array<std::uint32_t, kBlockFrames> steps;         // ... and its steps to the next sample
  std::array<bool, kBlockFrames> burst_starts;           // the accumulators restart here
  std::array<double, kBlockFrames> gain;                 // bursts and fades, 0..1
  std::array<std::int16_t, kBlockFrames> draws;          // brown noise's random values
  std::array<std::array<std::int16_t, kBlockFrames>, 2> samples;  // each channel's 16-bit samples
  std::array<std::array<double, kBlockFrames>, 2> fine;           // each channel's fine samples
  Block noise;  // white and pink noise, as the window renders them
};

// Everything a signal is rendered from beyond its settings. Large (it
// holds the sine table and the scratch): keep it on the heap.
struct SignalGenerator {
  SignalState state{};     // the two channels' phases and noise filters, table, random
  std::int64_t frame = 0;  // frames rendered since start
  // The part of a phase unit the swept steps have not yet taken, so that
  // truncating each step to whole units loses nothing over time.
  double sweep_carry = 0.0;
  // The common frequency's phase; bits 32 and up count whole periods.
  std::uint64_t burst_phase = 0;
  std::uint64_t burst_period = ~std::uint64_t{0};  // period of the previous sample
  std::array<double, 2> brown{};                   // each channel's brown noise level
  SignalScratch scratch;
};

// Phases 0 (plus each channel's start phase), noise seeded with 1, frame 0.
void start_signal(SignalGenerator& generator, const SignalSettings& settings);

// The next kBlockFrames frames, interleaved left then right. A channel
// whose waveform code is unknown keeps the block's samples. In a FineBlock
// white and pink noise are the 16-bit values; brown noise keeps its
// fraction.
void render_signal_block(SignalGenerator& generator, const SignalSettings& settings, Block& block);
void render_signal_block(SignalGenerator& generator, const SignalSettings& settings,
                         FineBlock& block);

// Frames rendered since start_signal().
std::int64_t rendered_frames(const SignalGenerator& generator);

// The common frequency at `frame`: SignalSettings::frequency, or where the
// sweep has brought it.
double common_frequency_at(const SignalSettings& settings, std::int64_t frame);

}  // namespace tq

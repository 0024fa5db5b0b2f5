#include "synth/signal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>
#include <type_traits>

#include "synth/numeric.h"
#include "synth/vector_clones.h"
#include "synth/wave_points.h"

namespace tq {

namespace {

constexpr double kPhaseUnits = 4294967296.0;  // one period, 2^32
constexpr double kPi = std::numbers::pi;

using wave::kHalfPeriod;
using wave::kQuarterPeriod;
using wave::pulse_at;
using wave::sawtooth_at;
using wave::square_at;
using wave::triangle_at;

// Brown noise: a leaky integrator of centred white noise. The leak's corner
// lies well below 50 Hz, so the spectrum falls 6 dB per octave above it;
// the gain puts the level's RMS at a fifth of the peak.
constexpr double kBrownCornerHz = 10.0;
constexpr double kBrownRms = kPeak / 5.0;
constexpr double kWhiteCentre = 16383.5;    // mean of the draws 0..32767
constexpr double kWhiteDeviation = 9459.2;  // their standard deviation
constexpr double kSquareWindowDuty = 50.0;  // the window's square

using Phases = std::array<std::uint32_t, kBlockFrames>;

template <typename Sample>
using ChannelSpan = std::span<Sample, kBlockFrames>;

double phase_units_per_hertz(int rate) {
  return rate == kSampleRate ? kPhaseIncrementPerHertz : kPhaseUnits / rate;
}

std::uint32_t phase_step(double frequency, int rate) {
  return truncate_to_low32(frequency * phase_units_per_hertz(rate));
}

std::uint32_t phase_offset(double degrees) {
  const double turns = degrees / 360.0 - std::floor(degrees / 360.0);
  return truncate_to_low32(std::round(turns * kPhaseUnits));
}

// The square is high while the phase is below this.
std::uint32_t duty_threshold(double duty_percent) {
  const double units = std::round(duty_percent / 100.0 * kPhaseUnits);
  return truncate_to_low32(std::clamp(units, 1.0, kPhaseUnits - 1.0));
}

bool is_noise(WaveformKind kind) {
  return kind == kWhiteNoise || kind == kPinkNoise || kind == kBrownNoise;
}

// --- Waveform shapes: a sample from the phase and the step to the next one.

double fine_triangle_at(std::uint32_t p) {
  const std::uint32_t from_half = p - kHalfPeriod;
  const std::uint32_t distance = p < kHalfPeriod ? 0u - from_half : from_half;
  return static_cast<std::int32_t>(kQuarterPeriod - distance) * (kPeak / 1073741824.0);
}

double fine_sawtooth_at(std::uint32_t p) {
  return static_cast<std::int32_t>(p - kHalfPeriod) * (kPeak / 2147483648.0);
}

double fine_sine_at(std::uint32_t p) {
  return std::sin(p * (2.0 * kPi / kPhaseUnits)) * kPeak;
}

// At 50 % the window's square (square_at): high while the phase is below
// half a period. At any other duty a sample is high when the middle of its
// step lies in the high part, so a high part of a whole number of samples
// gets exactly that many, whichever way the step was rounded.
int duty_square_at(std::uint32_t p, std::uint32_t step, std::uint32_t threshold) {
  return p + (step >> 1) < threshold ? kPeak : -kPeak;
}

// How a channel's periodic waveform is drawn.
struct Shape {
  WaveformKind kind = kSine;
  std::uint32_t threshold = kHalfPeriod;  // the square's duty
  bool window_square = true;
};

// Calls drive(wave) with the shape's wave(phase, step) for samples of type
// Sample. Returns false for a code that is not a periodic waveform.
template <typename Sample, typename Drive>
[[gnu::always_inline]] inline bool with_wave(const Shape& shape, const SineTable& table,
                                             Drive drive) {
  constexpr bool kFine = std::is_same_v<Sample, double>;
  const std::uint32_t threshold = shape.threshold;
  switch (shape.kind) {
    case kSine:
      if constexpr (kFine) {
        drive([](std::uint32_t p, std::uint32_t) { return fine_sine_at(p); });
      } else {
        drive([&table](std::uint32_t p, std::uint32_t) { return table.entries[p >> 15]; });
      }
      return true;
    case kTriangle:
      if constexpr (kFine) {
        drive([](std::uint32_t p, std::uint32_t) { return fine_triangle_at(p); });
      } else {
        drive([](std::uint32_t p, std::uint32_t) { return triangle_at(p); });
      }
      return true;
    case kSawtooth:
      if constexpr (kFine) {
        drive([](std::uint32_t p, std::uint32_t) { return fine_sawtooth_at(p); });
      } else {
        drive([](std::uint32_t p, std::uint32_t) { return sawtooth_at(p); });
      }
      return true;
    case kSquare:
      if (shape.window_square) {
        drive([](std::uint32_t p, std::uint32_t) { return square_at(p); });
      } else {
        drive([threshold](std::uint32_t p, std::uint32_t step) {
          return duty_square_at(p, step, threshold);
        });
      }
      return true;
    case kPulse:
      drive([](std::uint32_t p, std::uint32_t step) { return pulse_at(p, step); });
      return true;
    default:
      return false;
  }
}

// Sample n is wave(phase + n * step): a loop over a phase induction
// variable, which the compiler vectorises.
template <typename Sample, typename Wave>
[[gnu::always_inline]] inline void drive_constant(std::uint32_t phase, std::uint32_t step,
                                                  ChannelSpan<Sample> out, Wave wave) {
  for (auto& sample : out) {
    sample = static_cast<Sample>(wave(phase, step));
    phase += step;
  }
}

template <typename Sample, typename Wave>
void drive_varying(const Phases& phases, const Phases& steps, ChannelSpan<Sample> out, Wave wave) {
  for (std::size_t n = 0; n < out.size(); ++n) {
    out[n] = static_cast<Sample>(wave(phases[n], steps[n]));
  }
}

TQ_VECTOR_CLONES
bool render_constant_16(const Shape& shape, const SineTable& table, std::uint32_t phase,
                        std::uint32_t step, ChannelSpan<std::int16_t> out) {
  if (shape.kind == kSine) {
    wave::render_table_sine(table, phase, step, out);
    return true;
  }
  return with_wave<std::int16_t>(
      shape, table, [&](auto wave) { drive_constant<std::int16_t>(phase, step, out, wave); });
}

bool render_constant(const Shape& shape, const SineTable& table, std::uint32_t phase,
                     std::uint32_t step, ChannelSpan<std::int16_t> out) {
  return render_constant_16(shape, table, phase, step, out);
}

bool render_constant(const Shape& shape, const SineTable& table, std::uint32_t phase,
                     std::uint32_t step, ChannelSpan<double> out) {
  return with_wave<double>(shape, table,
                           [&](auto wave) { drive_constant<double>(phase, step, out, wave); });
}

template <typename Sample>
bool render_varying(const Shape& shape, const SineTable& table, const Phases& phases,
                    const Phases& steps, ChannelSpan<Sample> out) {
  return with_wave<Sample>(shape, table,
                           [&](auto wave) { drive_varying<Sample>(phases, steps, out, wave); });
}

// --- The common frequency, bursts and fades of one block.

// Where the sweep is at `frame`, 0 (start) .. 1 (target).
double sweep_position(const SweepSettings& sweep, int rate, std::int64_t frame) {
  const double length = sweep.seconds * rate;
  if (!(length > 0.0)) return 1.0;
  // Before its start frame the sweep waits at its start.
  const double u =
      static_cast<double>(std::max<std::int64_t>(frame - sweep.start_frame, 0)) / length;
  switch (sweep.repeat) {
    case SweepRepeat::kOnce:
      return std::min(u, 1.0);
    case SweepRepeat::kRepeat:
      return u - std::floor(u);
    case SweepRepeat::kBounce: {
      const double w = u - 2.0 * std::floor(u / 2.0);
      return w <= 1.0 ? w : 2.0 - w;
    }
  }
  return 1.0;
}

double swept_frequency(double from, double to, SweepLaw law, double position) {
  if (law == SweepLaw::kLog && from > 0.0 && to > 0.0) {
    return from * std::exp2(position * std::log2(to / from));
  }
  return from + (to - from) * position;
}

bool sweeps_common(const SignalSettings& settings) {
  return settings.sweep.has_value();
}

bool bursts(const SignalSettings& settings) {
  return settings.burst.on_periods > 0;
}

// The sweep's steps are worked out in chunks of frames. Within a chunk
// that no turn crosses, the phase advance from the chunk's first frame to
// its n-th is a closed form of n: a geometric sum for the log law, a
// quadratic for the linear one. Each chunk starts again from the law at its
// frame index, so nothing accumulates from chunk to chunk but the phase.
constexpr std::size_t kSweepChunk = 64;
using ChunkSums = std::array<double, kSweepChunk + 1>;

// sums[n] = 1 + ratio + ... + ratio^(n-1).
void geometric_sums(double ratio, ChunkSums& sums) {
  double power = 1.0;
  double sum = 0.0;
  for (double& entry : sums) {
    entry = sum;
    sum += power;
    power *= ratio;
  }
}

bool sweeps_logarithmically(const SignalSettings& settings) {
  const SweepSettings& sweep = *settings.sweep;
  return sweep.law == SweepLaw::kLog && settings.frequency > 0.0 && sweep.to_frequency > 0.0;
}

// +1 (rising towards the target), -1 (falling back), 0 (holding the
// target) through the frames first..last, or nothing when a turn lies
// between them.
std::optional<int> sweep_direction(const SweepSettings& sweep, int rate, std::int64_t first,
                                   std::int64_t last) {
  const double length = sweep.seconds * rate;
  if (!(length > 0.0)) return 0;
  const double from = std::floor(static_cast<double>(first) / length);
  const double to = std::floor(static_cast<double>(last) / length);
  switch (sweep.repeat) {
    case SweepRepeat::kOnce:
      if (from >= 1.0) return 0;
      return to >= 1.0 ? std::nullopt : std::optional<int>(1);
    case SweepRepeat::kRepeat:
      return from == to ? std::optional<int>(1) : std::nullopt;
    case SweepRepeat::kBounce:
      if (from != to) return std::nullopt;
      return std::fmod(from, 2.0) == 0.0 ? 1 : -1;
  }
  return std::nullopt;
}

// What a block's chunks share.
struct SweepChunks {
  double per_hertz = 0.0;
  bool logarithmic = false;
  double slope = 0.0;  // linear: hertz per frame
  ChunkSums rising{}, falling{}, holding{};
};

SweepChunks sweep_chunks(const SignalSettings& settings) {
  const SweepSettings& sweep = *settings.sweep;
  SweepChunks chunks;
  chunks.per_hertz = phase_units_per_hertz(settings.rate);
  chunks.logarithmic = sweeps_logarithmically(settings);
  const double length = std::max(sweep.seconds * settings.rate, 1.0);
  chunks.slope = (sweep.to_frequency - settings.frequency) / length;
  const double octaves_per_frame =
      chunks.logarithmic ? std::log2(sweep.to_frequency / settings.frequency) / length : 0.0;
  geometric_sums(std::exp2(octaves_per_frame), chunks.rising);
  geometric_sums(std::exp2(-octaves_per_frame), chunks.falling);
  geometric_sums(1.0, chunks.holding);
  return chunks;
}

// phase[n]: the phase advance, in units, from the chunk's first frame to
// its n-th, plus `carry`.
void chunk_phase(const SignalSettings& settings, const SweepChunks& chunks, std::int64_t first,
                 double carry, ChunkSums& phase) {
  const SweepSettings& sweep = *settings.sweep;
  const std::optional<int> direction = sweep_direction(
      sweep, settings.rate, first, first + static_cast<std::int64_t>(kSweepChunk) - 1);
  if (!direction) {  // a turn: the law frame by frame
    phase[0] = carry;
    for (std::size_t n = 0; n < kSweepChunk; ++n) {
      const double frequency = common_frequency_at(settings, first + static_cast<std::int64_t>(n));
      phase[n + 1] = phase[n] + frequency * chunks.per_hertz;
    }
    return;
  }
  const double step = common_frequency_at(settings, first) * chunks.per_hertz;
  if (chunks.logarithmic) {
    const ChunkSums& sums = *direction > 0   ? chunks.rising
                            : *direction < 0 ? chunks.falling
                                             : chunks.holding;
    for (std::size_t n = 0; n < phase.size(); ++n) phase[n] = carry + step * sums[n];
    return;
  }
  const double bend = *direction * chunks.slope * chunks.per_hertz / 2.0;
  for (std::size_t n = 0; n < phase.size(); ++n) {
    const auto frames = static_cast<double>(n);
    phase[n] = carry + step * frames + bend * frames * (frames - 1.0);
  }
}

// Whole units of a phase advance; advances are never negative for the
// frequencies a sweep takes, and a negative one counts as none.
std::int64_t whole_units(double units) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62: far beyond any block's advance
  return units > 0.0 ? static_cast<std::int64_t>(std::min(units, kLimit)) : 0;
}

// The common frequency's steps of this block: each the difference of the
// whole units of the exact phase before and after it, so the phase follows
// the law's integral without drifting; `sweep_carry` takes the fraction
// from block to block.
void sweep_steps(SignalGenerator& generator, const SignalSettings& settings) {
  const SweepChunks chunks = sweep_chunks(settings);
  auto& steps = generator.scratch.common_steps;
  ChunkSums phase;
  double carry = generator.sweep_carry;
  for (std::size_t start = 0; start < steps.size(); start += kSweepChunk) {
    chunk_phase(settings, chunks, generator.frame + static_cast<std::int64_t>(start), carry, phase);
    for (std::size_t n = 0; n < kSweepChunk; ++n) {
      steps[start + n] =
          static_cast<std::uint32_t>(whole_units(phase[n + 1]) - whole_units(phase[n]));
    }
    const double end = phase[kSweepChunk];
    carry = end - static_cast<double>(whole_units(end));
  }
  generator.sweep_carry = carry;
}

// Marks the frames where a burst starts and gates the others: the common
// phase counts periods, `on` of them sound and `off` of them do not.
void burst_gates(SignalGenerator& generator, const SignalSettings& settings, bool swept,
                 std::uint32_t common_step) {
  const auto on = static_cast<std::uint64_t>(settings.burst.on_periods);
  const auto off = static_cast<std::uint64_t>(std::max(settings.burst.off_periods, 0));
  const std::uint64_t cycle = on + off;
  auto& scratch = generator.scratch;
  for (std::size_t n = 0; n < kBlockFrames; ++n) {
    const std::uint32_t step = swept ? scratch.common_steps[n] : common_step;
    // A frame belongs to the period the middle of its step falls in, so
    // that a period of a whole number of frames is exactly that many.
    const std::uint64_t period = (generator.burst_phase + (step >> 1)) >> 32;
    const std::uint64_t in_cycle = period % cycle;
    scratch.burst_starts[n] = off > 0 && in_cycle == 0 && period != generator.burst_period;
    scratch.gain[n] = in_cycle < on ? 1.0 : 0.0;
    generator.burst_period = period;
    generator.burst_phase += step;
  }
}

std::int64_t frames_of_ms(double ms, int rate) {
  return std::llround(std::max(ms, 0.0) * rate / 1000.0);
}

// A raised cosine from 0 (x = 0) to 1 (x = 1).
double raised_cosine(double x) {
  return 0.5 - 0.5 * std::cos(kPi * x);
}

double fade_gain(const SignalSettings& settings, std::int64_t frame) {
  double gain = 1.0;
  const std::int64_t fade_in = frames_of_ms(settings.fade_in_ms, settings.rate);
  if (frame < fade_in)
    gain = raised_cosine(static_cast<double>(frame) / static_cast<double>(fade_in));
  const std::int64_t fade_out = frames_of_ms(settings.fade_out_ms, settings.rate);
  if (fade_out > 0 && settings.end_frame > 0) {
    const std::int64_t remaining = settings.end_frame - 1 - frame;
    if (remaining < 0) return 0.0;
    if (remaining < fade_out)
      gain *= raised_cosine(static_cast<double>(remaining) / static_cast<double>(fade_out));
  }
  return gain;
}

// Whether a fade touches the block starting at `frame`.
bool fades_block(const SignalSettings& settings, std::int64_t frame) {
  if (frame < frames_of_ms(settings.fade_in_ms, settings.rate)) return true;
  const std::int64_t fade_out = frames_of_ms(settings.fade_out_ms, settings.rate);
  return fade_out > 0 && settings.end_frame > 0 &&
         frame + kBlockFrames > settings.end_frame - fade_out;
}

// --- Channels.

bool channel_is_plain(const ChannelSettings& channel) {
  return !channel.own_frequency && phase_offset(channel.phase_degrees) == 0 && !channel.invert &&
         (channel.waveform != kSquare || channel.duty_percent == kSquareWindowDuty) &&
         channel.waveform != kBrownNoise;
}

// Nothing asked beyond what the window plays.
bool is_window_signal(const SignalSettings& settings, std::int64_t frame) {
  return settings.rate == kSampleRate && !sweeps_common(settings) && !bursts(settings) &&
         !fades_block(settings, frame) && channel_is_plain(settings.channels[0]) &&
         channel_is_plain(settings.channels[1]);
}

Shape shape_of(const ChannelSettings& channel) {
  return Shape{channel.waveform, duty_threshold(channel.duty_percent),
               channel.duty_percent == kSquareWindowDuty};
}

// White or pink noise of channel c, rendered by the window's renderer alone
// in its lane so that it draws exactly what the window's would.
void render_window_noise(SignalGenerator& generator, std::size_t c) {
  auto& channels = generator.state.channels;
  std::array<ChannelState, 2> lanes{};
  lanes[c] = channels[c];
  lanes[1 - c].waveform = 0;
  render_block(generator.scratch.noise, lanes, generator.state.sine, generator.state.random);
  channels[c].pink = lanes[c].pink;
  auto& samples = generator.scratch.samples[c];
  for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = generator.scratch.noise[2 * n + c];
}

// One brown noise step. A step that would carry the level beyond the peak
// is taken the other way instead: the leaky level stays within the peak,
// and the step is far smaller than the peak, so the other way is inside.
double next_brown(double level, double leak, double gain, std::int16_t draw) {
  const double step = gain * (draw - kWhiteCentre);
  const double kept = leak * level;
  const double next = kept + step;
  return std::abs(next) <= kPeak ? next : kept - step;
}

void render_brown(SignalGenerator& generator, const SignalSettings& settings, std::size_t c) {
  auto& scratch = generator.scratch;
  next_randoms(generator.state.random, scratch.draws);
  const double leak = std::exp(-2.0 * kPi * kBrownCornerHz / settings.rate);
  const double gain = kBrownRms * std::sqrt(1.0 - leak * leak) / kWhiteDeviation;
  double level = generator.brown[c];
  for (std::size_t n = 0; n < kBlockFrames; ++n) {
    level = next_brown(level, leak, gain, scratch.draws[n]);
    scratch.fine[c][n] = level;
    scratch.samples[c][n] = static_cast<std::int16_t>(level);
  }
  generator.brown[c] = level;
}

template <typename Sample>
ChannelSpan<Sample> channel_buffer(SignalScratch& scratch, std::size_t c) {
  if constexpr (std::is_same_v<Sample, double>) {
    return scratch.fine[c];
  } else {
    return scratch.samples[c];
  }
}

// Noise into the channel buffer; the fine buffer takes the 16-bit values
// except for brown noise, whose level is kept whole.
template <typename Sample>
void render_noise(SignalGenerator& generator, const SignalSettings& settings, std::size_t c) {
  if (settings.channels[c].waveform == kBrownNoise) {
    render_brown(generator, settings, c);
    return;
  }
  render_window_noise(generator, c);
  if constexpr (std::is_same_v<Sample, double>) {
    std::copy(generator.scratch.samples[c].begin(), generator.scratch.samples[c].end(),
              generator.scratch.fine[c].begin());
  }
}

// Per-sample phases of channel c: its own constant step or the common
// frequency's steps, restarting at each burst start.
void channel_phases(SignalGenerator& generator, std::size_t c, std::uint32_t offset,
                    std::optional<std::uint32_t> own_step, bool bursting) {
  auto& scratch = generator.scratch;
  std::uint32_t phase = generator.state.channels[c].phase;
  for (std::size_t n = 0; n < kBlockFrames; ++n) {
    if (bursting && scratch.burst_starts[n]) phase = 0;
    const std::uint32_t step = own_step ? *own_step : scratch.common_steps[n];
    scratch.phases[n] = phase + offset;
    scratch.steps[n] = step;
    phase += step;
  }
  generator.state.channels[c].phase = phase;
}

// What the channels of one block share.
struct BlockPlan {
  bool swept = false;     // the common steps vary: scratch.common_steps
  bool bursting = false;  // scratch.burst_starts
  bool gained = false;    // scratch.gain
  std::uint32_t common_step = 0;
};

// How far a channel's phase moves over one block (modulo 2^32).
std::uint32_t block_phase_advance(const SignalScratch& scratch, const BlockPlan& plan,
                                  std::optional<std::uint32_t> own_step) {
  if (own_step || !plan.swept) {
    return (own_step ? *own_step : plan.common_step) * static_cast<std::uint32_t>(kBlockFrames);
  }
  std::uint32_t advance = 0;
  for (const std::uint32_t step : scratch.common_steps) advance += step;
  return advance;
}

// Renders channel c's samples into its buffer and advances its phase.
// Returns false, touching nothing, for a code it does not know.
template <typename Sample>
bool render_channel(SignalGenerator& generator, const SignalSettings& settings,
                    const BlockPlan& plan, std::size_t c) {
  const ChannelSettings& channel = settings.channels[c];
  ChannelState& state = generator.state.channels[c];
  state.waveform = channel.waveform;
  std::optional<std::uint32_t> own_step;
  if (channel.own_frequency) own_step = phase_step(*channel.own_frequency, settings.rate);
  if (is_noise(channel.waveform)) {
    render_noise<Sample>(generator, settings, c);
    // The phase runs on under noise, as the window's does, so a periodic
    // waveform chosen later carries on from where it would have been.
    state.phase += block_phase_advance(generator.scratch, plan, own_step);
    return true;
  }
  const std::uint32_t offset = phase_offset(channel.phase_degrees);
  const Shape shape = shape_of(channel);
  const ChannelSpan<Sample> out = channel_buffer<Sample>(generator.scratch, c);
  if (!plan.bursting && (own_step || !plan.swept)) {
    const std::uint32_t step = own_step ? *own_step : plan.common_step;
    if (!render_constant(shape, generator.state.sine, state.phase + offset, step, out))
      return false;
    state.phase += step * static_cast<std::uint32_t>(kBlockFrames);
    return true;
  }
  if (shape.kind < kTriangle || shape.kind > kPulse) return false;
  channel_phases(generator, c, offset, own_step, plan.bursting);
  return render_varying<Sample>(shape, generator.state.sine, generator.scratch.phases,
                                generator.scratch.steps, out);
}

std::int16_t negated(std::int16_t value) {
  return value == -32768 ? std::int16_t{32767} : static_cast<std::int16_t>(-value);
}

double negated(double value) {
  return -value;
}

std::int16_t scaled(std::int16_t value, double gain) {
  return static_cast<std::int16_t>(std::lround(value * gain));
}

double scaled(double value, double gain) {
  return value * gain;
}

// Polarity and gain of channel c's buffer.
template <typename Sample>
void finish_channel(SignalGenerator& generator, const SignalSettings& settings,
                    const BlockPlan& plan, std::size_t c) {
  const ChannelSpan<Sample> samples = channel_buffer<Sample>(generator.scratch, c);
  if (settings.channels[c].invert) {
    for (auto& sample : samples) sample = negated(sample);
  }
  if (plan.gained) {
    const auto& gain = generator.scratch.gain;
    for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = scaled(samples[n], gain[n]);
  }
}

// A channel whose code is unknown keeps the block's samples.
template <typename Sample, typename Out>
void keep_channel(SignalScratch& scratch, std::size_t c, const Out& block) {
  const ChannelSpan<Sample> samples = channel_buffer<Sample>(scratch, c);
  for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = block[2 * n + c];
}

template <typename Sample, typename Out>
void interleave(SignalScratch& scratch, Out& block) {
  const ChannelSpan<Sample> left = channel_buffer<Sample>(scratch, 0);
  const ChannelSpan<Sample> right = channel_buffer<Sample>(scratch, 1);
  for (std::size_t n = 0; n < left.size(); ++n) {
    block[2 * n] = left[n];
    block[2 * n + 1] = right[n];
  }
}

BlockPlan plan_block(SignalGenerator& generator, const SignalSettings& settings) {
  BlockPlan plan;
  plan.swept = sweeps_common(settings);
  plan.bursting = bursts(settings);
  plan.common_step = phase_step(settings.frequency, settings.rate);
  if (plan.swept) sweep_steps(generator, settings);
  if (plan.bursting) burst_gates(generator, settings, plan.swept, plan.common_step);
  const bool fading = fades_block(settings, generator.frame);
  plan.gained = plan.bursting || fading;
  if (fading) {
    auto& gain = generator.scratch.gain;
    for (std::size_t n = 0; n < gain.size(); ++n) {
      const double fade = fade_gain(settings, generator.frame + static_cast<std::int64_t>(n));
      gain[n] = plan.bursting ? gain[n] * fade : fade;
    }
  }
  return plan;
}

template <typename Sample, typename Out>
void render_general(SignalGenerator& generator, const SignalSettings& settings, Out& block) {
  const BlockPlan plan = plan_block(generator, settings);
  for (std::size_t c = 0; c < 2; ++c) {
    if (render_channel<Sample>(generator, settings, plan, c)) {
      finish_channel<Sample>(generator, settings, plan, c);
    } else {
      keep_channel<Sample>(generator.scratch, c, block);
    }
  }
  interleave<Sample>(generator.scratch, block);
  generator.frame += kBlockFrames;
}

}  // namespace

void start_signal(SignalGenerator& generator, const SignalSettings& settings) {
  generator.state.channels = StereoChannels{};
  for (std::size_t c = 0; c < 2; ++c) {
    generator.state.channels[c].frequency = settings.frequency;
    generator.state.channels[c].waveform = settings.channels[c].waveform;
  }
  build_sine_table(generator.state.sine);
  seed_random(generator.state.random, 1);
  generator.frame = 0;
  generator.sweep_carry = 0.0;
  generator.burst_phase = 0;
  generator.burst_period = ~std::uint64_t{0};
  generator.brown = {};
}

void render_signal_block(SignalGenerator& generator, const SignalSettings& settings, Block& block) {
  if (is_window_signal(settings, generator.frame)) {
    for (std::size_t c = 0; c < 2; ++c) {
      generator.state.channels[c].frequency = settings.frequency;
      generator.state.channels[c].waveform = settings.channels[c].waveform;
    }
    render_block(block, generator.state.channels, generator.state.sine, generator.state.random);
    generator.frame += kBlockFrames;
    return;
  }
  render_general<std::int16_t>(generator, settings, block);
}

void render_signal_block(SignalGenerator& generator, const SignalSettings& settings,
                         FineBlock& block) {
  render_general<double>(generator, settings, block);
}

std::int64_t rendered_frames(const SignalGenerator& generator) {
  return generator.frame;
}

double common_frequency_at(const SignalSettings& settings, std::int64_t frame) {
  if (!settings.sweep) return settings.frequency;
  const double position = sweep_position(*settings.sweep, settings.rate, frame);
  return swept_frequency(settings.frequency, settings.sweep->to_frequency, settings.sweep->law,
                         position);
}

}  // namespace tq

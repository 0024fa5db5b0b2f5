// One stereo block per waveform, both channels playing it at 1 kHz.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "synth/random_source.h"
#include "synth/signal.h"
#include "synth/waveform.h"

namespace {

void render_one_block(benchmark::State& state, tq::WaveformKind kind) {
  tq::SineTable table;
  tq::build_sine_table(table);
  std::array<tq::ChannelState, 2> channels{};
  for (auto& channel : channels) {
    channel.frequency = 1000.0;
    channel.waveform = kind;
  }
  tq::RandomSource random;
  tq::seed_random(random, 1);
  tq::Block block{};
  for (auto _ : state) {
    tq::render_block(block, channels, table, random);
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * tq::kBlockFrames);
}

BENCHMARK_CAPTURE(render_one_block, sine, tq::kSine);
BENCHMARK_CAPTURE(render_one_block, triangle, tq::kTriangle);
BENCHMARK_CAPTURE(render_one_block, square, tq::kSquare);
BENCHMARK_CAPTURE(render_one_block, sawtooth, tq::kSawtooth);
BENCHMARK_CAPTURE(render_one_block, pulse, tq::kPulse);
BENCHMARK_CAPTURE(render_one_block, white, tq::kWhiteNoise);
BENCHMARK_CAPTURE(render_one_block, pink, tq::kPinkNoise);
// Codes outside 1..7: only the fixed cost of assembling the block.
BENCHMARK_CAPTURE(render_one_block, untouched, 0);

// The command-line signal with a channel's own settings in use: the left
// channel at its own frequency and a quarter period ahead, the right at
// the common frequency, 45 degrees ahead, a 25 % duty for the square.
tq::SignalSettings own_settings(tq::WaveformKind kind) {
  tq::SignalSettings settings;
  settings.channels[0] = {kind, 1001.0, 90.0};
  settings.channels[1] = {kind, std::nullopt, 45.0};
  settings.channels[1].duty_percent = 25.0;
  return settings;
}

// A 20 Hz to 20 kHz logarithmic sweep over 60 s, both channels.
tq::SignalSettings sweep_settings(tq::WaveformKind kind) {
  tq::SignalSettings settings;
  settings.frequency = 20.0;
  settings.channels[0].waveform = settings.channels[1].waveform = kind;
  settings.sweep = tq::SweepSettings{20000.0, 60.0};
  return settings;
}

template <typename BlockType>
void render_signal(benchmark::State& state, tq::SignalSettings settings) {
  auto generator = std::make_unique<tq::SignalGenerator>();
  tq::start_signal(*generator, settings);
  auto block = std::make_unique<BlockType>();
  for (auto _ : state) {
    tq::render_signal_block(*generator, settings, *block);
    benchmark::DoNotOptimize(block->data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * tq::kBlockFrames);
}

void signal_block(benchmark::State& state, tq::SignalSettings settings) {
  render_signal<tq::Block>(state, settings);
}

void signal_fine_block(benchmark::State& state, tq::SignalSettings settings) {
  render_signal<tq::FineBlock>(state, settings);
}

BENCHMARK_CAPTURE(signal_block, own_sine, own_settings(tq::kSine));
BENCHMARK_CAPTURE(signal_block, own_triangle, own_settings(tq::kTriangle));
BENCHMARK_CAPTURE(signal_block, own_square, own_settings(tq::kSquare));
BENCHMARK_CAPTURE(signal_block, own_sawtooth, own_settings(tq::kSawtooth));
BENCHMARK_CAPTURE(signal_block, own_pulse, own_settings(tq::kPulse));
BENCHMARK_CAPTURE(signal_block, brown, own_settings(tq::kBrownNoise));
BENCHMARK_CAPTURE(signal_block, sweep_sine, sweep_settings(tq::kSine));
BENCHMARK_CAPTURE(signal_fine_block, fine_sweep_sine, sweep_settings(tq::kSine));

}  // namespace

BENCHMARK_MAIN();

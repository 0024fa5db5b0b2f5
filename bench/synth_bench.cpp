// One stereo block per waveform, both channels playing it at 1 kHz.
#include <benchmark/benchmark.h>

#include <array>

#include "synth/random_source.h"
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

}  // namespace

BENCHMARK_MAIN();

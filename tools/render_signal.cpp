#include "render_signal.h"

#include <cstdint>
#include <memory>

#include "audio/output_level.h"
#include "synth/random_source.h"

namespace tq::render {

namespace {

// Applies a channel's volume to its slots; unity (64000) changes nothing,
// so it is skipped.
void apply_gain(Block& block, std::size_t channel, std::uint32_t volume) {
  if (volume == kFullScaleVolume) return;
  for (std::size_t i = channel; i < block.size(); i += kChannels) {
    block[i] = apply_volume(block[i], volume);
  }
}

}  // namespace

bool render_signal(const RenderOptions& options, const std::function<bool(const Block&)>& sink) {
  const auto table = std::make_unique<SineTable>();
  build_sine_table(*table);
  std::array<ChannelState, 2> channels{};
  channels[0].waveform = options.left;
  channels[1].waveform = options.right;
  channels[0].frequency = channels[1].frequency = options.frequency;
  RandomSource random;
  seed_random(random, 1);
  const std::uint32_t left_volume = level_to_volume(options.left_level_db);
  const std::uint32_t right_volume = level_to_volume(options.right_level_db);

  const auto block = std::make_unique<Block>();
  for (std::int64_t b = 0; b < options.blocks; ++b) {
    render_block(*block, channels, *table, random);
    apply_gain(*block, 0, left_volume);
    apply_gain(*block, 1, right_volume);
    if (!sink(*block)) return false;
  }
  return true;
}

}  // namespace tq::render

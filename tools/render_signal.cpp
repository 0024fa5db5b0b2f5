#include "render_signal.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "audio/output_level.h"

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

// 16-bit samples with the levels applied as the window applies them.
bool render_as_played(const RenderOptions& options, SignalGenerator& generator,
                      const std::function<bool(const SampleSpan&)>& sink) {
  const std::uint32_t left_volume = level_to_volume(options.left_level_db);
  const std::uint32_t right_volume = level_to_volume(options.right_level_db);
  const auto block = std::make_unique<Block>();
  for (std::int64_t b = 0; b < options.blocks; ++b) {
    render_signal_block(generator, options.signal, *block);
    apply_gain(*block, 0, left_volume);
    apply_gain(*block, 1, right_volume);
    if (!sink(std::span<const std::int16_t>(*block))) return false;
  }
  return true;
}

// Samples from the fine blocks: 24-bit, floating point, or dithered 16-bit.
bool render_converted(const RenderOptions& options, SignalGenerator& generator,
                      const std::function<bool(const SampleSpan&)>& sink) {
  const Conversion conversion = conversion_for(options);
  const auto fine = std::make_unique<FineBlock>();
  const auto integers = std::make_unique<IntegerBlock>();
  const auto floats = std::make_unique<FloatBlock>();
  const auto shorts = std::make_unique<Block>();
  DitherSource dither;
  for (std::int64_t b = 0; b < options.blocks; ++b) {
    render_signal_block(generator, options.signal, *fine);
    bool taken = false;
    if (conversion.format == SampleFormat::kF32) {
      to_floats(*fine, conversion, *floats);
      taken = sink(std::span<const float>(*floats));
    } else if (conversion.format == SampleFormat::kS24) {
      to_integers(*fine, conversion, dither, *integers);
      taken = sink(std::span<const std::int32_t>(*integers));
    } else {
      to_integers(*fine, conversion, dither, *integers);
      std::copy(integers->begin(), integers->end(), shorts->begin());  // already in 16-bit range
      taken = sink(std::span<const std::int16_t>(*shorts));
    }
    if (!taken) return false;
  }
  return true;
}

}  // namespace

Conversion conversion_for(const RenderOptions& options) {
  Conversion conversion;
  conversion.format = options.format;
  const double levels[2] = {options.left_level_db, options.right_level_db};
  for (std::size_t channel = 0; channel < 2; ++channel) {
    conversion.gain[channel] = level_gain(levels[channel]);
    conversion.dither[channel] = options.dither == Dither::kTpdf &&
                                 options.format != SampleFormat::kF32 && levels[channel] != 0.0;
  }
  return conversion;
}

bool render_signal(const RenderOptions& options,
                   const std::function<bool(const SampleSpan&)>& sink) {
  const auto generator = std::make_unique<SignalGenerator>();
  start_signal(*generator, options.signal);
  const Conversion conversion = conversion_for(options);
  const bool dithered = conversion.dither[0] || conversion.dither[1];
  if (options.format == SampleFormat::kS16 && !dithered)
    return render_as_played(options, *generator, sink);
  return render_converted(options, *generator, sink);
}

}  // namespace tq::render

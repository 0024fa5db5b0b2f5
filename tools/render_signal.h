#pragma once
// The renderer's signal: blocks exactly as the generator plays them right
// after its stream opens, with the levels applied as a gain.

#include <functional>

#include "render_options.h"
#include "synth/waveform.h"

namespace tq::render {

// Renders options.blocks blocks from the state after the stream opens
// (phases 0, noise seeded with 1) and hands each one, gain applied, to
// `sink`. Stops and returns false as soon as the sink returns false.
bool render_signal(const RenderOptions& options, const std::function<bool(const Block&)>& sink);

}  // namespace tq::render

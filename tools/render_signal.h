#pragma once
// The renderer's signal: blocks of the generator's signal, started as the
// window's stream starts, with the levels applied and in the sample format
// asked for. With default options every block is exactly what the window
// plays, the levels applied as its volume word applies them.

#include <functional>

#include "render_options.h"
#include "sound_file.h"

namespace tq::render {

// Renders options.blocks blocks and hands each one to `sink`, one block's
// memory however many blocks. Stops and returns false as soon as the sink
// returns false.
bool render_signal(const RenderOptions& options,
                   const std::function<bool(const SampleSpan&)>& sink);

// How a block becomes output samples under `options`: the levels as gains,
// and dither on the channels whose level is not 0 dB when the format is an
// integer one and the dither is tpdf.
Conversion conversion_for(const RenderOptions& options);

}  // namespace tq::render

#pragma once
// Start-up and shutdown in their fixed order. The front end registers the
// class, creates and shows the window and runs the message loop; the steps
// between are here.

#include "audio/wave_out.h"

namespace tq {

struct Generator;

// After the panel's controls exist: fills the boxes with their start texts,
// reads the frequency box back into the panel frequency and places the bars.
void initialize_panel(Generator& generator);

// After the window is shown: silences device 0, builds the sine table, opens
// the stream with `window` as the event target (result ignored) and records
// start_tick.
void start_generator(Generator& generator, NotifyTarget window);

// When the main window is destroyed: resets and closes the stream if open.
// The front end then ends its message loop with exit code 0.
void on_main_window_destroyed(Generator& generator);

}  // namespace tq

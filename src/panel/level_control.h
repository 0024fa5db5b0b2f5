#pragma once
// Per-channel level (dB, scroll bar and typed entry) and waveform buttons.

#include "synth/waveform.h"

namespace tq {

struct Generator;

inline constexpr double kMinScrollLevel = -99.0;
inline constexpr double kMinEntryLevel = -50.0;
inline constexpr double kMaxLevel = 0.0;

// trunc(level * 5.1 + 255); defined for every input.
int level_to_position(double level_db);
// The level after one scroll event: step, clamp to -99..0.
double scrolled_level(double level_db, int code, int thumb_position);
// A typed level clamped to -50..0 (NaN gives -50).
double clamped_entry_level(double level_db);

void on_level_scroll(Generator& generator, int channel, int code, int thumb_position);
void on_level_entry(Generator& generator, int channel, int notification);
void on_waveform_selected(Generator& generator, int channel, WaveformKind kind);

}  // namespace tq

#pragma once
// Per-channel level (dB, scroll bar and typed entry) and waveform buttons.

#include "audio/wave_out.h"
#include "panel/panel_controls.h"
#include "panel/panel_settings.h"
#include "synth/waveform.h"

namespace tq {

inline constexpr double kMinScrollLevel = -99.0;
inline constexpr double kMinEntryLevel = -50.0;
inline constexpr double kMaxLevel = 0.0;

// trunc(level * 5.1 + 255); defined for every input.
int level_to_position(double level_db);
// The level after one scroll event: step, clamp to -99..0.
double scrolled_level(double level_db, int code, int thumb_position);
// A typed level clamped to -50..0 (NaN gives -50).
double clamped_entry_level(double level_db);

// One scroll event on a channel's level bar (channel 0 left, any other the
// right): the level, the bar, the box and the device volume follow.
void on_level_scroll(PanelSettings& panel, WaveOutService& wave_out, PanelControls& controls,
                     int channel, int code, int thumb_position);
// A notification from a channel's level box; Enter (kEnMaxText) takes the
// typed level.
void on_level_entry(PanelSettings& panel, WaveOutService& wave_out, PanelControls& controls,
                    int channel, int notification);
void on_waveform_selected(StereoChannels& channels, PanelControls& controls, int channel,
                          WaveformKind kind);

}  // namespace tq

#pragma once
// The panel frequency: scroll bar (logarithmic, 1 Hz to 20 kHz), typed
// entry, rounding to five significant digits, copy into both channels.

#include <optional>

#include "panel/panel_controls.h"
#include "panel/panel_settings.h"
#include "synth/waveform.h"

namespace tq {

inline constexpr double kMinScrollFrequency = 1.0;
inline constexpr double kMaxScrollFrequency = 20000.0;

// trunc(ln(f) * 255 / ln 20000); defined for every input (see numeric.h).
int frequency_to_position(double frequency);
// 20000^(position / 255).
double position_to_frequency(int position);
// Rounds to five significant digits for x >= 0.1 and keeps smaller values
// (zero and negatives too) unchanged. nullopt when x is not finite or its
// scaled value would not fit a signed 32-bit integer.
std::optional<double> round_to_five_digits(double x);
// The frequency after one scroll event: step, clamp to 1..20000, round.
double scrolled_frequency(double frequency, int code, int thumb_position);

// One scroll event on the frequency bar: the panel frequency, the bar, the
// box and both channels follow.
void on_frequency_scroll(PanelSettings& panel, StereoChannels& channels, PanelControls& controls,
                         int code, int thumb_position);
// A notification from the frequency box; Enter (kEnMaxText) takes the typed
// value. Both channels take the panel frequency afterwards.
void on_frequency_entry(PanelSettings& panel, StereoChannels& channels, PanelControls& controls,
                        int notification);
// Both channels take the panel frequency (channel 1 first, then channel 0).
void copy_frequency_to_channels(const PanelSettings& panel, StereoChannels& channels);

}  // namespace tq

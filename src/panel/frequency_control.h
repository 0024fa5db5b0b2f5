#pragma once
// The panel frequency: scroll bar (logarithmic, 1 Hz to 20 kHz), typed
// entry, rounding to five significant digits, copy into both channels.

#include <optional>

namespace tq {

struct Generator;

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

void on_frequency_scroll(Generator& generator, int code, int thumb_position);
void on_frequency_entry(Generator& generator, int notification);
// Both channels take the panel frequency (channel 1 first, then channel 0).
void copy_frequency_to_channels(Generator& generator);

}  // namespace tq

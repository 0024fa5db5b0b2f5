#include "panel/frequency_control.h"

#include <cmath>

#include "panel/panel_controls.h"
#include "panel/scroll_codes.h"
#include "synth/numeric.h"
#include "synth/text_exchange.h"

namespace tq {

namespace {

constexpr double kStepFraction = 0.01;
constexpr double kScrollPositions = 255.0;
constexpr double kSmallestRounded = 0.1;
constexpr double kInt32Limit = 2147483648.0;  // 2^31

double log_span() {
  return std::log(kMaxScrollFrequency) - std::log(kMinScrollFrequency);
}

// The scale that keeps five significant digits of x (x >= 0.1).
double five_digit_scale(double x) {
  if (x >= 10000.0) return 1.0;
  if (x >= 1000.0) return 10.0;
  if (x >= 100.0) return 100.0;
  if (x >= 10.0) return 1000.0;
  if (x >= 1.0) return 10000.0;
  return 100000.0;
}

// The thumb position travels in 16 bits.
int thumb_16(int thumb_position) {
  return thumb_position & 0xFFFF;
}

double stepped_frequency(double frequency, int code, int thumb_position) {
  return scrolled_value(frequency, frequency * kStepFraction, code,
                        position_to_frequency(thumb_16(thumb_position)));
}

double clamped_scroll_frequency(double frequency) {
  if (!(frequency >= kMinScrollFrequency)) return kMinScrollFrequency;  // NaN too
  if (frequency > kMaxScrollFrequency) return kMaxScrollFrequency;
  return frequency;
}

// Shows the panel frequency on the bar and in the box and hands the keyboard
// back to the main window.
void show_frequency(double frequency, PanelControls& controls) {
  controls.set_bar_position(Bar::frequency, frequency_to_position(frequency));
  controls.set_box_text(Box::frequency, format_g(frequency));
  controls.focus_main_window();
}

// The typed frequency, rounded, or nullopt when the text is no usable
// number: not a number at all, not finite, or too large to round.
std::optional<double> typed_frequency(double frequency, PanelControls& controls) {
  const std::optional<double> typed = scan_lg(read_box(controls, Box::frequency));
  return round_to_five_digits(typed.value_or(frequency));
}

}  // namespace

int frequency_to_position(double frequency) {
  return truncate_to_int32(std::log(frequency / kMinScrollFrequency) * kScrollPositions /
                           log_span());
}

double position_to_frequency(int position) {
  return std::exp(position / kScrollPositions * log_span() + std::log(kMinScrollFrequency));
}

std::optional<double> round_to_five_digits(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  if (x < kSmallestRounded) return x;  // no scale is defined below 0.1
  const double scale = five_digit_scale(x);
  const double scaled = x * scale + 0.5;
  if (!(scaled < kInt32Limit)) return std::nullopt;
  return truncate_to_int32(scaled) / scale;
}

double scrolled_frequency(double frequency, int code, int thumb_position) {
  const double clamped =
      clamped_scroll_frequency(stepped_frequency(frequency, code, thumb_position));
  // Always in range after the clamp, so rounding cannot fail.
  return round_to_five_digits(clamped).value_or(clamped);
}

void on_frequency_scroll(PanelSettings& panel, StereoChannels& channels, PanelControls& controls,
                         int code, int thumb_position) {
  panel.frequency = scrolled_frequency(panel.frequency, code, thumb_position);
  show_frequency(panel.frequency, controls);
  copy_frequency_to_channels(panel, channels);
}

void on_frequency_entry(PanelSettings& panel, StereoChannels& channels, PanelControls& controls,
                        int notification) {
  if (notification == kEnMaxText) {
    // An unusable entry keeps the previous frequency and writes it back.
    if (const std::optional<double> typed = typed_frequency(panel.frequency, controls)) {
      panel.frequency = *typed;
    }
    show_frequency(panel.frequency, controls);
  }
  copy_frequency_to_channels(panel, channels);
}

void copy_frequency_to_channels(const PanelSettings& panel, StereoChannels& channels) {
  channels[1].frequency = panel.frequency;
  channels[0].frequency = channels[1].frequency;
}

}  // namespace tq

#pragma once
// Horizontal scroll codes and the edit notification the panel acts on.

namespace tq {

inline constexpr int kSbLineLeft = 0;
inline constexpr int kSbLineRight = 1;
inline constexpr int kSbPageLeft = 2;
inline constexpr int kSbPageRight = 3;
inline constexpr int kSbThumbPosition = 4;
inline constexpr int kSbThumbTrack = 5;
inline constexpr int kSbLeft = 6;
inline constexpr int kSbRight = 7;
inline constexpr int kSbEndScroll = 8;

// The value a scroll event moves `value` to: one step for a line (and for
// the bar's ends), fifteen steps and then one more for a page (sixteen in
// all), `thumb_value` for the thumb, unchanged for any other code.
constexpr double scrolled_value(double value, double step, int code, double thumb_value) {
  constexpr int kPageSteps = 15;
  switch (code) {
    case kSbLineLeft:
    case kSbLeft:
      return value - step;
    case kSbLineRight:
    case kSbRight:
      return value + step;
    case kSbPageLeft:
      return (value - kPageSteps * step) - step;
    case kSbPageRight:
      return (value + kPageSteps * step) + step;
    case kSbThumbPosition:
    case kSbThumbTrack:
      return thumb_value;
    default:
      return value;
  }
}

// Sent by a one-row box when Enter cannot add a line: "a value was entered".
inline constexpr int kEnMaxText = 0x0501;
// Sent by a box whose text changed.
inline constexpr int kEnChange = 0x0300;

}  // namespace tq

#pragma once
// The main window and its control panel as data: every control with its
// kind, text, position, size and id, the menu, the window's class, title and
// size, and where the scroll bars go for a given client width. Both front
// ends build their window from these tables.

#include <array>
#include <span>

#include "panel/panel_controls.h"

namespace tq {

inline constexpr int kControlHeight = 20;
inline constexpr int kRowPitch = 20;
inline constexpr int kRadioHeight = 30;
inline constexpr int kScrollRangeMin = 0;
inline constexpr int kScrollRangeMax = 255;

inline constexpr const char* kWindowClassName = "tq2";
inline constexpr const char* kWindowTitle = "Varnholt Tonquill";
inline constexpr int kWindowWidth = 600;
inline constexpr int kWindowHeight = 14 * kRowPitch;  // 280

enum class ControlKind { background, label, edit, scroll_bar, radio };

struct ControlSpec {
  ControlKind kind;
  const char* text;  // label or button text; empty for edits and bars
  int x;
  int y;
  int width;
  int height;
  int id;            // 0 for labels and scroll bars
  bool group_start;  // first button of a radio group
  bool checked;      // initially checked radio button
  int slot;  // for an edit its Box, for a scroll bar its Bar, for a radio its channel; else -1
  const char* accessible_name;  // nullptr for labels and the background
};

// In creation order.
std::span<const ControlSpec> panel_controls();

struct MenuItemSpec {
  const char* text;
  int id;
};

inline constexpr const char* kFileMenuTitle = "&File";
std::span<const MenuItemSpec> file_menu_items();

struct Rect {
  int x;
  int y;
  int width;
  int height;
};

// Where the three scroll bars go, indexed by Bar, for a client area of the
// given width: each (width - 120) wide and one control high.
std::array<Rect, 3> scroll_bar_rects(int client_width);

// Width of a waveform button with this text: 12 per character plus 10.
int waveform_button_width(const char* text);

// The figures above are for a display of 96 dots per inch. A front end on a
// display with more scales every figure by dpi / 96, rounded to the nearest
// pixel, so that the window keeps its proportions and at 96 is unchanged.
inline constexpr int kBaseDpi = 96;
int scale_for_dpi(int value, int dpi);
// The control with its position and size scaled.
ControlSpec scaled_for_dpi(const ControlSpec& control, int dpi);
// scroll_bar_rects for a client area of the given width at `dpi`: the bars'
// places scaled, each (client width - 120 scaled) wide.
std::array<Rect, 3> scroll_bar_rects(int client_width, int dpi);

}  // namespace tq

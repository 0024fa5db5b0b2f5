#pragma once
// What the panel asks of the window's controls: the three boxes, the three
// scroll bars and the keyboard focus. Each front end (Qt, Win32) implements
// it over its own controls; tests use a recording double.

#include <string>

namespace tq {

enum class Box { frequency = 0, left_level = 1, right_level = 2 };
enum class Bar { frequency = 0, left_level = 1, right_level = 2 };

inline constexpr int kBoxTextCapacity = 100;  // characters read, terminator included

class PanelControls {
 public:
  virtual ~PanelControls() = default;

  virtual void set_box_text(Box box, const std::string& text) = 0;
  // The box's whole text; the caller keeps at most 99 characters of it.
  virtual std::string box_text(Box box) = 0;
  // Moves the bar's thumb and redraws it; the bar clamps to its own range.
  virtual void set_bar_position(Bar bar, int position) = 0;
  // Gives the keyboard focus back to the main window.
  virtual void focus_main_window() = 0;
};

// The box's text as the panel reads it: at most 99 characters.
std::string read_box(PanelControls& controls, Box box);

}  // namespace tq

#pragma once
// What the panel and the information commands ask of the window and the
// desktop. Each front end (Qt, Win32) implements it over its own controls;
// tests use a recording double.

#include <cstdint>
#include <string>

namespace tq {

enum class Box { frequency = 0, left_level = 1, right_level = 2 };
enum class Bar { frequency = 0, left_level = 1, right_level = 2 };

inline constexpr int kBoxTextCapacity = 100;  // characters read, terminator included

class PanelWindow {
 public:
  virtual ~PanelWindow() = default;

  virtual void set_box_text(Box box, const std::string& text) = 0;
  // The box's whole text; the caller keeps at most 99 characters of it.
  virtual std::string box_text(Box box) = 0;
  // Moves the bar's thumb and redraws it; the bar clamps to its own range.
  virtual void set_bar_position(Bar bar, int position) = 0;
  // Gives the keyboard focus back to the main window.
  virtual void focus_main_window() = 0;
  // Sends the main window a close request; returns once it is handled.
  virtual void request_close() = 0;
  // A message box with one OK button and no owner window.
  virtual void show_message_box(const std::string& title, const std::string& text) = 0;
  // Opens a web address in the user's default viewer; failure is silent.
  virtual void open_web_address(const std::string& address) = 0;
  // Milliseconds since some fixed point, wrapping at 2^32.
  virtual std::uint32_t tick_count() = 0;
};

// The box's text as the panel reads it: at most 99 characters.
std::string read_box(PanelWindow& window, Box box);

}  // namespace tq

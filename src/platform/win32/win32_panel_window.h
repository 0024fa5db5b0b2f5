#pragma once
// The panel's window services over the Win32 controls of the main window.

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/panel_window.h"

namespace tq {

// The message that carries a posted task to the main window; its LPARAM
// owns a heap std::function<void()>.
inline constexpr UINT kWmPostedTask = WM_APP + 1;

// Runs and frees the task of a kWmPostedTask message.
void run_posted_task(LPARAM task);

// `address` as the shell opens it: an address or path as it stands, a bare
// file name (the page installed with the program) beside the executable.
std::string page_beside_executable(const std::string& address);

class Win32PanelWindow : public PanelWindow {
 public:
  void set_box_text(Box box, const std::string& text) override;
  std::string box_text(Box box) override;
  void set_bar_position(Bar bar, int position) override;
  void focus_main_window() override;
  void request_close() override;
  void show_message_box(const std::string& title, const std::string& text) override;
  void open_web_address(const std::string& address) override;
  void post_to_window(std::function<void()> task) override;
  std::uint32_t tick_count() override;

  // Filled in while the main window builds its panel.
  HWND main_window = nullptr;
  std::array<HWND, 3> boxes{};  // indexed by Box
  std::array<HWND, 3> bars{};   // indexed by Bar
  std::vector<HWND> controls;   // every control, in the order of panel_controls()
  int dpi = 96;                 // the DPI the panel is laid out for
  HFONT font = nullptr;         // the controls' font at that DPI, owned
};

}  // namespace tq

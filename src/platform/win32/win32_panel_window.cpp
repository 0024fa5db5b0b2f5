#include "platform/win32/win32_panel_window.h"

#include <shellapi.h>

#include <cstddef>
#include <memory>
#include <utility>

namespace tq {

namespace {

template <typename Slot>
std::size_t index(Slot slot) {
  return static_cast<std::size_t>(slot);
}

}  // namespace

void Win32PanelWindow::set_box_text(Box box, const std::string& text) {
  SetWindowTextA(boxes[index(box)], text.c_str());
}

std::string Win32PanelWindow::box_text(Box box) {
  char text[kBoxTextCapacity] = {};
  GetWindowTextA(boxes[index(box)], text, kBoxTextCapacity);
  return text;
}

void Win32PanelWindow::set_bar_position(Bar bar, int position) {
  SetScrollPos(bars[index(bar)], SB_CTL, position, TRUE);
}

void Win32PanelWindow::focus_main_window() {
  SetFocus(main_window);
}

void Win32PanelWindow::request_close() {
  SendMessageA(main_window, WM_CLOSE, 0, 0);
}

void Win32PanelWindow::show_message_box(const std::string& title, const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK);
}

// A bare file name is the program's own page, beside the executable.
std::string page_beside_executable(const std::string& address) {
  if (address.find(':') != std::string::npos) return address;  // "https:", "c:\\..."
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return address;
  std::string folder(path, length);
  folder.resize(folder.find_last_of("\\/") + 1);
  return folder + address;
}

void Win32PanelWindow::open_web_address(const std::string& address) {
  const std::string target = page_beside_executable(address);
  ShellExecuteA(nullptr, "open", target.c_str(), "", "c:\\", SW_SHOWNORMAL);
}

void Win32PanelWindow::post_to_window(std::function<void()> task) {
  auto* owned = new std::function<void()>(std::move(task));
  if (!PostMessageA(main_window, kWmPostedTask, 0, reinterpret_cast<LPARAM>(owned))) delete owned;
}

void run_posted_task(LPARAM task) {
  const std::unique_ptr<std::function<void()>> owned(
      reinterpret_cast<std::function<void()>*>(task));
  if (*owned) (*owned)();
}

std::uint32_t Win32PanelWindow::tick_count() {
  return GetTickCount();
}

}  // namespace tq

#pragma once
// The main window: its class, menu and window procedure. Everything the
// program holds lives in one Application, owned by WinMain and reached from
// the window procedure through the window's user data.

#include <windows.h>

#include "app/generator.h"
#include "platform/win32/win32_panel_window.h"
#include "platform/winmm/winmm_wave_out.h"

namespace tq {

struct Application {
  Application() : wave_out(volume_mode_of_this_system()), generator(wave_out, window) {}

  WinmmWaveOut wave_out;
  Win32PanelWindow window;
  Generator generator;
};

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The class "tq2" with main_window_proc and the program's icon.
void register_main_window_class(HINSTANCE instance);
// The menu bar with its one popup, "&File".
HMENU build_main_menu();
// Creates the main window, which builds its panel into `application`.
HWND create_main_window(HINSTANCE instance, HMENU menu, Application& application);

}  // namespace tq

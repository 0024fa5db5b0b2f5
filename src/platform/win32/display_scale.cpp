#include "platform/win32/display_scale.h"

#include "panel/layout.h"

namespace tq {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

// A function of user32 that older systems lack, or nullptr.
template <typename Function>
Function user32_function(const char* name) {
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  if (user32 == nullptr) return nullptr;
  // GetProcAddress gives a generic function pointer; the cast names its type.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

int system_dpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : kBaseDpi;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int dpi_of_window(HWND window) {
  static const auto get_dpi_for_window =
      user32_function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi_for_window != nullptr) {
    const UINT dpi = get_dpi_for_window(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return system_dpi();
}

HFONT create_message_font(int dpi) {
  static const auto parameters_for_dpi =
      user32_function<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  const BOOL found =
      parameters_for_dpi != nullptr
          ? parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                               static_cast<UINT>(dpi))
          : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  return found ? CreateFontIndirectW(&metrics.lfMessageFont) : nullptr;
}

}  // namespace tq

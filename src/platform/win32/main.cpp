// The program's entry: set-up in its fixed order, then the message loop
// that drives everything, user input and sound-device events alike.

#include <windows.h>

#include <memory>

#include "app/lifetime.h"
#include "platform/win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous_instance, LPSTR /*command_line*/,
                   int show_state) {
  // On the heap: the sine table and the two buffers alone are some 320 KB.
  const auto application = std::make_unique<tq::Application>();
  if (previous_instance == nullptr) tq::register_main_window_class(instance);
  const HMENU menu = tq::build_main_menu();
  const HWND window = tq::create_main_window(instance, menu, *application);
  // Without its window the program could never be closed: end it at once.
  if (window == nullptr) return 1;
  ShowWindow(window, show_state);
  UpdateWindow(window);
  tq::start_generator(application->generator, reinterpret_cast<tq::NotifyTarget>(window));

  MSG message{};
  // GetMessage returns -1 on failure: that ends the loop too. The dialog
  // navigation takes Tab, Shift+Tab and the arrows between the controls of
  // the main window and hands every other message on as the loop would.
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

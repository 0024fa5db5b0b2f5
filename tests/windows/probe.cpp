// tq_probe.exe: looks at another program and its windows for the end-to-end
// test, which drives them with xdotool.
//
//   tq_probe center TITLE ID          prints the screen position "x y" of
//                                     the middle of control ID of window TITLE
//   tq_probe starts-with TITLE TEXT   prints the texts of window TITLE's
//                                     controls; 0 when one starts with TEXT
//   tq_probe icon-groups FILE NAME... 0 when program FILE holds every named
//                                     icon group
//   tq_probe focus TITLE ID           0 when control ID of window TITLE has
//                                     the keyboard focus
//   tq_probe menu TITLE               0 when window TITLE has a menu open
//   tq_probe foreground TITLE         0 when window TITLE is the foreground
//                                     window
//
// Exit status 1 when a check fails, 2 when a window or control is missing.
// The last three let the test wait until its keys have been handled.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int kTextCapacity = 10000;

struct PrefixSearch {
  std::string_view prefix;
  bool found;
};

BOOL CALLBACK check_child(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<PrefixSearch*>(context);
  std::string text(kTextCapacity, '\0');
  const int length = GetWindowTextA(child, text.data(), kTextCapacity);
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  std::printf("--- control %d\n%s\n", GetDlgCtrlID(child), text.c_str());
  if (text.starts_with(search->prefix)) search->found = true;
  return TRUE;
}

HWND find_window(const char* title) {
  const HWND window = FindWindowA(nullptr, title);
  if (window == nullptr) std::fprintf(stderr, "tq_probe: no window titled \"%s\"\n", title);
  return window;
}

int print_center(const char* title, int id) {
  const HWND window = find_window(title);
  const HWND control = window == nullptr ? nullptr : GetDlgItem(window, id);
  RECT rect{};
  if (control == nullptr || !GetWindowRect(control, &rect)) return 2;
  std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  return 0;
}

int check_texts(const char* title, std::string_view prefix) {
  const HWND window = find_window(title);
  if (window == nullptr) return 2;
  PrefixSearch search{prefix, false};
  EnumChildWindows(window, check_child, reinterpret_cast<LPARAM>(&search));
  return search.found ? 0 : 1;
}

int check_icon_groups(const char* file, char** names, int count) {
  const HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return 2;
  int missing = 0;
  for (int i = 0; i < count; ++i) {
    const bool found = FindResourceA(module, names[i], RT_GROUP_ICON) != nullptr;
    std::printf("icon group %s: %s\n", names[i], found ? "present" : "missing");
    if (!found) ++missing;
  }
  FreeLibrary(module);
  return missing == 0 ? 0 : 1;
}

// What the thread that owns `window` has as focus, menu and active window.
bool thread_state(HWND window, GUITHREADINFO* state) {
  state->cbSize = sizeof *state;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), state) != FALSE;
}

int check_focus(const char* title, int id) {
  const HWND window = find_window(title);
  GUITHREADINFO state{};
  if (window == nullptr || !thread_state(window, &state)) return 2;
  return state.hwndFocus != nullptr && GetDlgCtrlID(state.hwndFocus) == id ? 0 : 1;
}

int check_menu_open(const char* title) {
  const HWND window = find_window(title);
  GUITHREADINFO state{};
  if (window == nullptr || !thread_state(window, &state)) return 2;
  return state.hwndMenuOwner != nullptr ? 0 : 1;
}

int check_foreground(const char* title) {
  const HWND window = find_window(title);
  if (window == nullptr) return 2;
  return GetForegroundWindow() == window ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "center" && argc == 4) return print_center(argv[2], std::atoi(argv[3]));
  if (command == "starts-with" && argc == 4) return check_texts(argv[2], argv[3]);
  if (command == "icon-groups" && argc >= 4) return check_icon_groups(argv[2], argv + 3, argc - 3);
  if (command == "focus" && argc == 4) return check_focus(argv[2], std::atoi(argv[3]));
  if (command == "menu" && argc == 3) return check_menu_open(argv[2]);
  if (command == "foreground" && argc == 3) return check_foreground(argv[2]);
  std::fprintf(stderr,
               "usage: tq_probe center TITLE ID | starts-with TITLE TEXT | icon-groups FILE "
               "NAME... | focus TITLE ID | menu TITLE | foreground TITLE\n");
  return 2;
}

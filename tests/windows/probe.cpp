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
//   tq_probe layout TITLE             prints "window W H", "client W H" and,
//                                     in creation order, "CLASS ID X Y W H"
//                                     of each control (client coordinates)
//   tq_probe text-fits TITLE          prints the text size of each control
//                                     in the message font; 0 when every
//                                     text fits inside its control
//   tq_probe focused TITLE            prints "CLASS ID X Y" of the control
//                                     with the keyboard focus
//   tq_probe manifest FILE            prints the manifest of program FILE
//   tq_probe version FILE             prints the version resource of FILE
//
// The probe takes the display's real pixels (it is DPI aware), so that it
// sees another DPI-aware program's windows as they are.
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

std::string class_of(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// `control`'s window rectangle in the client coordinates of `parent`.
RECT place_in(HWND parent, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int print_layout(const char* title) {
  const HWND window = find_window(title);
  RECT outer{};
  RECT client{};
  if (window == nullptr || !GetWindowRect(window, &outer) || !GetClientRect(window, &client)) {
    return 2;
  }
  std::printf("window %ld %ld\nclient %ld %ld\n", outer.right - outer.left,
              outer.bottom - outer.top, client.right, client.bottom);
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const RECT rect = place_in(window, child);
    std::printf("%s %d %ld %ld %ld %ld\n", class_of(child).c_str(), GetDlgCtrlID(child), rect.left,
                rect.top, rect.right - rect.left, rect.bottom - rect.top);
  }
  return 0;
}

// What a control's text needs besides the text: a button's round box and
// its gap, an edit's margins.
int room_beside_text(HWND control, int dpi) {
  const std::string name = class_of(control);
  if (_stricmp(name.c_str(), "button") == 0) return MulDiv(16, dpi, 96);
  if (_stricmp(name.c_str(), "edit") == 0) {
    const auto margins = static_cast<DWORD>(SendMessageA(control, EM_GETMARGINS, 0, 0));
    return LOWORD(margins) + HIWORD(margins);
  }
  return 0;
}

// The message font of the display, the one the program gives its
// controls. A control's own font cannot be measured from here: a font
// handle means something only in the process that made it, and Wine
// answers WM_GETFONT from another process with none.
HFONT create_message_font() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    return nullptr;
  }
  return CreateFontIndirectA(&metrics.lfMessageFont);
}

// The size of the control's text in `font` against its client rectangle;
// true when it fits.
bool text_fits(HWND control, HFONT font, int dpi) {
  // WM_GETTEXT, not GetWindowText: an edit of another program keeps its
  // text to itself.
  std::string text(kTextCapacity, '\0');
  const auto length =
      SendMessageA(control, WM_GETTEXT, kTextCapacity, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  if (text.empty()) return true;
  const HDC dc = GetDC(control);
  const HGDIOBJ old_font = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old_font);
  ReleaseDC(control, dc);
  RECT client{};
  GetClientRect(control, &client);
  const int needed = size.cx + room_beside_text(control, dpi);
  const bool fits = needed <= client.right && size.cy <= client.bottom;
  std::printf("%s %d \"%s\": text %d x %ld in %ld x %ld: %s\n", class_of(control).c_str(),
              GetDlgCtrlID(control), text.c_str(), needed, size.cy, client.right, client.bottom,
              fits ? "fits" : "DOES NOT FIT");
  return fits;
}

int check_text_fits(const char* title) {
  const HWND window = find_window(title);
  const HFONT font = create_message_font();
  if (window == nullptr || font == nullptr) return 2;
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  std::printf("display %d dpi\n", dpi);
  bool all_fit = true;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    all_fit = text_fits(child, font, dpi) && all_fit;
  }
  DeleteObject(font);
  return all_fit ? 0 : 1;
}

int print_focused(const char* title) {
  const HWND window = find_window(title);
  GUITHREADINFO state{};
  if (window == nullptr || !thread_state(window, &state) || state.hwndFocus == nullptr) return 2;
  if (state.hwndFocus == window) {
    std::printf("window\n");
    return 0;
  }
  const RECT rect = place_in(window, state.hwndFocus);
  std::printf("%s %d %ld %ld\n", class_of(state.hwndFocus).c_str(), GetDlgCtrlID(state.hwndFocus),
              rect.left, rect.top);
  return 0;
}

int print_manifest(const char* file) {
  const HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return 2;
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  if (loaded != nullptr) {
    std::fwrite(LockResource(loaded), 1, SizeofResource(module, found), stdout);
    std::printf("\n");
  }
  FreeLibrary(module);
  return loaded != nullptr ? 0 : 1;
}

int print_version(const char* file) {
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &unused);
  std::string data(size, '\0');
  if (size == 0 || !GetFileVersionInfoA(file, 0, size, data.data())) return 1;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("FileVersionNumber=%d.%d.%d.%d\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
  }
  for (const char* name :
       {"ProductName", "CompanyName", "FileDescription", "FileVersion", "ProductVersion"}) {
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (VerQueryValueA(data.data(), path.c_str(), &value, &length)) {
      std::printf("%s=%s\n", name, static_cast<const char*>(value));
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SetProcessDPIAware();
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "center" && argc == 4) return print_center(argv[2], std::atoi(argv[3]));
  if (command == "starts-with" && argc == 4) return check_texts(argv[2], argv[3]);
  if (command == "icon-groups" && argc >= 4) return check_icon_groups(argv[2], argv + 3, argc - 3);
  if (command == "focus" && argc == 4) return check_focus(argv[2], std::atoi(argv[3]));
  if (command == "menu" && argc == 3) return check_menu_open(argv[2]);
  if (command == "foreground" && argc == 3) return check_foreground(argv[2]);
  if (command == "layout" && argc == 3) return print_layout(argv[2]);
  if (command == "text-fits" && argc == 3) return check_text_fits(argv[2]);
  if (command == "focused" && argc == 3) return print_focused(argv[2]);
  if (command == "manifest" && argc == 3) return print_manifest(argv[2]);
  if (command == "version" && argc == 3) return print_version(argv[2]);
  std::fprintf(stderr,
               "usage: tq_probe center TITLE ID | starts-with TITLE TEXT | icon-groups FILE "
               "NAME... | focus TITLE ID | menu TITLE | foreground TITLE | layout TITLE | "
               "text-fits TITLE | focused TITLE | manifest FILE | version FILE\n");
  return 2;
}

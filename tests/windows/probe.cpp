// tq_probe.exe: looks at another program's windows for the end-to-end test,
// which drives them with xdotool.
//
//   tq_probe center TITLE ID       prints the screen position "x y" of the
//                                  middle of control ID of window TITLE
//   tq_probe starts-with TITLE TEXT  prints the texts of window TITLE's
//                                  controls; exit status 0 when one of them
//                                  starts with TEXT
//
// Exit status 2 when the window or the control is not there.

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

int print_center(HWND window, int id) {
  const HWND control = GetDlgItem(window, id);
  RECT rect{};
  if (control == nullptr || !GetWindowRect(control, &rect)) return 2;
  std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  return 0;
}

int check_texts(HWND window, std::string_view prefix) {
  PrefixSearch search{prefix, false};
  EnumChildWindows(window, check_child, reinterpret_cast<LPARAM>(&search));
  return search.found ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tq_probe center TITLE ID | starts-with TITLE TEXT\n");
    return 2;
  }
  const std::string_view command = argv[1];
  const HWND window = FindWindowA(nullptr, argv[2]);
  if (window == nullptr) {
    std::fprintf(stderr, "tq_probe: no window titled \"%s\"\n", argv[2]);
    return 2;
  }
  if (command == "center") return print_center(window, std::atoi(argv[3]));
  if (command == "starts-with") return check_texts(window, argv[3]);
  std::fprintf(stderr, "tq_probe: unknown command %s\n", argv[1]);
  return 2;
}

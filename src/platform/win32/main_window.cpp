#include "platform/win32/main_window.h"

#include <cstddef>
#include <cstdint>

#include "app/lifetime.h"
#include "app/routing.h"
#include "panel/layout.h"
#include "platform/win32/display_scale.h"

namespace tq {

namespace {

constexpr const char* kIconName = "IDI_ICON1";
// Every control but the waveform buttons after the first of a row starts a
// group of its own: the arrow keys move only within a row of buttons.
constexpr DWORD kVisibleChild = WS_CHILD | WS_VISIBLE | WS_GROUP;
// One row high, multi-line, no vertical auto-scroll: Enter cannot add a
// line, so the box reports EN_MAXTEXT, which the panel takes as "entered".
constexpr DWORD kEditStyle = kVisibleChild | WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_AUTOHSCROLL;
constexpr DWORD kScrollBarStyle = kVisibleChild | WS_TABSTOP | SBS_HORZ;
constexpr DWORD kRadioStyle = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
// Tab moves between the controls of the main window as between those of a
// dialog box (IsDialogMessage in the message loop).
constexpr DWORD kMainWindowExStyle = WS_EX_CONTROLPARENT;
constexpr const char* kEditProcProperty = "tq.edit_proc";

Application* application_of(HWND window) {
  return reinterpret_cast<Application*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

const char* class_of(ControlKind kind) {
  switch (kind) {
    case ControlKind::edit:
      return "EDIT";
    case ControlKind::scroll_bar:
      return "scrollbar";
    case ControlKind::radio:
      return "button";
    case ControlKind::background:
    case ControlKind::label:
      break;
  }
  return "static";
}

DWORD style_of(const ControlSpec& entry) {
  switch (entry.kind) {
    case ControlKind::edit:
      return kEditStyle;
    case ControlKind::scroll_bar:
      return kScrollBarStyle;
    case ControlKind::radio:
      return kRadioStyle | (entry.group_start ? WS_GROUP | WS_TABSTOP : 0);
    case ControlKind::background:
    case ControlKind::label:
      break;
  }
  return kVisibleChild;
}

// A box asked by the dialog navigation which keys it wants: Return, which
// enters its value (EN_MAXTEXT), and the keys of editing, but not Tab, which
// moves on. The message itself is not passed on: with it the box would take
// itself for part of a dialog box and drop Return and close the window on
// Escape.
LRESULT CALLBACK edit_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto edit_proc = reinterpret_cast<WNDPROC>(GetPropA(box, kEditProcProperty));
  if (message == WM_GETDLGCODE) {
    const auto* key = reinterpret_cast<const MSG*>(lparam);
    const bool enter = key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
    return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL | (enter ? DLGC_WANTMESSAGE : 0);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc));
    RemovePropA(box, kEditProcProperty);
  }
  return CallWindowProcA(edit_proc, box, message, wparam, lparam);
}

void handle_keys_of_box(HWND box) {
  const LONG_PTR edit_proc =
      SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_box_proc));
  SetPropA(box, kEditProcProperty, reinterpret_cast<HANDLE>(edit_proc));
}

// Created at its place at 96 DPI; lay_out_panel() scales it.
HWND create_control(HWND parent, const ControlSpec& entry) {
  const HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id));
  return CreateWindowExA(0, class_of(entry.kind), entry.text, style_of(entry), entry.x, entry.y,
                         entry.width, entry.height, parent, id, nullptr, nullptr);
}

// The controls in their places and with the message font at panel.dpi.
void lay_out_panel(Win32PanelWindow& panel) {
  const HFONT font = create_message_font(panel.dpi);
  const auto controls = panel_controls();
  for (std::size_t i = 0; i < panel.controls.size(); ++i) {
    const ControlSpec place = scaled_for_dpi(controls[i], panel.dpi);
    MoveWindow(panel.controls[i], place.x, place.y, place.width, place.height, FALSE);
    if (font != nullptr)
      SendMessageA(panel.controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (font == nullptr) return;
  if (panel.font != nullptr) DeleteObject(panel.font);
  panel.font = font;
}

// Keeps every control for the layout, and apart the handles the panel
// addresses again: the boxes and the bars.
void build_panel(HWND parent, Win32PanelWindow& panel) {
  for (const ControlSpec& entry : panel_controls()) {
    const HWND control = create_control(parent, entry);
    panel.controls.push_back(control);
    const auto slot = static_cast<std::size_t>(entry.slot);
    if (entry.kind == ControlKind::edit) {
      handle_keys_of_box(control);
      panel.boxes[slot] = control;
    } else if (entry.kind == ControlKind::scroll_bar) {
      SetScrollRange(control, SB_CTL, kScrollRangeMin, kScrollRangeMax, FALSE);
      panel.bars[slot] = control;
    } else if (entry.kind == ControlKind::radio && entry.checked) {
      SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
    }
  }
}

LRESULT on_create(HWND window, const CREATESTRUCTA& create) {
  auto* application = static_cast<Application*>(create.lpCreateParams);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(application));
  Win32PanelWindow& panel = application->window;
  panel.main_window = window;
  panel.dpi = dpi_of_window(window);
  build_panel(window, panel);
  lay_out_panel(panel);
  // The outer size is given for 96 DPI; at another the window is scaled too.
  if (panel.dpi != kBaseDpi) {
    SetWindowPos(window, nullptr, 0, 0, scale_for_dpi(kWindowWidth, panel.dpi),
                 scale_for_dpi(kWindowHeight, panel.dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  initialize_panel(application->generator);
  return 0;
}

// The window moved to a display of another scale: it takes the place
// Windows suggests and lays its panel out again.
LRESULT on_dpi_changed(HWND window, Win32PanelWindow& panel, WPARAM wparam, LPARAM lparam) {
  panel.dpi = LOWORD(wparam);
  const auto* suggested = reinterpret_cast<const RECT*>(lparam);
  SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  lay_out_panel(panel);
  InvalidateRect(window, nullptr, TRUE);
  return 0;
}

// Lays out the scroll bars for the client width; draws nothing itself.
LRESULT on_paint(HWND window, const Win32PanelWindow& panel) {
  PAINTSTRUCT paint{};
  BeginPaint(window, &paint);
  RECT client{};
  GetClientRect(window, &client);
  const std::array<Rect, 3> rects = scroll_bar_rects(client.right - client.left, panel.dpi);
  for (std::size_t bar = 0; bar < rects.size(); ++bar) {
    const Rect& rect = rects[bar];
    MoveWindow(panel.bars[bar], rect.x, rect.y, rect.width, rect.height, TRUE);
  }
  EndPaint(window, &paint);
  return 0;
}

ScrollSource scroll_source(const Win32PanelWindow& panel, HWND bar) {
  if (bar == nullptr) return ScrollSource::none;
  if (bar == panel.bars[static_cast<std::size_t>(Bar::frequency)]) return ScrollSource::frequency;
  if (bar == panel.bars[static_cast<std::size_t>(Bar::left_level)]) return ScrollSource::left_level;
  if (bar == panel.bars[static_cast<std::size_t>(Bar::right_level)]) {
    return ScrollSource::right_level;
  }
  return ScrollSource::none;
}

LRESULT on_horizontal_scroll(Application& application, WPARAM wparam, LPARAM lparam) {
  const ScrollSource source = scroll_source(application.window, reinterpret_cast<HWND>(lparam));
  route_horizontal_scroll(application.generator, source, LOWORD(wparam), HIWORD(wparam));
  return 0;
}

LRESULT on_device_message(Application& application, UINT message, LPARAM lparam) {
  WaveHeader* header = nullptr;
  if (message == MM_WOM_DONE) {
    header = application.wave_out.header_for_done(static_cast<std::uintptr_t>(lparam));
  }
  route_device_message(application.generator, message, header);
  return 0;
}

LRESULT on_destroy(Application& application) {
  on_main_window_destroyed(application.generator);
  if (application.window.font != nullptr) DeleteObject(application.window.font);
  application.window.font = nullptr;
  PostQuitMessage(0);
  return 0;
}

// The messages that need the application, once WM_CREATE has stored it.
LRESULT dispatch(Application& application, HWND window, UINT message, WPARAM wparam,
                 LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      return on_paint(window, application.window);
    case WM_COMMAND:
      if (route_command(application.generator, LOWORD(wparam), HIWORD(wparam)) ==
          CommandResult::handled) {
        return 0;
      }
      break;
    case WM_HSCROLL:
      return on_horizontal_scroll(application, wparam, lparam);
    case MM_WOM_OPEN:
    case MM_WOM_CLOSE:
    case MM_WOM_DONE:
      return on_device_message(application, message, lparam);
    case WM_DPICHANGED:
      return on_dpi_changed(window, application.window, wparam, lparam);
    case kWmPostedTask:
      run_posted_task(lparam);
      return 0;
    case WM_DESTROY:
      return on_destroy(application);
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    return on_create(window, *reinterpret_cast<const CREATESTRUCTA*>(lparam));
  }
  Application* application = application_of(window);
  if (application == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return dispatch(*application, window, message, wparam, lparam);
}

void register_main_window_class(HINSTANCE instance) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = main_window_proc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, kIconName);
  window_class.hIconSm =
      static_cast<HICON>(LoadImageA(instance, kIconName, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClassName;
  RegisterClassExA(&window_class);
}

HMENU build_main_menu() {
  const HMENU file_menu = CreatePopupMenu();
  for (const MenuItemSpec& item : file_menu_items()) {
    AppendMenuA(file_menu, MF_STRING, static_cast<UINT_PTR>(item.id), item.text);
  }
  const HMENU menu_bar = CreateMenu();
  AppendMenuA(menu_bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file_menu), kFileMenuTitle);
  return menu_bar;
}

HWND create_main_window(HINSTANCE instance, HMENU menu, Application& application) {
  return CreateWindowExA(kMainWindowExStyle, kWindowClassName, kWindowTitle, WS_OVERLAPPEDWINDOW,
                         CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth, kWindowHeight, nullptr, menu,
                         instance, &application);
}

}  // namespace tq

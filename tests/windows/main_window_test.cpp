// The main window created in this process, hidden: WM_DPICHANGED takes the
// suggested rectangle and lays the panel out again at the new scale, with
// the message font of that scale.
#include "platform/win32/main_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <tuple>

namespace tq {
namespace {

using Place = std::tuple<long, long, long, long>;  // x, y, width, height

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    register_main_window_class(instance);  // fails harmlessly once registered
    window_ = create_main_window(instance, build_main_menu(), *application_);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(window_);
    MSG quit{};  // the one WM_DESTROY posts
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }

  void change_dpi(int dpi, RECT suggested) {
    SendMessageA(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    SendMessageA(window_, WM_PAINT, 0, 0);  // places the scroll bars
  }

  // The control's place in the client area.
  Place place_of(HWND control) const {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  }
  Place place_of_id(int id) const { return place_of(GetDlgItem(window_, id)); }
  Place place_of_bar(Bar bar) const {
    return place_of(application_->window.bars[static_cast<std::size_t>(bar)]);
  }

  long client_width() const {
    RECT client{};
    GetClientRect(window_, &client);
    return client.right;
  }

  // The height of the font the control draws with.
  long font_height(int id) const {
    const auto font =
        reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(window_, id), WM_GETFONT, 0, 0));
    LOGFONTA description{};
    if (font == nullptr || GetObjectA(font, sizeof description, &description) == 0) return 0;
    return std::labs(description.lfHeight);
  }

  std::unique_ptr<Application> application_ = std::make_unique<Application>();
  HWND window_ = nullptr;
};

TEST_F(MainWindowTest, DpiChangeTakesTheSuggestedRectangleAndScalesThePanel) {
  change_dpi(144, {10, 20, 910, 440});
  RECT outer{};
  GetWindowRect(window_, &outer);
  EXPECT_EQ(std::tie(outer.left, outer.top, outer.right, outer.bottom),
            std::tuple(10L, 20L, 910L, 440L));
  EXPECT_EQ(place_of_id(50), Place(30, 30, 80, 30));     // frequency box
  EXPECT_EQ(place_of_id(54), Place(399, 150, 159, 45));  // left Sawtooth
  EXPECT_EQ(place_of_bar(Bar::frequency), Place(150, 45, client_width() - 180, 30));
  EXPECT_EQ(place_of_bar(Bar::right_level), Place(150, 240, client_width() - 180, 30));
  const long height_at_144 = font_height(50);

  change_dpi(96, {10, 20, 610, 300});
  EXPECT_EQ(place_of_id(50), Place(20, 20, 53, 20));
  EXPECT_EQ(place_of_id(54), Place(266, 100, 106, 30));
  EXPECT_EQ(place_of_bar(Bar::left_level), Place(100, 80, client_width() - 120, 20));
  // The message font, grown with the scale (its height rounded by Windows).
  const long height_at_96 = font_height(50);
  ASSERT_GT(height_at_96, 0);
  EXPECT_NEAR(static_cast<double>(height_at_144), height_at_96 * 1.5, 1.0);
  EXPECT_EQ(font_height(54), height_at_96);
}

}  // namespace
}  // namespace tq

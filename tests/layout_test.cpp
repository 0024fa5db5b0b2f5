#include "panel/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace tq {
namespace {

using K = ControlKind;

// kind, text, x, y, width, height, id, slot, accessible name ("" for none)
using Row = std::tuple<K, std::string, int, int, int, int, int, int, std::string>;

Row row_of(const ControlSpec& c) {
  return {c.kind, c.text,  c.x,
          c.y,    c.width, c.height,
          c.id,   c.slot,  c.accessible_name ? c.accessible_name : ""};
}

// Every control in creation order; each section is followed by its buttons,
// Sine first, starting the group and checked.
TEST(PanelLayout, ControlsInCreationOrder) {
  std::vector<Row> expected = {
      {K::background, "", 0, 0, 10000, 10000, 0, -1, ""},
      {K::label, "Frequency", 100, 0, 100, 20, 0, -1, ""},
      {K::label, "Hz", 75, 20, 20, 20, 0, -1, ""},
      {K::edit, "", 20, 20, 53, 20, 50, 0, "Frequency"},
      {K::scroll_bar, "", 0, 0, 0, 0, 0, 0, "Frequency bar"},
  };
  // text, x, width, left id, right id
  const std::tuple<const char*, int, int, int, int> buttons[] = {
      {"Sine", 20, 58, 52, 57},       {"Triangle", 78, 106, 61, 62}, {"Square", 184, 82, 53, 58},
      {"Sawtooth", 266, 106, 54, 59}, {"Pulse", 372, 70, 55, 60},    {"White", 442, 70, 65, 66},
      {"Pink", 512, 58, 67, 68},
  };
  for (const int channel : {0, 1}) {
    const std::string side = channel == 0 ? "Left" : "Right";
    const int y = channel == 0 ? 60 : 140;
    expected.push_back({K::label, side + " Amplitude", 100, y, 200, 20, 0, -1, ""});
    expected.push_back({K::label, "dB", 75, y + 20, 20, 20, 0, -1, ""});
    expected.push_back(
        {K::edit, "", 20, y + 20, 53, 20, channel ? 56 : 51, channel + 1, side + " level"});
    expected.push_back({K::scroll_bar, "", 0, y + 20, 0, 0, 0, channel + 1, side + " level bar"});
    for (const auto& [text, x, width, left_id, right_id] : buttons) {
      expected.push_back({K::radio, text, x, y + 40, width, 30, channel ? right_id : left_id,
                          channel, side + " " + text});
    }
  }
  EXPECT_EQ(waveform_button_width("Sawtooth"), 106);
  const auto controls = panel_controls();
  ASSERT_EQ(controls.size(), expected.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(row_of(controls[i]), expected[i]) << i;
    const bool first_button = std::get<1>(expected[i]) == "Sine";
    EXPECT_EQ(controls[i].group_start, first_button) << i;
    EXPECT_EQ(controls[i].checked, first_button) << i;
  }
}

TEST(MainWindow, FileMenuAndScrollBarRects) {
  std::vector<std::pair<std::string, int>> items;
  for (const MenuItemSpec& item : file_menu_items()) items.emplace_back(item.text, item.id);
  EXPECT_EQ(items, (decltype(items){{"List sound playback devices", 70},
                                    {"Help", 40},
                                    {"About", 41},
                                    {"Visit Varnholt Electronics Website", 72},
                                    {"Exit!", 5}}));
  for (const auto& [client_width, bar_width] :
       {std::pair{584, 464}, {121, 1}, {120, 0}, {-10, 0}}) {
    const auto rects = scroll_bar_rects(client_width);
    const int ys[] = {30, 80, 160};
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(std::tie(rects[i].x, rects[i].y, rects[i].width, rects[i].height),
                std::tuple(100, ys[i], bar_width, 20))
          << client_width;
    }
  }
}

// At 96 DPI nothing moves; at 120 and 144 every figure grows by dpi / 96,
// rounded to the nearest pixel (half away from zero).
TEST(PanelLayout, ScaledForDpi) {
  for (const auto& [value, dpi, scaled] : {std::tuple{600, 96, 600},
                                           {600, 144, 900},
                                           {280, 144, 420},
                                           {53, 144, 80},
                                           {75, 144, 113},
                                           {25, 120, 31},
                                           {10, 120, 13},
                                           {-10, 120, -13},
                                           {0, 192, 0}}) {
    EXPECT_EQ(scale_for_dpi(value, dpi), scaled) << value << " at " << dpi;
  }
  const ControlSpec sawtooth = panel_controls()[12];
  const ControlSpec at_144 = scaled_for_dpi(sawtooth, 144);
  EXPECT_EQ(std::tie(at_144.x, at_144.y, at_144.width, at_144.height),
            std::tuple(399, 150, 159, 45));
  EXPECT_EQ(at_144.id, sawtooth.id);
  for (const auto& [client_width, dpi, bar_width] :
       {std::tuple{584, 96, 464}, {890, 144, 710}, {100, 144, 0}}) {
    const auto rects = scroll_bar_rects(client_width, dpi);
    const int ys[] = {30, 80, 160};
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(std::tie(rects[i].x, rects[i].y, rects[i].width, rects[i].height),
                std::tuple(scale_for_dpi(100, dpi), scale_for_dpi(ys[i], dpi), bar_width,
                           scale_for_dpi(20, dpi)))
          << client_width << " at " << dpi;
    }
  }
}

}  // namespace
}  // namespace tq

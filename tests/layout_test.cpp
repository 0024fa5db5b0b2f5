#include "panel/layout.h"

#include <gtest/gtest.h>

#include <string>

#include "panel/routing.h"
#include "synth/waveform.h"

namespace tq {
namespace {

using K = ControlKind;

void expect_control(const ControlSpec& c, K kind, const std::string& text,
                    std::array<int, 6> x_y_width_height_id_slot, const char* name) {
  EXPECT_EQ(c.kind, kind) << text;
  EXPECT_EQ(c.text, text);
  EXPECT_EQ((std::array<int, 6>{c.x, c.y, c.width, c.height, c.id, c.slot}),
            x_y_width_height_id_slot)
      << text;
  EXPECT_EQ(std::string(c.accessible_name ? c.accessible_name : "-"), name ? name : "-") << text;
}

// Every control in creation order; each section is followed by its buttons.
TEST(PanelLayout, ControlsInCreationOrder) {
  const auto controls = panel_controls();
  ASSERT_EQ(controls.size(), 27u);
  expect_control(controls[0], K::background, "", {0, 0, 10000, 10000, 0, -1}, nullptr);
  expect_control(controls[1], K::label, "Frequency", {100, 0, 100, 20, 0, -1}, nullptr);
  expect_control(controls[2], K::label, "Hz", {75, 20, 20, 20, 0, -1}, nullptr);
  expect_control(controls[3], K::edit, "", {20, 20, 53, 20, 50, 0}, "Frequency");
  expect_control(controls[4], K::scroll_bar, "", {0, 0, 0, 0, 0, 0}, "Frequency bar");
  const char* sides[] = {"Left", "Right"};
  const char* buttons[] = {"Sine", "Triangle", "Square", "Sawtooth", "Pulse", "White", "Pink"};
  const int x_offsets[] = {20, 78, 184, 266, 372, 442, 512};
  const int widths[] = {58, 106, 82, 106, 70, 70, 58};
  const int ids[2][7] = {{52, 61, 53, 54, 55, 65, 67}, {57, 62, 58, 59, 60, 66, 68}};
  const WaveformKind kinds[] = {kSine,  kTriangle,   kSquare,   kSawtooth,
                                kPulse, kWhiteNoise, kPinkNoise};
  for (int channel = 0; channel < 2; ++channel) {
    const std::size_t first = 5 + 11 * static_cast<std::size_t>(channel);
    const int y = channel == 0 ? 60 : 140;
    const std::string side = sides[channel];
    expect_control(controls[first], K::label, side + " Amplitude", {100, y, 200, 20, 0, -1},
                   nullptr);
    expect_control(controls[first + 1], K::label, "dB", {75, y + 20, 20, 20, 0, -1}, nullptr);
    expect_control(controls[first + 2], K::edit, "",
                   {20, y + 20, 53, 20, channel ? 56 : 51, channel + 1}, (side + " level").c_str());
    expect_control(controls[first + 3], K::scroll_bar, "", {0, y + 20, 0, 0, 0, channel + 1},
                   (side + " level bar").c_str());
    for (std::size_t n = 0; n < 7; ++n) {
      const ControlSpec& button = controls[first + 4 + n];
      expect_control(button, K::radio, buttons[n],
                     {x_offsets[n], y + 40, widths[n], 30, ids[channel][n], channel},
                     (side + " " + buttons[n]).c_str());
      EXPECT_EQ(button.width, waveform_button_width(button.text));
      EXPECT_EQ(button.group_start, n == 0);
      EXPECT_EQ(button.checked, n == 0);
      // The routing stores the waveform the button's text names.
      int routed_channel = -1;
      int routed_kind = -1;
      ASSERT_TRUE(waveform_for_id(button.id, &routed_channel, &routed_kind));
      EXPECT_EQ(routed_channel, channel);
      EXPECT_EQ(routed_kind, kinds[n]) << button.id;
    }
  }
}

TEST(MainWindow, FileMenuAndScrollBarRects) {
  const auto items = file_menu_items();
  const std::pair<std::string, int> expected[] = {{"List sound playback devices", 70},
                                                  {"Help", 40},
                                                  {"About", 41},
                                                  {"Visit Varnholt Electronics Website", 72},
                                                  {"Exit!", 5}};
  ASSERT_EQ(items.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(std::make_pair(std::string(items[i].text), items[i].id), expected[i]);
  }
  const std::pair<int, int> widths[] = {{584, 464}, {121, 1}, {120, 0}, {-10, 0}};
  for (const auto& [client_width, bar_width] : widths) {
    const auto rects = scroll_bar_rects(client_width);
    const int ys[] = {30, 80, 160};
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ((std::array<int, 4>{rects[i].x, rects[i].y, rects[i].width, rects[i].height}),
                (std::array<int, 4>{100, ys[i], bar_width, 20}))
          << client_width;
    }
  }
}

}  // namespace
}  // namespace tq

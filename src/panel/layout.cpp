#include "panel/layout.h"

#include <algorithm>
#include <string_view>

namespace tq {

namespace {

constexpr int kNoSlot = -1;
constexpr int kLabelHeight = kControlHeight;
constexpr int kEditWidth = 53;
constexpr int kBackgroundSize = 10000;
constexpr int kScrollBarInset = 120;  // client width minus this is a bar's width
constexpr int kScrollBarX = 100;
constexpr int kFrequencyBarY = 30;
constexpr int kLeftSectionY = 3 * kRowPitch;
constexpr int kRightSectionY = 7 * kRowPitch;
constexpr int kSectionX = 0;
constexpr int kWaveformsPerChannel = 7;
constexpr int kControlsPerSection = 4 + kWaveformsPerChannel;
constexpr int kControlCount = 5 + 2 * kControlsPerSection;

constexpr int button_width(std::string_view text) {
  return 12 * static_cast<int>(text.size()) + 10;
}

struct WaveformButton {
  const char* text;
  const char* left_name;
  const char* right_name;
};

// Left to right, as the buttons stand in each row.
constexpr std::array<WaveformButton, kWaveformsPerChannel> kWaveformButtons{{
    {"Sine", "Left Sine", "Right Sine"},
    {"Triangle", "Left Triangle", "Right Triangle"},
    {"Square", "Left Square", "Right Square"},
    {"Sawtooth", "Left Sawtooth", "Right Sawtooth"},
    {"Pulse", "Left Pulse", "Right Pulse"},
    {"White", "Left White", "Right White"},
    {"Pink", "Left Pink", "Right Pink"},
}};

struct SectionSpec {
  const char* title;
  int y;
  int edit_id;
  std::array<int, kWaveformsPerChannel> radio_ids;  // in row order
  int channel;
  Box box;
  Bar bar;
  const char* box_name;
  const char* bar_name;
};

constexpr SectionSpec kLeftSection{"Left Amplitude",
                                   kLeftSectionY,
                                   51,
                                   {52, 61, 53, 54, 55, 65, 67},
                                   0,
                                   Box::left_level,
                                   Bar::left_level,
                                   "Left level",
                                   "Left level bar"};
constexpr SectionSpec kRightSection{"Right Amplitude",
                                    kRightSectionY,
                                    56,
                                    {57, 62, 58, 59, 60, 66, 68},
                                    1,
                                    Box::right_level,
                                    Bar::right_level,
                                    "Right level",
                                    "Right level bar"};

constexpr ControlSpec label(const char* text, int x, int y, int width) {
  return {ControlKind::label, text, x, y, width, kLabelHeight, 0, false, false, kNoSlot, nullptr};
}

constexpr ControlSpec edit(int x, int y, int id, Box box, const char* name) {
  return {ControlKind::edit,     "",  x, y, kEditWidth, kControlHeight, id, false, false,
          static_cast<int>(box), name};
}

// Scroll bars start with no size: scroll_bar_rects places them.
constexpr ControlSpec scroll_bar(int x, int y, Bar bar, const char* name) {
  return {ControlKind::scroll_bar, "", x, y, 0, 0, 0, false, false, static_cast<int>(bar), name};
}

template <std::size_t N>
constexpr void add_section(std::array<ControlSpec, N>& controls, std::size_t& next,
                           const SectionSpec& section) {
  const int x = kSectionX;
  const int y = section.y;
  controls[next++] = label(section.title, x + 100, y, 200);
  controls[next++] = label("dB", x + 75, y + kRowPitch, 20);
  controls[next++] = edit(x + 20, y + kRowPitch, section.edit_id, section.box, section.box_name);
  controls[next++] = scroll_bar(x, y + kRowPitch, section.bar, section.bar_name);
  int button_x = x + 20;
  for (std::size_t i = 0; i < kWaveformButtons.size(); ++i) {
    const WaveformButton& button = kWaveformButtons[i];
    const int width = button_width(button.text);
    const bool first = i == 0;  // Sine starts the group and is checked
    controls[next++] = {ControlKind::radio,
                        button.text,
                        button_x,
                        y + 2 * kRowPitch,
                        width,
                        kRadioHeight,
                        section.radio_ids[i],
                        first,
                        first,
                        section.channel,
                        section.channel == 0 ? button.left_name : button.right_name};
    button_x += width;
  }
}

constexpr std::array<ControlSpec, kControlCount> build_panel_controls() {
  std::array<ControlSpec, kControlCount> controls{};
  std::size_t next = 0;
  controls[next++] = {ControlKind::background,
                      "",
                      0,
                      0,
                      kBackgroundSize,
                      kBackgroundSize,
                      0,
                      false,
                      false,
                      kNoSlot,
                      nullptr};
  controls[next++] = label("Frequency", 100, 0, 100);
  controls[next++] = label("Hz", 75, kRowPitch, 20);
  controls[next++] = edit(20, kRowPitch, 50, Box::frequency, "Frequency");
  controls[next++] = scroll_bar(0, 0, Bar::frequency, "Frequency bar");
  add_section(controls, next, kLeftSection);
  add_section(controls, next, kRightSection);
  return controls;
}

constexpr std::array<ControlSpec, kControlCount> kPanelControls = build_panel_controls();

constexpr std::array<MenuItemSpec, 5> kFileMenuItems{{
    {"List sound playback devices", 70},
    {"Help", 40},
    {"About", 41},
    {"Visit Varnholt Electronics Website", 72},
    {"Exit!", 5},
}};

}  // namespace

std::span<const ControlSpec> panel_controls() {
  return kPanelControls;
}

std::span<const MenuItemSpec> file_menu_items() {
  return kFileMenuItems;
}

std::array<Rect, 3> scroll_bar_rects(int client_width) {
  // A client area narrower than the inset leaves the bars with no width
  // rather than a negative one.
  const int width = std::max(client_width - kScrollBarInset, 0);
  std::array<Rect, 3> rects{};
  rects[static_cast<std::size_t>(Bar::frequency)] = {kScrollBarX, kFrequencyBarY, width,
                                                     kControlHeight};
  rects[static_cast<std::size_t>(Bar::left_level)] = {
      kSectionX + kScrollBarX, kLeftSectionY + kRowPitch, width, kControlHeight};
  rects[static_cast<std::size_t>(Bar::right_level)] = {
      kSectionX + kScrollBarX, kRightSectionY + kRowPitch, width, kControlHeight};
  return rects;
}

int waveform_button_width(const char* text) {
  return button_width(text);
}

}  // namespace tq

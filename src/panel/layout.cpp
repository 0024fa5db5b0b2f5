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

constexpr SectionSpec kLeftSection{.title = "Left Amplitude",
                                   .y = kLeftSectionY,
                                   .edit_id = 51,
                                   .radio_ids = {52, 61, 53, 54, 55, 65, 67},
                                   .channel = 0,
                                   .box = Box::left_level,
                                   .bar = Bar::left_level,
                                   .box_name = "Left level",
                                   .bar_name = "Left level bar"};
constexpr SectionSpec kRightSection{.title = "Right Amplitude",
                                    .y = kRightSectionY,
                                    .edit_id = 56,
                                    .radio_ids = {57, 62, 58, 59, 60, 66, 68},
                                    .channel = 1,
                                    .box = Box::right_level,
                                    .bar = Bar::right_level,
                                    .box_name = "Right level",
                                    .bar_name = "Right level bar"};

// A control with no id, slot or accessible name, as the static ones are.
constexpr ControlSpec plain(ControlKind kind, const char* text, int x, int y, int width,
                            int height) {
  return {.kind = kind,
          .text = text,
          .x = x,
          .y = y,
          .width = width,
          .height = height,
          .id = 0,
          .group_start = false,
          .checked = false,
          .slot = kNoSlot,
          .accessible_name = nullptr};
}

constexpr ControlSpec label(const char* text, int x, int y, int width) {
  return plain(ControlKind::label, text, x, y, width, kLabelHeight);
}

constexpr ControlSpec edit(int x, int y, int id, Box box, const char* name) {
  ControlSpec entry = plain(ControlKind::edit, "", x, y, kEditWidth, kControlHeight);
  entry.id = id;
  entry.slot = static_cast<int>(box);
  entry.accessible_name = name;
  return entry;
}

// Scroll bars start with no size: scroll_bar_rects places them.
constexpr ControlSpec scroll_bar(int x, int y, Bar bar, const char* name) {
  ControlSpec entry = plain(ControlKind::scroll_bar, "", x, y, 0, 0);
  entry.slot = static_cast<int>(bar);
  entry.accessible_name = name;
  return entry;
}

// Sine, the first of a row, starts the radio group and is checked.
constexpr ControlSpec radio(const WaveformButton& button, int x, int y, int id, bool first,
                            int channel) {
  ControlSpec entry =
      plain(ControlKind::radio, button.text, x, y, button_width(button.text), kRadioHeight);
  entry.id = id;
  entry.group_start = first;
  entry.checked = first;
  entry.slot = channel;
  entry.accessible_name = channel == 0 ? button.left_name : button.right_name;
  return entry;
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
  int button_x = x + 20;  // each button starts where the previous one ends
  for (std::size_t i = 0; i < kWaveformButtons.size(); ++i) {
    controls[next] = radio(kWaveformButtons[i], button_x, y + 2 * kRowPitch, section.radio_ids[i],
                           i == 0, section.channel);
    button_x += controls[next++].width;
  }
}

constexpr std::array<ControlSpec, kControlCount> build_panel_controls() {
  std::array<ControlSpec, kControlCount> controls{};
  std::size_t next = 0;
  // The background gives the panel its colour: the class has no brush.
  controls[next++] = plain(ControlKind::background, "", 0, 0, kBackgroundSize, kBackgroundSize);
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
  return scroll_bar_rects(client_width, kBaseDpi);
}

std::array<Rect, 3> scroll_bar_rects(int client_width, int dpi) {
  const auto scale = [dpi](int value) { return scale_for_dpi(value, dpi); };
  // A client area narrower than the inset leaves the bars with no width
  // rather than a negative one.
  const int width = std::max(client_width - scale(kScrollBarInset), 0);
  const int height = scale(kControlHeight);
  const int x = scale(kSectionX + kScrollBarX);
  std::array<Rect, 3> rects{};
  rects[static_cast<std::size_t>(Bar::frequency)] = {scale(kScrollBarX), scale(kFrequencyBarY),
                                                     width, height};
  rects[static_cast<std::size_t>(Bar::left_level)] = {x, scale(kLeftSectionY + kRowPitch), width,
                                                      height};
  rects[static_cast<std::size_t>(Bar::right_level)] = {x, scale(kRightSectionY + kRowPitch), width,
                                                       height};
  return rects;
}

int scale_for_dpi(int value, int dpi) {
  // Rounded half away from zero, in 64 bits: MulDiv's rule.
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi : (product - half) / kBaseDpi);
}

ControlSpec scaled_for_dpi(const ControlSpec& control, int dpi) {
  ControlSpec scaled = control;
  scaled.x = scale_for_dpi(control.x, dpi);
  scaled.y = scale_for_dpi(control.y, dpi);
  scaled.width = scale_for_dpi(control.width, dpi);
  scaled.height = scale_for_dpi(control.height, dpi);
  return scaled;
}

int waveform_button_width(const char* text) {
  return button_width(text);
}

}  // namespace tq

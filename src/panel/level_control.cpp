#include "panel/level_control.h"

#include <cstddef>
#include <optional>

#include "audio/output_level.h"
#include "panel/panel_controls.h"
#include "panel/scroll_codes.h"
#include "synth/numeric.h"
#include "synth/text_exchange.h"

namespace tq {

namespace {

constexpr double kPositionsPerDb = 5.1;
constexpr double kTopPosition = 255.0;  // 0 dB
constexpr double kStepDb = 1.0;

// Channel 0 is the left one; any other index is the right one.
std::size_t channel_slot(int channel) {
  return channel == 0 ? 0 : 1;
}
Box level_box(std::size_t slot) {
  return slot == 0 ? Box::left_level : Box::right_level;
}
Bar level_bar(std::size_t slot) {
  return slot == 0 ? Bar::left_level : Bar::right_level;
}

// A thumb position (16 bits) as a whole number of dB, truncated toward zero.
double thumb_level(int thumb_position) {
  const int position = thumb_position & 0xFFFF;
  return truncate_to_int32((position - kTopPosition) / kPositionsPerDb);
}

double stepped_level(double level_db, int code, int thumb_position) {
  return scrolled_value(level_db, kStepDb, code, thumb_level(thumb_position));
}

// Shows the channel's level on its bar and in its box and sets the device
// volume from both levels.
void show_and_apply_level(const PanelSettings& panel, WaveOutService& wave_out,
                          PanelControls& controls, std::size_t slot) {
  const double level = panel.level_db[slot];
  controls.set_bar_position(level_bar(slot), level_to_position(level));
  controls.set_box_text(level_box(slot), format_g(level));
  apply_output_levels(wave_out, panel.level_db[0], panel.level_db[1]);
  controls.focus_main_window();
}

}  // namespace

int level_to_position(double level_db) {
  return truncate_to_int32(level_db * kPositionsPerDb + kTopPosition);
}

double scrolled_level(double level_db, int code, int thumb_position) {
  const double level = stepped_level(level_db, code, thumb_position);
  if (level > kMaxLevel) return kMaxLevel;
  if (!(level >= kMinScrollLevel)) return kMinScrollLevel;  // NaN too
  return level;
}

double clamped_entry_level(double level_db) {
  if (level_db > kMaxLevel) return kMaxLevel;
  if (!(level_db >= kMinEntryLevel)) return kMinEntryLevel;  // NaN too
  return level_db;
}

void on_level_scroll(PanelSettings& panel, WaveOutService& wave_out, PanelControls& controls,
                     int channel, int code, int thumb_position) {
  const std::size_t slot = channel_slot(channel);
  double& level = panel.level_db[slot];
  level = scrolled_level(level, code, thumb_position);
  show_and_apply_level(panel, wave_out, controls, slot);
}

void on_level_entry(PanelSettings& panel, WaveOutService& wave_out, PanelControls& controls,
                    int channel, int notification) {
  if (notification != kEnMaxText) return;
  const std::size_t slot = channel_slot(channel);
  double& level = panel.level_db[slot];
  // Text that is no number keeps the level, which is clamped all the same.
  const std::optional<double> typed = scan_lg(read_box(controls, level_box(slot)));
  level = clamped_entry_level(typed.value_or(level));
  controls.set_box_text(level_box(slot), format_g(level));
  controls.set_bar_position(level_bar(slot), level_to_position(level));
  apply_output_levels(wave_out, panel.level_db[0], panel.level_db[1]);
  controls.focus_main_window();
}

void on_waveform_selected(StereoChannels& channels, PanelControls& controls, int channel,
                          WaveformKind kind) {
  channels[channel_slot(channel)].waveform = kind;
  controls.focus_main_window();
}

}  // namespace tq

#include "app/routing.h"

#include <array>
#include <string>

#include "app/generator.h"
#include "audio/output_stream.h"
#include "info/device_report.h"
#include "info/info_commands.h"
#include "info/message_boxes.h"
#include "panel/frequency_control.h"
#include "panel/level_control.h"
#include "synth/waveform.h"

namespace tq {

namespace {

struct RadioId {
  int id;
  int channel;
  WaveformKind kind;
};

constexpr std::array<RadioId, 14> kRadioIds{{
    {52, 0, kSine},
    {53, 0, kSquare},
    {54, 0, kSawtooth},
    {55, 0, kPulse},
    {61, 0, kTriangle},
    {65, 0, kWhiteNoise},
    {67, 0, kPinkNoise},
    {57, 1, kSine},
    {58, 1, kSquare},
    {59, 1, kSawtooth},
    {60, 1, kPulse},
    {62, 1, kTriangle},
    {66, 1, kWhiteNoise},
    {68, 1, kPinkNoise},
}};

// The commands that are neither a box nor a radio button.
bool run_menu_command(Generator& generator, int id) {
  switch (id) {
    case kCmdExit:
      generator.window.request_close();
      return true;
    case kCmdHelp:
      show_help_box(generator.window);
      return true;
    case kCmdAbout:
      show_about_box(generator.window);
      return true;
    case kCmdTimingReport:
      show_timing_report(generator.window, generator.window, generator.stream.waveoutproctime,
                         generator.start_tick);
      return true;
    case kCmdDeviceReport:
      start_device_report(generator.report, generator.wave_out, generator.window);
      return true;
    case kCmdProductPage:
      open_product_page(generator.window);
      return true;
    default:
      return false;
  }
}

// The boxes; the notification code decides inside the handlers.
bool run_box_command(Generator& generator, int id, int notification) {
  switch (id) {
    case kIdFrequencyBox:
      on_frequency_entry(generator.panel, generator.signal.channels, generator.window,
                         notification);
      return true;
    case kIdLeftLevelBox:
      on_level_entry(generator.panel, generator.wave_out, generator.window, 0, notification);
      return true;
    case kIdRightLevelBox:
      on_level_entry(generator.panel, generator.wave_out, generator.window, 1, notification);
      return true;
    default:
      return false;
  }
}

// A radio button sets its waveform whatever the notification code.
bool run_radio_command(Generator& generator, int id) {
  int channel = 0;
  int kind = 0;
  if (!waveform_for_id(id, &channel, &kind)) return false;
  on_waveform_selected(generator.signal.channels, generator.window, channel, kind);
  return true;
}

}  // namespace

CommandResult route_command(Generator& generator, int id, int notification) {
  const int control_id = id & 0xFFFF;
  if (run_menu_command(generator, control_id) ||
      run_box_command(generator, control_id, notification) ||
      run_radio_command(generator, control_id)) {
    return CommandResult::handled;
  }
  return CommandResult::pass_to_default;
}

void route_horizontal_scroll(Generator& generator, ScrollSource source, int code,
                             int thumb_position) {
  switch (source) {
    case ScrollSource::frequency:
      on_frequency_scroll(generator.panel, generator.signal.channels, generator.window, code,
                          thumb_position);
      break;
    case ScrollSource::left_level:
      on_level_scroll(generator.panel, generator.wave_out, generator.window, 0, code,
                      thumb_position);
      break;
    case ScrollSource::right_level:
      on_level_scroll(generator.panel, generator.wave_out, generator.window, 1, code,
                      thumb_position);
      break;
    case ScrollSource::none:
      break;
  }
  // Every horizontal scroll event ends with both channels at the panel
  // frequency, also one from a level bar or from no known bar.
  copy_frequency_to_channels(generator.panel, generator.signal.channels);
}

void route_device_message(Generator& generator, std::uint32_t message, WaveHeader* header) {
  if (message == kDeviceLost) {
    // One box says it; a loss while it is still open adds none.
    if (!generator.window.message_box_open(kDeviceLostNotice)) {
      show_notice_box(generator.window, kDeviceLostNotice);
    }
    return;
  }
  // Back: the service plays the queued buffers on; nothing to show.
  if (message != kMmWomOpen && message != kMmWomClose && message != kMmWomDone) return;
  // Only a DONE names a buffer.
  WaveHeader* returned = message == kMmWomDone ? header : nullptr;
  const std::string notice = on_stream_message(
      generator.stream, generator.wave_out, generator.signal, generator.window, message, returned);
  if (!notice.empty()) show_notice_box(generator.window, notice);
}

bool waveform_for_id(int id, int* channel, int* kind) {
  for (const RadioId& radio : kRadioIds) {
    if (radio.id != id) continue;
    *channel = radio.channel;
    *kind = radio.kind;
    return true;
  }
  return false;
}

}  // namespace tq

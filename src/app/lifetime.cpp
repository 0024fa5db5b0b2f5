#include "app/lifetime.h"

#include <cmath>
#include <optional>

#include "app/generator.h"
#include "app/panel_window.h"
#include "audio/output_stream.h"
#include "info/message_boxes.h"
#include "panel/frequency_control.h"
#include "synth/text_exchange.h"
#include "synth/waveform.h"

namespace tq {

namespace {

constexpr int kLevelBarStart = 0;
constexpr std::uint32_t kSilentVolume = 0;

// The frequency box shows the panel frequency and is read back into it, so
// the panel starts from exactly what the box shows.
void initialize_frequency(Generator& generator) {
  PanelWindow& window = generator.window;
  window.set_box_text(Box::frequency, format_g(generator.panel.frequency));
  const std::optional<double> shown = scan_lg(read_box(window, Box::frequency));
  if (shown && std::isfinite(*shown)) generator.panel.frequency = *shown;
  window.set_bar_position(Bar::frequency, frequency_to_position(generator.panel.frequency));
}

void initialize_level(Generator& generator, Box box, Bar bar, double level_db) {
  generator.window.set_box_text(box, format_g(level_db));
  generator.window.set_bar_position(bar, kLevelBarStart);
}

}  // namespace

void initialize_panel(Generator& generator) {
  initialize_frequency(generator);
  initialize_level(generator, Box::left_level, Bar::left_level, generator.panel.level_db[0]);
  initialize_level(generator, Box::right_level, Bar::right_level, generator.panel.level_db[1]);
}

void start_generator(Generator& generator, NotifyTarget window) {
  generator.wave_out.set_volume(kOutputDevice, kSilentVolume);
  build_sine_table(generator.signal.sine);
  // With no sound device the panel still works, silently, once the user has
  // been told why.
  const StreamOpening opening = open_output_stream(generator.stream, generator.wave_out, window);
  if (!opening.opened) show_notice_box(generator.window, opening.notice);
  generator.start_tick = generator.window.tick_count();
}

void on_main_window_destroyed(Generator& generator) {
  // No format query may run beside the closing stream.
  stop_device_report(generator.report);
  close_output_stream(generator.stream, generator.wave_out);
}

}  // namespace tq

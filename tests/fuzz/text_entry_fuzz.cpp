// Drives the panel's entry paths with arbitrary input: typed text into the
// three boxes, scroll events with any code and thumb from any source, then
// renders a block at whatever frequency results. Sanitizers catch undefined
// behaviour; the checks below catch values the panel must never hold.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/generator.h"
#include "app/routing.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "panel/frequency_control.h"
#include "panel/level_control.h"
#include "panel/scroll_codes.h"
#include "synth/text_exchange.h"
#include "synth/waveform.h"

namespace {

constexpr int kMaxActions = 64;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return position_ >= size_; }
  std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
  int word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | byte();
    return static_cast<int>(value);
  }
  std::string text() {
    const std::size_t length = byte() % 128;
    std::string result;
    while (result.size() < length && !empty()) result.push_back(static_cast<char>(byte()));
    return result;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

void require(bool condition) {
  if (!condition) std::abort();
}

// Holds after every action: levels stay inside the clamps, the panel
// frequency is a finite number and both channels play it.
void check_state(const tq::Generator& g) {
  for (const double level : g.panel.level_db) require(level >= -99.0 && level <= 0.0);
  require(std::isfinite(g.panel.frequency));
  require(g.signal.channels[0].frequency == g.panel.frequency);
  require(g.signal.channels[1].frequency == g.panel.frequency);
}

void type_into_box(tq::Generator& g, tq::testing::RecordingWindow& window, Input& in) {
  static constexpr tq::Box kBoxes[] = {tq::Box::frequency, tq::Box::left_level,
                                       tq::Box::right_level};
  static constexpr int kIds[] = {tq::kIdFrequencyBox, tq::kIdLeftLevelBox, tq::kIdRightLevelBox};
  const std::size_t box = in.byte() % 3;
  const int notification = (in.byte() & 1) ? tq::kEnMaxText : in.word();
  const std::string typed = in.text();
  window.type(kBoxes[box], typed);
  tq::route_command(g, kIds[box], notification);
  // Whatever parses must come back out of "%g" as a number again.
  if (const auto value = tq::scan_lg(typed)) require(tq::scan_lg(tq::format_g(*value)).has_value());
}

void scroll(tq::Generator& g, Input& in) {
  const auto source = static_cast<tq::ScrollSource>(in.byte() % 4);
  const int code = (in.byte() & 1) ? in.byte() % 10 : in.word();
  const int thumb = in.word();
  tq::route_horizontal_scroll(g, source, code, thumb);
  if (source == tq::ScrollSource::frequency) {
    require(g.panel.frequency >= tq::kMinScrollFrequency);
    require(g.panel.frequency <= tq::kMaxScrollFrequency);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tq::testing::RecordingWaveOut wave_out;
  tq::testing::RecordingWindow window;
  tq::Generator g(wave_out, window);
  tq::build_sine_table(g.signal.sine);
  Input in(data, size);
  for (int action = 0; action < kMaxActions && !in.empty(); ++action) {
    const std::uint8_t choice = in.byte();
    if (choice & 1) {
      type_into_box(g, window, in);
    } else {
      scroll(g, in);
    }
    // Radio ids 52..68, with the two unused ids among them.
    tq::route_command(g, 52 + (choice >> 1) % 17, in.word());
    check_state(g);
  }
  tq::Block block{};
  tq::render_block(block, g.signal.channels, g.signal.sine, g.signal.random);
  return 0;
}

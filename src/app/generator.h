#pragma once
// The generator: every record of the program, owned by the application and
// handed to the handlers. Each test builds a fresh one.

#include <array>
#include <cstdint>

#include "audio/output_stream.h"
#include "synth/waveform.h"

namespace tq {

class WaveOutService;
class PanelWindow;

struct PanelSettings {
  double frequency = 1.0;
  std::array<double, 2> level_db{-50.0, -50.0};
};

struct Generator {
  Generator(WaveOutService& wave_out_service, PanelWindow& panel_window)
      : wave_out(wave_out_service), window(panel_window) {}

  WaveOutService& wave_out;
  PanelWindow& window;
  PanelSettings panel{};
  std::array<ChannelState, 2> channels{};
  SineTable sine{};
  RandomSource random{};
  OutputStream stream{};
  std::uint32_t start_tick = 0;
};

}  // namespace tq

#pragma once
// The generator: every record of the program, owned by the application. The
// handlers below the application each take only the records they use; the
// routing here hands them out. Each test builds a fresh one.

#include <cstdint>

#include "app/panel_window.h"
#include "app/report_worker.h"
#include "audio/output_stream.h"
#include "audio/wave_out.h"
#include "panel/panel_settings.h"
#include "synth/waveform.h"

namespace tq {

struct Generator {
  Generator(WaveOutService& wave_out_service, PanelWindow& panel_window)
      : wave_out(wave_out_service), window(panel_window) {}

  WaveOutService& wave_out;
  PanelWindow& window;
  PanelSettings panel{};
  SignalState signal{};
  OutputStream stream{};
  std::uint32_t start_tick = 0;
  ReportWorker report{};  // last: its thread ends before the records it reads
};

}  // namespace tq

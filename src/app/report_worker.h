#pragma once
// The sound-device report, run beside the window's thread: probing a device
// can take seconds (thousands of format queries), and meanwhile the window's
// thread goes on refilling the stream, so no gap is heard. The finished text
// is shown on the window's thread, exactly as a report run in place would
// show it.

#include <thread>

#include "app/panel_window.h"
#include "audio/wave_out.h"

namespace tq {

struct ReportWorker {
  std::jthread thread;
  bool running = false;  // read and written on the window's thread only
};

// Starts a report unless one is running; a second request while one runs
// starts nothing. The service must take queries from another thread while
// the window's thread plays through it.
void start_device_report(ReportWorker& worker, WaveOutService& wave_out, PanelWindow& window);
// Ends a report still running, waits for its thread, and drops its text.
void stop_device_report(ReportWorker& worker);

}  // namespace tq

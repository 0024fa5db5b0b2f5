#include "app/report_worker.h"

#include <string>
#include <utility>

#include "info/device_report.h"
#include "info/message_boxes.h"

namespace tq {

namespace {

// On the window's thread, once the text is ready. A report stopped since
// then shows nothing.
void show_finished_report(ReportWorker& worker, PanelWindow& window, const std::string& text) {
  if (!worker.running) return;
  worker.running = false;
  // Passed as an argument, so a '%' in a product name is shown as it stands.
  show_text_box(window, "%s", text.c_str(), "");
}

}  // namespace

void start_device_report(ReportWorker& worker, WaveOutService& wave_out, PanelWindow& window) {
  if (worker.running) return;
  // The thread of an earlier report has handed its text over and ends.
  if (worker.thread.joinable()) worker.thread.join();
  worker.running = true;
  worker.thread = std::jthread([&worker, &wave_out, &window](std::stop_token stop) {
    std::string text = device_report_text(wave_out, stop);
    if (stop.stop_requested()) return;
    window.post_to_window(
        [&worker, &window, text = std::move(text)] { show_finished_report(worker, window, text); });
  });
}

void stop_device_report(ReportWorker& worker) {
  worker.thread.request_stop();
  if (worker.thread.joinable()) worker.thread.join();
  worker.running = false;
}

}  // namespace tq

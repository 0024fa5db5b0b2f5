// Times the sound device report over the ALSA wave-out service: the whole
// report text, probe included, as the File menu builds it. Prints the time
// per device of each run and of the best run.
//
// Usage: alsa_report_time [RUNS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "info/device_report.h"
#include "platform/alsa/alsa_wave_out.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  tq::AlsaWaveOut service([](tq::NotifyTarget, std::uint32_t, tq::WaveHeader*) {});
  double best = 1e9;
  std::string report;
  std::uint32_t devices = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    report = tq::device_report_text(service);
    const auto end = std::chrono::steady_clock::now();
    devices = service.device_count();
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    const double per_device = ms / std::max<std::uint32_t>(devices, 1);
    best = std::min(best, per_device);
    std::printf("run %d: %u devices, %.1f ms, %.2f ms per device\n", run + 1, devices, ms,
                per_device);
  }
  std::printf("best: %.2f ms per device\n", best);
  if (std::getenv("TQ_SHOW_REPORT") != nullptr) std::printf("\n%s", report.c_str());
  return 0;
}

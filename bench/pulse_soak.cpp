// Plays the generator through the sound server service (PulseAudio
// or PipeWire) for a given time (bench/soak_loop.h); the underruns are the
// times the server found the stream empty.
//
// Usage: pulse_soak SECONDS

#include <cstdio>

#include "platform/pulse/pulse_wave_out.h"
#include "soak_loop.h"

int main(int argc, char** argv) {
  const double seconds = tq::soak::soak_seconds(argc, argv);
  if (!(seconds > 0.0)) {
    std::fprintf(stderr, "usage: pulse_soak SECONDS\n");
    return 2;
  }
  tq::soak::EventQueue queue;
  tq::PulseWaveOut service(
      [&queue](tq::NotifyTarget, std::uint32_t message, tq::WaveHeader* header) {
        queue.push({message, header});
      });
  return tq::soak::run_soak("pulse_soak", service, queue, seconds,
                            [](const tq::PulseWaveOut& out) { return out.underrun_count(); });
}

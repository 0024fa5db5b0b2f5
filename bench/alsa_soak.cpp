// Plays the generator through the ALSA wave-out service for a given time
// (bench/soak_loop.h); the underruns are those the service recovered from
// (underruns and suspends).
//
// Usage: alsa_soak SECONDS

#include <cstdio>

#include "platform/alsa/alsa_wave_out.h"
#include "soak_loop.h"

int main(int argc, char** argv) {
  const double seconds = tq::soak::soak_seconds(argc, argv);
  if (!(seconds > 0.0)) {
    std::fprintf(stderr, "usage: alsa_soak SECONDS\n");
    return 2;
  }
  tq::soak::EventQueue queue;
  tq::AlsaWaveOut service(
      [&queue](tq::NotifyTarget, std::uint32_t message, tq::WaveHeader* header) {
        queue.push({message, header});
      });
  return tq::soak::run_soak("alsa_soak", service, queue, seconds,
                            [](const tq::AlsaWaveOut& out) { return out.recovery_count(); });
}

#pragma once
// Which sound service the program plays through on Linux. The sound
// server's own protocol (PulseAudio, or PipeWire through pipewire-pulse)
// when a server answers at start or one is expected (the environment names
// one, or the user's runtime folder holds its socket: a desktop whose
// server starts after the program); ALSA otherwise, on machines without a
// sound server. No server is ever started for the program. Both the
// window and the live player choose through it; it includes no Qt.
//
// `refill` goes to the sound server's service (see BufferRefill); ALSA
// reports every played buffer as DONE.

#include <cstdint>
#include <memory>

#include "platform/alsa/alsa_wave_out.h"
#include "platform/pulse/pulse_wave_out.h"

namespace tq {

class SoundService {
 public:
  explicit SoundService(const PulseWaveOut::EventSink& sink, const BufferRefill& refill = {});

  WaveOutService& service();
  // "pulse" or "alsa".
  const char* name() const;
  // Underruns the service has seen (the server's for our stream, or those
  // ALSA's writer recovered from), and whether the device is away.
  std::uint64_t underrun_count() const;
  bool device_lost() const;

 private:
  std::unique_ptr<PulseWaveOut> pulse_;
  std::unique_ptr<AlsaWaveOut> alsa_;
};

}  // namespace tq

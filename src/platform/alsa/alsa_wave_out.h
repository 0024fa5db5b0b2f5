#pragma once
// The wave-out service over ALSA. Device 0 is ALSA's "default"; the other
// devices are the output PCMs of ALSA's name hints. Each open stream has a
// writer thread that plays its queued buffers in order; the device volume
// is a software gain on the samples (the system mixer is never touched).
//
// When a stream's device goes away (the sound server quits, a USB card is
// unplugged) the stream reports kDeviceLost once, keeps its handle and its
// queued buffers, and opens the device again about once a second; when that
// succeeds it reports kDeviceBack and plays on from where it stopped.
//
// OPEN, CLOSE, DONE, kDeviceLost and kDeviceBack are handed to the event
// sink ON THE WRITER THREAD; the front end passes them on to its
// user-interface thread (for Qt, a queued invocation) and calls
// route_device_message() there. The sink must
// not call reset() or close() of the stream itself. After close() returns,
// no event of that stream is delivered.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/wave_out.h"
#include "audio/wave_out_rules.h"

namespace tq {

class AlsaWaveOut : public WaveOutService {
 public:
  using EventSink = DeviceEventSink;

  explicit AlsaWaveOut(EventSink sink);
  // Stops every stream still open; delivers no more events.
  ~AlsaWaveOut() override;
  AlsaWaveOut(const AlsaWaveOut&) = delete;
  AlsaWaveOut& operator=(const AlsaWaveOut&) = delete;

  MMResult open(WaveOutHandle* handle, std::uint32_t device, const WaveFormat& format,
                NotifyTarget target, std::uint32_t flags) override;
  MMResult query_format(std::uint32_t device, const WaveFormat& format) override;
  MMResult prepare(WaveOutHandle handle, WaveHeader* header) override;
  MMResult write(WaveOutHandle handle, WaveHeader* header) override;
  MMResult unprepare(WaveOutHandle handle, WaveHeader* header) override;
  MMResult reset(WaveOutHandle handle) override;
  MMResult close(WaveOutHandle handle) override;
  std::string error_text(MMResult result) override;
  MMResult device_id(WaveOutHandle handle, std::uint32_t* device) override;
  MMResult set_volume(std::uint32_t device, std::uint32_t volume) override;
  // Lists the devices afresh; every report starts here, so the cached
  // hardware-parameter spaces of the last report are dropped too.
  std::uint32_t device_count() override;
  MMResult device_caps(std::uint32_t device, WaveOutCaps* caps) override;

  // Underruns and suspends recovered, over all streams since construction.
  std::uint64_t recovery_count() const;
  // Tries to open a lost device again, over all streams since construction.
  std::uint64_t reopen_attempt_count() const;
  // True while an open stream's device is away (the sound server quit, a USB
  // card was unplugged): its buffers wait until the device is back.
  bool device_lost() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tq

#pragma once
// The wave-out service over winmm. Each of the core's WaveHeaders is backed
// by a WAVEHDR of our own that the driver sees; the two are kept in step
// around every call, so the core reads the driver's DONE, PREPARED and
// INQUEUE flags in its own header. Device events arrive as window messages
// (the core opens with CALLBACK_WINDOW); for MM_WOM_DONE the window
// procedure maps the message's WAVEHDR back to the core's header with
// header_for_done().

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/wave_out.h"

struct wavehdr_tag;  // WAVEHDR of <mmsystem.h>

namespace tq {

// Where the volume word takes effect: in the device (waveOutSetVolume), or,
// where the driver accepts the call but ignores it, as a gain on the
// samples of each buffer written.
enum class VolumeMode { device, samples };

// `samples` under Wine, whose ALSA driver ignores the wave volume (the
// output would play at full level, also during the start-up silence);
// `device` elsewhere.
VolumeMode volume_mode_of_this_system();

class WinmmWaveOut : public WaveOutService {
 public:
  explicit WinmmWaveOut(VolumeMode volume_mode);
  ~WinmmWaveOut() override;
  WinmmWaveOut(const WinmmWaveOut&) = delete;
  WinmmWaveOut& operator=(const WinmmWaveOut&) = delete;

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
  // `device` is a device number, passed to winmm in place of a handle.
  MMResult set_volume(std::uint32_t device, std::uint32_t volume) override;
  std::uint32_t device_count() override;
  MMResult device_caps(std::uint32_t device, WaveOutCaps* caps) override;

  // The core header backed by the WAVEHDR at `wave_header` (a MM_WOM_DONE
  // message's lParam), its flags brought up to date; nullptr when the
  // address is none of ours.
  WaveHeader* header_for_done(std::uintptr_t wave_header);

 private:
  struct Binding {
    WaveHeader* core;
    std::unique_ptr<wavehdr_tag> platform;
    std::vector<char> scaled;  // what the driver plays in VolumeMode::samples
  };
  struct OpenStream {
    WaveOutHandle handle;
    std::uint32_t device;
    WaveFormat format;
  };
  struct DeviceVolume {
    std::uint32_t device;
    std::uint32_t volume;
  };

  Binding& bind(WaveHeader* header);
  void copy_to_platform(Binding& binding);
  void fill_scaled(WaveOutHandle handle, Binding& binding);
  std::uint32_t volume_of(std::uint32_t device) const;
  const OpenStream* stream_of(WaveOutHandle handle) const;
  static void copy_flags_to_core(const wavehdr_tag& platform, WaveHeader& core);

  VolumeMode volume_mode_;
  // Never shrinks: a WAVEHDR must stay where it is while a driver may still
  // hold it.
  std::vector<Binding> bindings_;
  std::vector<OpenStream> streams_;
  std::vector<DeviceVolume> volumes_;
};

}  // namespace tq

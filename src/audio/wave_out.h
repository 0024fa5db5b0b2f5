#pragma once
// The wave-output service the generator plays through: exactly the calls it
// makes of the platform. Three services implement it: winmm on Windows; on
// Linux the sound-server client (PulseAudio, or PipeWire through
// pipewire-pulse) and ALSA; and a recording double in tests. Result codes
// are the platform's: 0 is success. What they all do the same way (event
// flags, playable formats, header flags) is in audio/wave_out_rules.h.
//
// Device events (open, close, a buffer done, device lost and back) must
// reach the generator on the user-interface thread, through
// route_device_message(); how they get there is the adapter's business.

#include <cstdint>
#include <string>

namespace tq {

using MMResult = std::uint32_t;
using WaveOutHandle = std::uintptr_t;  // 0 = no stream
using NotifyTarget = std::uintptr_t;   // the window that receives device events

// Result codes (values as the platform defines them).
inline constexpr MMResult kMmNoError = 0;
inline constexpr MMResult kMmError = 1;
inline constexpr MMResult kMmBadDeviceId = 2;
inline constexpr MMResult kMmNotEnabled = 3;
inline constexpr MMResult kMmAllocated = 4;
inline constexpr MMResult kMmInvalidHandle = 5;
inline constexpr MMResult kMmNoDriver = 6;
inline constexpr MMResult kMmNoMem = 7;
inline constexpr MMResult kMmNotSupported = 8;
inline constexpr MMResult kMmBadErrNum = 9;
inline constexpr MMResult kMmInvalidFlag = 10;
inline constexpr MMResult kMmInvalidParam = 11;
inline constexpr MMResult kWaveBadFormat = 32;
inline constexpr MMResult kWaveStillPlaying = 33;
inline constexpr MMResult kWaveUnprepared = 34;
inline constexpr MMResult kWaveSync = 35;

// Device event message codes.
inline constexpr std::uint32_t kMmWomOpen = 0x3BB;
inline constexpr std::uint32_t kMmWomClose = 0x3BC;
inline constexpr std::uint32_t kMmWomDone = 0x3BD;
// A service that survives the loss of its device (ALSA, the sound-server
// client) also reports, in the same way, that the stream's device went away
// (its buffers stay queued and the handle stays valid) and that it is back
// and the stream plays on.
// The values lie outside the platform's own message range.
inline constexpr std::uint32_t kDeviceLost = 0x8001;
inline constexpr std::uint32_t kDeviceBack = 0x8002;

// Open flags.
inline constexpr std::uint32_t kWaveFormatQuery = 0x0001;
inline constexpr std::uint32_t kWaveAllowSync = 0x0002;
inline constexpr std::uint32_t kCallbackWindow = 0x00010000;

// Header flags.
inline constexpr std::uint32_t kWhdrDone = 0x01;
inline constexpr std::uint32_t kWhdrPrepared = 0x02;
inline constexpr std::uint32_t kWhdrBeginLoop = 0x04;
inline constexpr std::uint32_t kWhdrEndLoop = 0x08;
inline constexpr std::uint32_t kWhdrInQueue = 0x10;

// Standard format bits of WaveOutCaps::formats (rate, channels, bits).
inline constexpr std::uint32_t kFormat1M08 = 0x00000001;
inline constexpr std::uint32_t kFormat1S08 = 0x00000002;
inline constexpr std::uint32_t kFormat1M16 = 0x00000004;
inline constexpr std::uint32_t kFormat1S16 = 0x00000008;
inline constexpr std::uint32_t kFormat2M08 = 0x00000010;
inline constexpr std::uint32_t kFormat2S08 = 0x00000020;
inline constexpr std::uint32_t kFormat2M16 = 0x00000040;
inline constexpr std::uint32_t kFormat2S16 = 0x00000080;
inline constexpr std::uint32_t kFormat4M08 = 0x00000100;
inline constexpr std::uint32_t kFormat4S08 = 0x00000200;
inline constexpr std::uint32_t kFormat4M16 = 0x00000400;
inline constexpr std::uint32_t kFormat4S16 = 0x00000800;

// Support bits of WaveOutCaps::support.
inline constexpr std::uint32_t kCapsPitch = 0x0001;
inline constexpr std::uint32_t kCapsPlaybackRate = 0x0002;
inline constexpr std::uint32_t kCapsVolume = 0x0004;
inline constexpr std::uint32_t kCapsLrVolume = 0x0008;
inline constexpr std::uint32_t kCapsSync = 0x0010;
inline constexpr std::uint32_t kCapsSampleAccurate = 0x0020;

struct WaveFormat {
  std::uint16_t format_tag = 1;  // PCM
  std::uint16_t channels = 2;
  std::uint32_t samples_per_sec = 44100;
  std::uint32_t avg_bytes_per_sec = 176400;
  std::uint16_t block_align = 4;
  std::uint16_t bits_per_sample = 16;
  std::uint16_t extra_size = 0;
};

// A buffer handed to the device; the fields of the platform's wave header.
struct WaveHeader {
  char* data = nullptr;
  std::uint32_t buffer_length = 0;
  std::uint32_t bytes_recorded = 0;
  std::uintptr_t user = 0;
  std::uint32_t flags = 0;
  std::uint32_t loops = 0;
  WaveHeader* next = nullptr;
  std::uintptr_t reserved = 0;
};

// The capability record's fields the device report uses.
struct WaveOutCaps {
  std::uint16_t manufacturer_id = 0;  // wMid
  std::uint16_t product_id = 0;       // wPid
  std::uint32_t driver_version = 0;   // vDriverVersion
  char product_name[32] = {};         // szPname, at most 31 characters
  std::uint32_t formats = 0;          // dwFormats
  std::uint16_t channels = 0;         // wChannels
  std::uint32_t support = 0;          // dwSupport
};

class WaveOutService {
 public:
  virtual ~WaveOutService() = default;

  // Opens `device` for playing; events go to `target`. `flags` carries the
  // callback kind and kWaveAllowSync.
  virtual MMResult open(WaveOutHandle* handle, std::uint32_t device, const WaveFormat& format,
                        NotifyTarget target, std::uint32_t flags) = 0;
  // Asks whether `device` would accept `format`; opens nothing.
  virtual MMResult query_format(std::uint32_t device, const WaveFormat& format) = 0;
  virtual MMResult prepare(WaveOutHandle handle, WaveHeader* header) = 0;
  virtual MMResult write(WaveOutHandle handle, WaveHeader* header) = 0;
  virtual MMResult unprepare(WaveOutHandle handle, WaveHeader* header) = 0;
  // Stops playing and marks every queued buffer done (each reported DONE).
  virtual MMResult reset(WaveOutHandle handle) = 0;
  virtual MMResult close(WaveOutHandle handle) = 0;
  // A readable text for any result code.
  virtual std::string error_text(MMResult result) = 0;
  virtual MMResult device_id(WaveOutHandle handle, std::uint32_t* device) = 0;
  // Low 16 bits left, high 16 bits right; 0 silent, 0xFFFF full.
  virtual MMResult set_volume(std::uint32_t device, std::uint32_t volume) = 0;
  virtual std::uint32_t device_count() = 0;
  virtual MMResult device_caps(std::uint32_t device, WaveOutCaps* caps) = 0;
};

}  // namespace tq

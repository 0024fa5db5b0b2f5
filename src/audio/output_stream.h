#pragma once
// The double-buffered output stream: two 32768-byte buffers kept queued on
// device 0; each buffer the device returns is refilled with the next block
// and queued again.

#include <array>
#include <cstdint>
#include <string>

#include "audio/tick_clock.h"
#include "audio/wave_out.h"
#include "synth/waveform.h"

namespace tq {

inline constexpr std::uint32_t kOutputDevice = 0;
inline constexpr std::uint32_t kStreamOpenFlags = kCallbackWindow | kWaveAllowSync;  // 0x10002

struct OutputStream {
  WaveOutHandle handle = 0;  // 0 while no stream is open
  std::uint32_t device = kOutputDevice;
  std::array<Block, 2> buffers{};  // zero: the first two buffers are silence
  std::array<WaveHeader, 2> headers{};
  std::uint32_t waveoutproctime = 0;  // milliseconds spent refilling buffers
  bool refill_failure_told = false;   // a failed refill is told once per run
};

// How an open went: `opened` when the stream plays with both buffers
// queued; otherwise `notice` is the device's own text, for the user.
struct StreamOpening {
  bool opened = false;
  std::string notice;
};

// The stream format: PCM, 2 channels, 16 bits, 44100 Hz (the window's) or
// another rate (the live player's --rate).
WaveFormat output_format(std::uint32_t rate = kSampleRate);

// Opens the stream with `window` as the event target and queues both
// buffers. A failed open leaves nothing open or queued.
StreamOpening open_output_stream(OutputStream& stream, WaveOutService& wave_out,
                                 NotifyTarget window, const WaveFormat& format = output_format());
// One device event: kMmWomOpen, kMmWomClose or kMmWomDone (with the header);
// a refill's time, read from `clock`, is added to waveoutproctime. Returns
// the device's text for the first refill of the run that the device
// refused, for the user; otherwise (also for every later one) "".
std::string on_stream_message(OutputStream& stream, WaveOutService& wave_out, SignalState& signal,
                              TickClock& clock, std::uint32_t kind, WaveHeader* header);
// Refills and requeues the buffer the header names. Returns the first
// failing result of the prepare and the write, or 0; a buffer the device
// refused stops circulating.
MMResult on_buffer_done(OutputStream& stream, WaveOutService& wave_out, SignalState& signal,
                        WaveHeader* header);
// Resets and closes the stream if it is open.
void close_output_stream(OutputStream& stream, WaveOutService& wave_out);

// The service's text for a result code as a 128-character buffer holds it:
// at most 127 characters, ending at the first NUL.
std::string device_error_text(WaveOutService& wave_out, MMResult result);

}  // namespace tq

#pragma once
// The wave-out service over the PulseAudio protocol (PulseAudio itself, or
// PipeWire through pipewire-pulse). Device 0 is the server's default
// output. Each open stream is a playback stream on the server whose buffer
// holds the two buffers the generator keeps queued: the server asks for
// one buffer's room at a time, and a buffer is done when the server asks
// for its room. The device volume is the stream's own volume on the server,
// per channel; the samples are sent as they are, and no sink's volume is
// ever set.
//
// A server that goes away (or drops our stream: killed, its sink removed)
// is reported once per stream with kDeviceLost; the stream keeps its handle
// and its queued buffers, the service tries to connect again about once a
// second, and reports kDeviceBack when the stream plays again. A stream
// opened while no server answers opens all the same, reports kDeviceLost
// at once and plays once a server is there.
//
// Events are handed to the sink on the service's own thread (the client
// library's loop) while the service is locked; the sink must pass them on
// (for Qt, a queued invocation) and must not call the service from there.
// reset() reports its DONE events and close() its CLOSE on the caller's
// thread before they return; after close() no event of that stream comes.
//
// A front end that renders its buffers itself may instead refill a played
// buffer on the service's thread (BufferRefill): the buffer is then queued
// again and sent in the same answer to the server's request, without the
// two thread hand-overs of DONE and write().

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/wave_out.h"
#include "audio/wave_out_rules.h"

namespace tq {

// The server's queue for a stream, and the room it asks for at a time: the
// generator's two 32768-byte buffers (and the sink's 1024 frames ahead of
// them).
inline constexpr std::uint32_t kServerQueueBytes = 2 * 32768;
inline constexpr std::uint32_t kServerRequestBytes = 32768;

// Called on the service's thread, the service locked, for each buffer the
// server has played while it asks for more, before DONE would be reported:
// true when the callee has filled the buffer anew, which is then queued
// again as if written; false reports DONE as usual. It must not call the
// service, nor wait for a thread that may be calling it (try a lock, do
// not take one).
using BufferRefill = std::function<bool(NotifyTarget target, WaveHeader* header)>;

class PulseWaveOut : public WaveOutService {
 public:
  using EventSink = DeviceEventSink;

  explicit PulseWaveOut(EventSink sink, BufferRefill refill = {});
  // Closes every stream still open without reporting, and disconnects.
  ~PulseWaveOut() override;
  PulseWaveOut(const PulseWaveOut&) = delete;
  PulseWaveOut& operator=(const PulseWaveOut&) = delete;

  // Connects to the server now if it is not connected (never starting one);
  // true when a server answers.
  bool connect_now();

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
  // One device: the server's default output, which converts any PCM format
  // of one or two channels up to the protocol's highest rate.
  std::uint32_t device_count() override;
  MMResult device_caps(std::uint32_t device, WaveOutCaps* caps) override;

  // Times the server found a stream of ours empty, since construction.
  std::uint64_t underrun_count() const;
  // Tries to connect to the server, since construction.
  std::uint64_t connect_attempt_count() const;
  // True while an open stream waits for the server (or a new stream on it).
  bool device_lost() const;
  // The server's index of the stream (its sink input), or -1 while it has
  // none.
  std::int64_t sink_input_index(WaveOutHandle handle) const;

  // The connection, the streams and their settings (pulse_wave_out.cpp).
  struct State;

 private:
  std::unique_ptr<State> state_;
};

// True when a sound server is expected although none may answer yet: the
// environment names one (PULSE_SERVER) or the user's runtime folder holds
// its socket (PULSE_RUNTIME_PATH/native, XDG_RUNTIME_DIR/pulse/native).
bool pulse_server_expected();

}  // namespace tq

#include "audio/output_stream.h"

#include <algorithm>
#include <utility>

#include "audio/output_level.h"

namespace tq {

namespace {

constexpr std::size_t kErrorTextCapacity = 128;  // terminator included

void set_up_header(OutputStream& stream, std::size_t index) {
  WaveHeader& header = stream.headers[index];
  header = WaveHeader{};
  header.data = reinterpret_cast<char*>(stream.buffers[index].data());
  header.buffer_length = kBlockBytes;
  header.user = index;
}

// Prepares and queues buffer `index`; the first failing result, or 0.
MMResult queue_buffer(OutputStream& stream, WaveOutService& wave_out, WaveOutHandle handle,
                      std::size_t index) {
  set_up_header(stream, index);
  WaveHeader* header = &stream.headers[index];
  const MMResult prepared = wave_out.prepare(handle, header);
  if (prepared != kMmNoError) return prepared;
  return wave_out.write(handle, header);
}

// Undoes an open that failed while buffer `failed` was being set up: takes
// back every buffer already queued, unprepares each header used so far and
// closes the device, so nothing is left playing or allocated.
void abandon_open(OutputStream& stream, WaveOutService& wave_out, WaveOutHandle handle,
                  std::size_t failed) {
  if (failed > 0) wave_out.reset(handle);
  for (std::size_t index = 0; index <= failed; ++index) {
    wave_out.unprepare(handle, &stream.headers[index]);
  }
  wave_out.close(handle);
}

std::size_t buffer_index(const WaveHeader& header) {
  return header.user >= 2 ? 0 : static_cast<std::size_t>(header.user);
}

}  // namespace

WaveFormat output_format(std::uint32_t rate) {
  WaveFormat format{};
  format.samples_per_sec = rate;
  format.avg_bytes_per_sec = rate * format.block_align;
  return format;
}

std::string device_error_text(WaveOutService& wave_out, MMResult result) {
  std::string text = wave_out.error_text(result);
  text.resize(std::min({text.find('\0'), text.size(), kErrorTextCapacity - 1}));
  return text;
}

StreamOpening open_output_stream(OutputStream& stream, WaveOutService& wave_out,
                                 NotifyTarget window, const WaveFormat& format) {
  if (stream.handle != 0) return {true, ""};  // opened once per run; its buffers are queued
  WaveOutHandle handle = 0;
  const MMResult opened = wave_out.open(&handle, stream.device, format, window, kStreamOpenFlags);
  if (opened != kMmNoError) return {false, device_error_text(wave_out, opened)};
  for (std::size_t index = 0; index < stream.headers.size(); ++index) {
    const MMResult queued = queue_buffer(stream, wave_out, handle, index);
    if (queued != kMmNoError) {
      // The device is given back before the caller shows the text: while a
      // box is open, buffer events keep arriving and must find no stream.
      std::string text = device_error_text(wave_out, queued);
      abandon_open(stream, wave_out, handle, index);
      return {false, std::move(text)};
    }
  }
  stream.handle = handle;
  set_startup_volume(wave_out, handle, kStartupAttenuation);
  return {true, ""};
}

std::string on_stream_message(OutputStream& stream, WaveOutService& wave_out, SignalState& signal,
                              TickClock& clock, std::uint32_t kind, WaveHeader* header) {
  if (kind == kMmWomOpen) {
    seed_random(signal.random, 1);
    return "";
  }
  if (kind != kMmWomDone) return "";
  const std::uint32_t start = clock.tick_count();
  const MMResult refilled = on_buffer_done(stream, wave_out, signal, header);
  const std::uint32_t end = clock.tick_count();
  stream.waveoutproctime += end - start;
  // A device that refuses one refill usually refuses the next as well: the
  // user hears of it once, not once per buffer.
  if (refilled == kMmNoError || stream.refill_failure_told) return "";
  stream.refill_failure_told = true;
  return device_error_text(wave_out, refilled);
}

MMResult on_buffer_done(OutputStream& stream, WaveOutService& wave_out, SignalState& signal,
                        WaveHeader* header) {
  // After a close or a failed open, buffers given back are not refilled.
  if (stream.handle == 0 || header == nullptr) return kMmNoError;
  const std::size_t index = buffer_index(*header);
  render_block(stream.buffers[index], signal.channels, signal.sine, signal.random);
  WaveHeader* own = &stream.headers[index];
  // The unprepare's result does not matter: the prepare after it says
  // whether the header can be used.
  wave_out.unprepare(stream.handle, own);
  const MMResult prepared = wave_out.prepare(stream.handle, own);
  if (prepared != kMmNoError) return prepared;
  return wave_out.write(stream.handle, own);
}

void close_output_stream(OutputStream& stream, WaveOutService& wave_out) {
  const WaveOutHandle handle = stream.handle;
  if (handle == 0) return;
  // Marked closed first, so that buffers the reset hands back are not
  // refilled even by a service that reports them while reset runs.
  stream.handle = 0;
  wave_out.reset(handle);
  wave_out.close(handle);
}

}  // namespace tq

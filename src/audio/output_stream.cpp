#include "audio/output_stream.h"

#include <algorithm>

#include "app/generator.h"
#include "audio/output_level.h"
#include "info/message_boxes.h"
#include "panel/panel_window.h"

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
MMResult queue_buffer(Generator& generator, WaveOutHandle handle, std::size_t index) {
  set_up_header(generator.stream, index);
  WaveHeader* header = &generator.stream.headers[index];
  const MMResult prepared = generator.wave_out.prepare(handle, header);
  if (prepared != kMmNoError) return prepared;
  return generator.wave_out.write(handle, header);
}

// Undoes an open that failed while buffer `failed` was being set up: takes
// back every buffer already queued, unprepares each header used so far and
// closes the device, so nothing is left playing or allocated.
void abandon_open(Generator& generator, WaveOutHandle handle, std::size_t failed) {
  WaveOutService& wave_out = generator.wave_out;
  if (failed > 0) wave_out.reset(handle);
  for (std::size_t index = 0; index <= failed; ++index) {
    wave_out.unprepare(handle, &generator.stream.headers[index]);
  }
  wave_out.close(handle);
}

std::size_t buffer_index(const WaveHeader& header) {
  return header.user >= 2 ? 0 : static_cast<std::size_t>(header.user);
}

}  // namespace

WaveFormat output_format() {
  return WaveFormat{};
}

std::string device_error_text(WaveOutService& wave_out, MMResult result) {
  std::string text = wave_out.error_text(result);
  text.resize(std::min({text.find('\0'), text.size(), kErrorTextCapacity - 1}));
  return text;
}

bool open_output_stream(Generator& generator, NotifyTarget window) {
  OutputStream& stream = generator.stream;
  if (stream.handle != 0) return true;  // opened once per run; its buffers are queued
  WaveOutHandle handle = 0;
  const MMResult opened =
      generator.wave_out.open(&handle, stream.device, output_format(), window, kStreamOpenFlags);
  if (opened != kMmNoError) {
    show_notice_box(generator.window, device_error_text(generator.wave_out, opened));
    return false;
  }
  for (std::size_t index = 0; index < stream.headers.size(); ++index) {
    const MMResult queued = queue_buffer(generator, handle, index);
    if (queued != kMmNoError) {
      // The device is given back before the box is shown: while the box is
      // open, buffer events keep arriving and must find no stream.
      const std::string text = device_error_text(generator.wave_out, queued);
      abandon_open(generator, handle, index);
      show_notice_box(generator.window, text);
      return false;
    }
  }
  stream.handle = handle;
  set_startup_volume(generator, kStartupAttenuation);
  return true;
}

void on_stream_message(Generator& generator, std::uint32_t kind, WaveHeader* header) {
  if (kind == kMmWomOpen) {
    seed_random(generator.random, 1);
  } else if (kind == kMmWomDone) {
    const std::uint32_t start = generator.window.tick_count();
    on_buffer_done(generator, header);
    const std::uint32_t end = generator.window.tick_count();
    generator.stream.waveoutproctime += end - start;
  }
}

void on_buffer_done(Generator& generator, WaveHeader* header) {
  OutputStream& stream = generator.stream;
  // After a close or a failed open, buffers given back are not refilled.
  if (stream.handle == 0 || header == nullptr) return;
  const std::size_t index = buffer_index(*header);
  render_block(stream.buffers[index], generator.channels, generator.sine, generator.random);
  WaveHeader* own = &stream.headers[index];
  generator.wave_out.unprepare(stream.handle, own);
  generator.wave_out.prepare(stream.handle, own);
  generator.wave_out.write(stream.handle, own);
}

void close_output_stream(Generator& generator) {
  OutputStream& stream = generator.stream;
  const WaveOutHandle handle = stream.handle;
  if (handle == 0) return;
  // Marked closed first, so that buffers the reset hands back are not
  // refilled even by a service that reports them while reset runs.
  stream.handle = 0;
  generator.wave_out.reset(handle);
  generator.wave_out.close(handle);
}

}  // namespace tq

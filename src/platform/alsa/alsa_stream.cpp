#include "platform/alsa/alsa_stream.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>

namespace tq {

namespace {

constexpr int kPollTimeoutMs = 500;
// Writes in a row that ALSA refused although it had signalled room; past
// this the writer pauses between tries, so that a confused device can never
// make it spin.
constexpr int kRefusalsBeforePause = 16;
constexpr auto kRefusalPause = std::chrono::milliseconds(2);

// What the writer does next.
struct WriterStep {
  enum Kind { stop, reset, play, reopen } kind = stop;
  WaveHeader* header = nullptr;
  std::size_t first_frame = 0;
  std::size_t frames = 0;
};

enum class WriteOutcome { written, interrupted, lost };

void deliver(AlsaStream& stream, std::uint32_t message, WaveHeader* header) {
  if (!stream.setup.notify || stream.setup.sink == nullptr || !*stream.setup.sink) return;
  if (stream.silent.load()) return;
  (*stream.setup.sink)(stream.setup.target, message, header);
}

void wake_writer(AlsaStream& stream) {
  const std::uint64_t one = 1;
  // A full counter still wakes the writer; nothing to handle.
  [[maybe_unused]] const ssize_t written = ::write(stream.wake_fd, &one, sizeof one);
  stream.changed.notify_all();
}

void drain_wakeups(AlsaStream& stream) {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t got = ::read(stream.wake_fd, &count, sizeof count);
}

std::size_t header_frames(const AlsaStream& stream, const WaveHeader& header) {
  return header.buffer_length / stream.frame_bytes;
}

bool interrupt_requested(AlsaStream& stream) {
  std::lock_guard lock(stream.mutex);
  return stream.stop_requested || stream.reset_requested;
}

// While the device is away the writer sleeps until a request or the time of
// its next try to open it again; otherwise until there is something to do.
WriterStep next_step(AlsaStream& stream) {
  std::unique_lock lock(stream.mutex);
  const auto requested = [&] { return stream.stop_requested || stream.reset_requested; };
  if (stream.lost.load()) {
    if (!stream.changed.wait_until(lock, stream.next_reopen, requested)) {
      return {WriterStep::reopen};
    }
  } else {
    stream.changed.wait(lock, [&] { return requested() || !stream.queue.empty(); });
  }
  if (stream.stop_requested) return {WriterStep::stop};
  if (stream.reset_requested) return {WriterStep::reset};
  WaveHeader* header = stream.queue.front();
  const std::size_t total = header_frames(stream, *header);
  const std::size_t first = std::min(stream.front_frames_played, total);
  const std::size_t frames = std::min<std::size_t>(stream.period_frames, total - first);
  return {WriterStep::play, header, first, frames};
}

// Waits until ALSA can take frames, the writer is woken, or a time limit.
// False when the device reports a fault that writing cannot recover.
bool wait_until_writable(AlsaStream& stream) {
  const int count = snd_pcm_poll_descriptors_count(stream.pcm);
  if (count <= 0) return false;
  std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
  snd_pcm_poll_descriptors(stream.pcm, fds.data(), static_cast<unsigned>(count));
  fds.back() = pollfd{stream.wake_fd, POLLIN, 0};
  const int ready = ::poll(fds.data(), fds.size(), kPollTimeoutMs);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return true;
  if (fds.back().revents & POLLIN) drain_wakeups(stream);
  unsigned short revents = 0;
  if (snd_pcm_poll_descriptors_revents(stream.pcm, fds.data(), static_cast<unsigned>(count),
                                       &revents) < 0) {
    return false;
  }
  if (!(revents & (POLLERR | POLLHUP | POLLNVAL))) return true;
  // An underrun or a suspend shows as an error here and is recovered by the
  // next write; anything else means the device is gone.
  const snd_pcm_state_t state = snd_pcm_state(stream.pcm);
  return state == SND_PCM_STATE_XRUN || state == SND_PCM_STATE_SUSPENDED;
}

// Hands `frames` frames of the scratch buffer to ALSA, recovering from
// underruns and suspends; *written counts what ALSA took.
WriteOutcome write_frames(AlsaStream& stream, std::size_t frames, std::size_t* written) {
  *written = 0;
  int refusals = 0;
  while (*written < frames) {
    if (interrupt_requested(stream)) return WriteOutcome::interrupted;
    const unsigned char* data = stream.scratch.data() + *written * stream.frame_bytes;
    const snd_pcm_sframes_t result = snd_pcm_writei(stream.pcm, data, frames - *written);
    if (result > 0) {
      *written += static_cast<std::size_t>(result);
      refusals = 0;
    } else if (result == 0 || result == -EAGAIN || result == -EINTR) {
      if (++refusals > kRefusalsBeforePause) std::this_thread::sleep_for(kRefusalPause);
      if (!wait_until_writable(stream)) return WriteOutcome::lost;
    } else if (result == -EPIPE || result == -ESTRPIPE) {
      if (snd_pcm_recover(stream.pcm, static_cast<int>(result), 1) < 0) return WriteOutcome::lost;
      if (stream.setup.recoveries != nullptr) ++*stream.setup.recoveries;
    } else {
      return WriteOutcome::lost;
    }
  }
  return WriteOutcome::written;
}

void scale_into_scratch(AlsaStream& stream, const WriterStep& step) {
  const std::uint32_t word = stream.volume_word.load();
  if (word != stream.gain.word) retarget_gain(stream.gain, word);
  const auto* source = reinterpret_cast<const unsigned char*>(step.header->data) +
                       step.first_frame * stream.frame_bytes;
  scale_frames(stream.gain, stream.sample_format, stream.setup.format.channels, source,
               stream.scratch.data(), step.frames);
}

// Counts what ALSA took of the front buffer; returns it when it is finished.
WaveHeader* advance_front(AlsaStream& stream, std::size_t frames) {
  std::lock_guard lock(stream.mutex);
  if (stream.queue.empty()) return nullptr;
  WaveHeader* header = stream.queue.front();
  stream.front_frames_played += frames;
  if (stream.front_frames_played < header_frames(stream, *header)) return nullptr;
  stream.queue.pop_front();
  stream.front_frames_played = 0;
  mark_done(header);
  return header;
}

void close_pcm(AlsaStream& stream) {
  if (stream.pcm != nullptr) snd_pcm_close(stream.pcm);
  stream.pcm = nullptr;
}

// The device is gone: its PCM is given back at once (a sound server that
// comes back gets a new connection) and the buffers wait in the queue.
void lose_device(AlsaStream& stream) {
  close_pcm(stream);
  stream.next_reopen = std::chrono::steady_clock::now() + kReopenInterval;
  stream.lost.store(true);
  deliver(stream, kDeviceLost, nullptr);
}

void play_step(AlsaStream& stream, const WriterStep& step) {
  scale_into_scratch(stream, step);
  std::size_t written = 0;
  const WriteOutcome outcome = write_frames(stream, step.frames, &written);
  if (outcome == WriteOutcome::interrupted) return;  // the request decides
  // What ALSA took before the loss counts as played; the rest of the front
  // buffer plays once the device is back.
  if (WaveHeader* done = advance_front(stream, written)) deliver(stream, kMmWomDone, done);
  if (outcome == WriteOutcome::lost) lose_device(stream);
}

// Drops what ALSA still holds and gives every queued buffer back.
void reset_on_writer(AlsaStream& stream) {
  if (stream.pcm != nullptr) {
    snd_pcm_drop(stream.pcm);
    snd_pcm_prepare(stream.pcm);
  }
  stream.gain = settled_gain(stream.volume_word.load(), stream.setup.format.samples_per_sec);
  std::deque<WaveHeader*> returned;
  {
    std::lock_guard lock(stream.mutex);
    returned.swap(stream.queue);
    stream.front_frames_played = 0;
    for (WaveHeader* header : returned) mark_done(header);
    stream.reset_requested = false;
  }
  stream.changed.notify_all();
  for (WaveHeader* header : returned) deliver(stream, kMmWomDone, header);
}

snd_pcm_format_t alsa_format(const WaveFormat& format) {
  return format.bits_per_sample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

int set_hardware_params(AlsaStream& stream) {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_alloca(&params);
  const WaveFormat& format = stream.setup.format;
  unsigned ring_us = kRingMicroseconds;
  unsigned period_us = kPeriodMicroseconds;
  int dir = 0;
  int error = snd_pcm_hw_params_any(stream.pcm, params);
  if (error >= 0) {
    error = snd_pcm_hw_params_set_access(stream.pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED);
  }
  if (error >= 0) error = snd_pcm_hw_params_set_format(stream.pcm, params, alsa_format(format));
  if (error >= 0) error = snd_pcm_hw_params_set_channels(stream.pcm, params, format.channels);
  if (error >= 0) error = snd_pcm_hw_params_set_rate(stream.pcm, params, format.samples_per_sec, 0);
  if (error >= 0)
    error = snd_pcm_hw_params_set_buffer_time_near(stream.pcm, params, &ring_us, &dir);
  if (error >= 0)
    error = snd_pcm_hw_params_set_period_time_near(stream.pcm, params, &period_us, &dir);
  if (error >= 0) error = snd_pcm_hw_params(stream.pcm, params);
  if (error >= 0) error = snd_pcm_hw_params_get_period_size(params, &stream.period_frames, &dir);
  if (error >= 0) error = snd_pcm_hw_params_get_buffer_size(params, &stream.ring_frames);
  return error;
}

// Playing starts once the ring is full, so the first buffer does not
// underrun; the writer wakes whenever a period is free.
int set_software_params(AlsaStream& stream) {
  snd_pcm_sw_params_t* params = nullptr;
  snd_pcm_sw_params_alloca(&params);
  int error = snd_pcm_sw_params_current(stream.pcm, params);
  if (error >= 0) {
    error = snd_pcm_sw_params_set_start_threshold(stream.pcm, params, stream.ring_frames);
  }
  if (error >= 0) error = snd_pcm_sw_params_set_avail_min(stream.pcm, params, stream.period_frames);
  if (error >= 0) error = snd_pcm_sw_params(stream.pcm, params);
  return error;
}

int open_pcm(AlsaStream& stream) {
  const int opened = snd_pcm_open(&stream.pcm, stream.setup.device_name.c_str(),
                                  SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (opened < 0) stream.pcm = nullptr;
  return opened;
}

int configure_pcm(AlsaStream& stream) {
  int error = set_hardware_params(stream);
  if (error >= 0) error = set_software_params(stream);
  if (error >= 0 && stream.period_frames == 0) error = -EINVAL;
  if (error >= 0) stream.scratch.resize(stream.period_frames * stream.frame_bytes);
  return error;
}

int set_up_stream(AlsaStream& stream) {
  const int opened = open_pcm(stream);
  if (opened < 0) return opened;
  stream.space = read_device_space(stream.pcm);
  return configure_pcm(stream);
}

// One try to open the lost device again with the stream's settings. The
// queued buffers then play on from where they stopped; a device that is
// still away, or back but refusing the format, is tried again later.
void try_reopen(AlsaStream& stream) {
  if (stream.setup.reopen_attempts != nullptr) ++*stream.setup.reopen_attempts;
  int error = open_pcm(stream);
  if (error >= 0) error = configure_pcm(stream);
  if (error < 0) {
    close_pcm(stream);
    stream.next_reopen = std::chrono::steady_clock::now() + kReopenInterval;
    return;
  }
  stream.lost.store(false);
  deliver(stream, kDeviceBack, nullptr);
}

void release_resources(AlsaStream& stream) {
  close_pcm(stream);
  if (stream.wake_fd >= 0) ::close(stream.wake_fd);
  stream.wake_fd = -1;
}

// Sets the stream up and plays it. The writer keeps the normal priority:
// with a real-time one, its hand-overs with the PulseAudio plugin's own
// thread (over the plugin's priority-inheriting lock) cost more processor
// time, at times several times as much, and the stream had no fewer
// underruns under load. The set-up's result goes to the opener through
// `ready` before anything is reported.
void run_writer(AlsaStream& stream, std::promise<int>& ready) {
  const int error = set_up_stream(stream);
  ready.set_value(error);  // the opener's: not to be touched after this
  if (error < 0) return;
  deliver(stream, kMmWomOpen, nullptr);
  for (;;) {
    const WriterStep step = next_step(stream);
    if (step.kind == WriterStep::stop) break;
    if (step.kind == WriterStep::reset) {
      reset_on_writer(stream);
    } else if (step.kind == WriterStep::reopen) {
      try_reopen(stream);
    } else {
      play_step(stream, step);
    }
  }
  if (stream.pcm != nullptr) snd_pcm_drop(stream.pcm);
  deliver(stream, kMmWomClose, nullptr);
  std::lock_guard lock(stream.mutex);
  stream.writer_done = true;
  stream.changed.notify_all();
}

}  // namespace

std::unique_ptr<AlsaStream> open_alsa_stream(const StreamSetup& setup, int* alsa_error,
                                             bool* device_opened) {
  auto stream = std::make_unique<AlsaStream>();
  stream->setup = setup;
  stream->sample_format =
      setup.format.bits_per_sample == 8 ? SampleFormat::unsigned8 : SampleFormat::signed16;
  stream->frame_bytes = setup.format.block_align;
  stream->volume_word.store(setup.volume_word);
  stream->gain = settled_gain(setup.volume_word, setup.format.samples_per_sec);
  stream->wake_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stream->wake_fd < 0) {
    *alsa_error = -errno;
    *device_opened = false;
    return nullptr;
  }
  std::promise<int> ready;
  std::future<int> set_up = ready.get_future();
  stream->writer = std::thread(run_writer, std::ref(*stream), std::ref(ready));
  *alsa_error = set_up.get();
  *device_opened = stream->pcm != nullptr;
  if (*alsa_error < 0) {
    stream->writer.join();
    release_resources(*stream);
    return nullptr;
  }
  return stream;
}

MMResult queue_header(AlsaStream& stream, WaveHeader* header) {
  {
    std::lock_guard lock(stream.mutex);
    if (!(header->flags & kWhdrPrepared)) return kWaveUnprepared;
    if (header->flags & kWhdrInQueue) return kWaveStillPlaying;
    mark_queued(header);
    stream.queue.push_back(header);
  }
  stream.changed.notify_all();
  return kMmNoError;
}

MMResult unprepare_header(AlsaStream& stream, WaveHeader* header) {
  std::lock_guard lock(stream.mutex);
  if (header->flags & kWhdrInQueue) return kWaveStillPlaying;
  header->flags &= ~kWhdrPrepared;
  return kMmNoError;
}

void reset_alsa_stream(AlsaStream& stream) {
  std::unique_lock lock(stream.mutex);
  stream.reset_requested = true;
  wake_writer(stream);
  stream.changed.wait(lock, [&] { return !stream.reset_requested || stream.writer_done; });
}

bool has_queued_buffers(AlsaStream& stream) {
  std::lock_guard lock(stream.mutex);
  return !stream.queue.empty();
}

void close_alsa_stream(AlsaStream& stream, bool report_close) {
  if (!report_close) stream.silent.store(true);
  {
    std::lock_guard lock(stream.mutex);
    stream.stop_requested = true;
  }
  wake_writer(stream);
  if (stream.writer.joinable()) stream.writer.join();
  release_resources(stream);
}

bool on_writer_thread(const AlsaStream& stream) {
  return stream.writer.get_id() == std::this_thread::get_id();
}

}  // namespace tq

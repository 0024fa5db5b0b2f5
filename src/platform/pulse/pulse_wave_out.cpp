#include "platform/pulse/pulse_wave_out.h"

#include <pulse/pulseaudio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "audio/output_level.h"
#include "audio/wave_out_rules.h"
#include "platform/pulse/pulse_stream.h"
#include "platform/pulse/server_sockets.h"
#include "platform/pulse/stream_volume.h"

namespace tq {

namespace {

// While the server or our stream is away, one try to get it back this often.
constexpr pa_usec_t kRetryInterval = PA_USEC_PER_SEC;
constexpr std::uint64_t kFullTryEvery = 10;
// What we ask of the sink's own latency, in frames of the stream: a level
// change is heard within it. PipeWire runs its whole graph in cycles of the
// smallest latency any stream asks for, rounded down to a power of two:
// 1024 frames is its usual cycle (23 ms at 44100 Hz). Asking 20 ms (882
// frames) put every stream on the server into 512-frame cycles, and on a
// busy machine the server missed one every few hundred milliseconds.
constexpr std::uint32_t kSinkLatencyFrames = 1024;
// How long open() and connect_now() wait for the server's answer.
constexpr pa_usec_t kAnswerLimit = 2 * PA_USEC_PER_SEC;
constexpr std::uint32_t kAllStandardFormats = 0x00000FFF;
constexpr const char* kProductName = "Sound server (PulseAudio)";

// The server converts any playable format up to the protocol's highest rate.
bool server_plays(const WaveFormat& format) {
  return is_playable_format(format) && format.samples_per_sec <= PA_RATE_MAX;
}

pa_sample_spec sample_format(const WaveFormat& format) {
  pa_sample_spec samples{};
  samples.format = format.bits_per_sample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  samples.rate = format.samples_per_sec;
  samples.channels = static_cast<std::uint8_t>(format.channels);
  return samples;
}

// Who we are, for the desktop's volume control: on the connection (the
// server gives a client's properties to its streams) and on the stream.
// "production": an instrument's output, which the servers' role policies
// (ducking and corking of music and video for a call) must leave alone.
pa_proplist* identity() {
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tonquill");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "tonquill");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "tonquill");
  char binary[256] = {};
  if (pa_get_binary_name(binary, sizeof binary) != nullptr) {
    pa_proplist_sets(properties, PA_PROP_APPLICATION_PROCESS_BINARY, binary);
  }
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "production");
  return properties;
}

class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

}  // namespace

struct PulseStreamState;

struct PulseWaveOut::State {
  State(EventSink event_sink, BufferRefill buffer_refill)
      : sink(std::move(event_sink)), refill(std::move(buffer_refill)) {}

  EventSink sink;
  BufferRefill refill;
  pa_threaded_mainloop* loop = nullptr;
  pa_mainloop_api* api = nullptr;
  pa_context* context = nullptr;  // null while no server answers
  pa_time_event* retry = nullptr;
  std::map<WaveOutHandle, std::unique_ptr<PulseStreamState>> streams;
  std::uint32_t volume_word = kUnityVolumeWord;  // device 0's
  WaveOutHandle next_handle = 1;
  std::string failure_text;  // the server's reason for the last failed open
  MMResult failure = kMmNoError;
  std::atomic<std::uint64_t> underruns{0};
  std::atomic<std::uint64_t> connect_attempts{0};
};

struct PulseStreamState {
  PulseWaveOut::State* owner = nullptr;
  WaveOutHandle handle = 0;  // 0 until the open has succeeded
  WaveFormat format{};
  NotifyTarget target = 0;
  bool notify = false;
  pa_stream* stream = nullptr;  // null while lost
  bool opened = false;          // OPEN reported
  bool lost = false;            // kDeviceLost reported, kDeviceBack not yet
  bool silent = false;          // report nothing more
  // The sink a move put the stream on (the user's choice, or the server's
  // when that sink went away), asked for again when the stream is created
  // anew after a loss; empty: the server's default.
  std::string chosen_sink;
  ServerQueue queue;
};

namespace {

using State = PulseWaveOut::State;

void deliver(PulseStreamState& stream, std::uint32_t message, WaveHeader* header = nullptr) {
  if (!stream.notify || stream.silent || !stream.owner->sink) return;
  stream.owner->sink(stream.target, message, header);
}

bool stream_ready(const PulseStreamState& stream) {
  return stream.stream != nullptr && pa_stream_get_state(stream.stream) == PA_STREAM_READY;
}

bool context_ready(const State& state) {
  return state.context != nullptr && pa_context_get_state(state.context) == PA_CONTEXT_READY;
}

const timeval* after(timeval* when, pa_usec_t delay) {
  pa_gettimeofday(when);
  return pa_timeval_add(when, delay);
}

void schedule_retry(State& state, pa_usec_t delay = kRetryInterval) {
  timeval when{};
  state.api->time_restart(state.retry, after(&when, delay));
}

// A written buffer, or a played one filled anew, at the queue's end.
void enqueue(PulseStreamState& stream, WaveHeader* header) {
  mark_queued(header);
  stream.queue.headers.push_back(header);
}

bool refilled(PulseStreamState& stream, WaveHeader* played) {
  const BufferRefill& refill = stream.owner->refill;
  if (!refill || !stream.notify || stream.silent || !refill(stream.target, played)) return false;
  enqueue(stream, played);
  return true;
}

enum class Refill { offered, not_offered };

// Reports played buffers (or has them refilled, on the service's thread)
// and sends what the server has room for.
void feed(PulseStreamState& stream, Refill refill = Refill::not_offered) {
  if (!stream_ready(stream)) return;
  const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream.stream);
  std::size_t room = pa_stream_writable_size(stream.stream);
  if (attr == nullptr || room == static_cast<std::size_t>(-1)) return;
  for (WaveHeader* played : take_played(stream.queue, attr->tlength, room)) {
    mark_done(played);
    if (refill == Refill::offered && refilled(stream, played)) continue;
    deliver(stream, kMmWomDone, played);
  }
  send_unsent(stream.queue, room, [&](const char* data, std::size_t bytes) {
    pa_stream_write(stream.stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE);
  });
}

void detach_stream(PulseStreamState& stream) {
  if (stream.stream == nullptr) return;
  pa_stream_set_state_callback(stream.stream, nullptr, nullptr);
  pa_stream_set_write_callback(stream.stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(stream.stream, nullptr, nullptr);
  pa_stream_set_moved_callback(stream.stream, nullptr, nullptr);
  if (pa_stream_get_state(stream.stream) == PA_STREAM_READY) pa_stream_disconnect(stream.stream);
  pa_stream_unref(stream.stream);
  stream.stream = nullptr;
}

// The server or our stream on it is gone: what it held is lost, so the
// queued buffers are all sent again once a new stream plays.
void lose_stream(PulseStreamState& stream) {
  detach_stream(stream);
  stream.queue.sent = 0;
  if (!stream.lost) {
    stream.lost = true;
    deliver(stream, kDeviceLost);
  }
}

void on_sink_info(pa_context* context, const pa_sink_info* info, int eol, void* userdata) {
  if (eol != 0 || info == nullptr) return;
  auto& state = *static_cast<State*>(userdata);
  for (auto& [handle, stream] : state.streams) {
    if (!stream_ready(*stream) || pa_stream_get_device_index(stream->stream) != info->index) {
      continue;
    }
    const pa_channel_map* map = pa_stream_get_channel_map(stream->stream);
    pa_cvolume volume = stream_volume(state.volume_word, map->channels);
    if (info->flags & PA_SINK_FLAT_VOLUME) {
      volume = absolute_volume(volume, *map, info->volume, info->channel_map);
    }
    pa_operation* operation = pa_context_set_sink_input_volume(
        context, pa_stream_get_index(stream->stream), &volume, nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
  }
}

// Sets the stream's volume on the server from the device volume word; with
// flat volumes relative to its sink's, which is read first.
void apply_volume(PulseStreamState& stream) {
  if (!stream_ready(stream)) return;
  State& state = *stream.owner;
  pa_operation* operation = pa_context_get_sink_info_by_index(
      state.context, pa_stream_get_device_index(stream.stream), on_sink_info, &state);
  if (operation != nullptr) pa_operation_unref(operation);
}

void on_stream_ready(PulseStreamState& stream) {
  if (!stream.opened) {
    stream.opened = true;
    deliver(stream, kMmWomOpen);
  } else if (stream.lost) {
    stream.lost = false;
    deliver(stream, kDeviceBack);
  }
  apply_volume(stream);
  feed(stream);
}

void on_stream_state(pa_stream* s, void* userdata) {
  auto& stream = *static_cast<PulseStreamState*>(userdata);
  State& state = *stream.owner;
  switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
      on_stream_ready(stream);
      break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      // An open in progress waits for this and tells a refusal from a loss;
      // an open stream has lost its place on the server.
      if (context_ready(state)) state.failure_text = pa_strerror(pa_context_errno(state.context));
      if (stream.handle != 0) {
        lose_stream(stream);
        // The sink it was moved to is gone (a server started again without
        // it): at once on the default sink instead.
        const bool sink_gone = !stream.chosen_sink.empty() && context_ready(state) &&
                               pa_context_errno(state.context) == PA_ERR_NOENTITY;
        if (sink_gone) stream.chosen_sink.clear();
        schedule_retry(state, sink_gone ? 0 : kRetryInterval);
      }
      break;
    default:
      break;
  }
  pa_threaded_mainloop_signal(state.loop, 0);
}

void on_stream_write(pa_stream*, std::size_t, void* userdata) {
  feed(*static_cast<PulseStreamState*>(userdata), Refill::offered);
}

void on_stream_underflow(pa_stream*, void* userdata) {
  ++static_cast<PulseStreamState*>(userdata)->owner->underruns;
}

// Moved to another sink: the same level relative to the new one, and the
// same sink for a stream created anew.
void on_stream_moved(pa_stream* s, void* userdata) {
  auto& stream = *static_cast<PulseStreamState*>(userdata);
  const char* sink = pa_stream_get_device_name(s);
  stream.chosen_sink = sink != nullptr ? sink : "";
  apply_volume(stream);
}

// A playback stream on the server holding our two buffers: played from the
// first buffer on, asking for one buffer's room at a time. The target
// length is the two buffers and the sink's latency: the server asks a
// sink for what the target leaves over two requests (without that margin
// it runs the sink at its shortest latency, waking every half
// millisecond). Its volume starts relative to the sink's, so a flat-volume
// sink is not raised.
bool start_stream(PulseStreamState& stream) {
  State& state = *stream.owner;
  const pa_sample_spec samples = sample_format(stream.format);
  pa_channel_map map{};
  pa_channel_map_init_auto(&map, samples.channels, PA_CHANNEL_MAP_DEFAULT);
  pa_proplist* properties = identity();
  stream.stream =
      pa_stream_new_with_proplist(state.context, "Generator output", &samples, &map, properties);
  pa_proplist_free(properties);
  if (stream.stream == nullptr) return false;
  pa_stream_set_state_callback(stream.stream, on_stream_state, &stream);
  pa_stream_set_write_callback(stream.stream, on_stream_write, &stream);
  pa_stream_set_underflow_callback(stream.stream, on_stream_underflow, &stream);
  pa_stream_set_moved_callback(stream.stream, on_stream_moved, &stream);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength =
      kServerQueueBytes + kSinkLatencyFrames * static_cast<std::uint32_t>(pa_frame_size(&samples));
  attr.prebuf = kServerRequestBytes;
  attr.minreq = kServerRequestBytes;
  attr.fragsize = static_cast<std::uint32_t>(-1);
  const pa_cvolume volume = stream_volume(state.volume_word, samples.channels);
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_RELATIVE_VOLUME);
  const char* sink = stream.chosen_sink.empty() ? nullptr : stream.chosen_sink.c_str();
  return pa_stream_connect_playback(stream.stream, sink, &attr, flags, &volume, nullptr) == 0;
}

void restart_lost_streams(State& state) {
  for (auto& [handle, stream] : state.streams) {
    if (stream->stream == nullptr && !start_stream(*stream)) detach_stream(*stream);
  }
}

bool any_stream_waits(const State& state) {
  return std::any_of(state.streams.begin(), state.streams.end(),
                     [](const auto& entry) { return entry.second->stream == nullptr; });
}

void drop_context(State& state) {
  if (state.context == nullptr) return;
  pa_context_set_state_callback(state.context, nullptr, nullptr);
  pa_context_disconnect(state.context);
  pa_context_unref(state.context);
  state.context = nullptr;
}

void on_context_state(pa_context* context, void* userdata) {
  auto& state = *static_cast<State*>(userdata);
  const pa_context_state_t now = pa_context_get_state(context);
  if (now == PA_CONTEXT_READY) {
    restart_lost_streams(state);
  } else if (now == PA_CONTEXT_FAILED || now == PA_CONTEXT_TERMINATED) {
    state.failure_text = pa_strerror(pa_context_errno(context));
    for (auto& [handle, stream] : state.streams) lose_stream(*stream);
    drop_context(state);
    if (!state.streams.empty()) schedule_retry(state);
  }
  pa_threaded_mainloop_signal(state.loop, 0);
}

// Starts connecting, never spawning a server. Where no server listens the
// attempt fails at once (the state callback then drops the context).
void start_connecting(State& state) {
  if (state.context != nullptr) return;
  pa_proplist* properties = identity();
  state.context = pa_context_new_with_proplist(state.api, "Tonquill", properties);
  pa_proplist_free(properties);
  if (state.context == nullptr) return;
  pa_context_set_state_callback(state.context, on_context_state, &state);
  if (pa_context_connect(state.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    state.failure_text = pa_strerror(pa_context_errno(state.context));
    drop_context(state);
  }
}

// A socket file left behind by a server that was killed refuses the
// connection; a missing one needs no socket to tell.
bool socket_accepts(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return true;  // the library decides
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;
  const bool accepted =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return accepted;
}

// A few system calls instead of a whole client connection (the client
// library sets up its memory pool and reads its configuration each time)
// while the server is away: false when every socket it could listen on
// refuses (where the server is named by something other than a socket
// path, only the client library can try). Where PULSE_SERVER does not name
// the server, a client configuration may name one elsewhere: the full try
// every kFullTryEvery retries finds that too.
bool server_may_answer(std::uint64_t retry) {
  const ServerSockets places = server_sockets(server_environment());
  if (!places.named && retry % kFullTryEvery == 0) return true;
  const std::vector<std::string> sockets = places.all();
  return sockets.empty() || std::any_of(sockets.begin(), sockets.end(), socket_accepts);
}

void on_retry(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
  auto& state = *static_cast<State*>(userdata);
  if (!any_stream_waits(state)) return;
  if (state.context == nullptr) {
    if (server_may_answer(++state.connect_attempts)) start_connecting(state);
  } else if (context_ready(state)) {
    restart_lost_streams(state);
  }
  if (any_stream_waits(state)) schedule_retry(state);
}

struct Deadline {
  pa_threaded_mainloop* loop = nullptr;
  bool passed = false;
};

void on_deadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
  auto& deadline = *static_cast<Deadline*>(userdata);
  deadline.passed = true;
  pa_threaded_mainloop_signal(deadline.loop, 0);
}

// Waits (the loop locked) until `done` holds or the answer limit passes.
template <typename Done>
bool wait_for(State& state, Done done) {
  Deadline deadline{state.loop};
  timeval when{};
  pa_time_event* timer =
      state.api->time_new(state.api, after(&when, kAnswerLimit), on_deadline, &deadline);
  while (!done() && !deadline.passed) pa_threaded_mainloop_wait(state.loop);
  state.api->time_free(timer);
  return done();
}

bool connect_and_wait(State& state) {
  ++state.connect_attempts;
  start_connecting(state);
  return wait_for(state,
                  [&] {
                    return state.context == nullptr ||
                           pa_context_get_state(state.context) == PA_CONTEXT_READY ||
                           !PA_CONTEXT_IS_GOOD(pa_context_get_state(state.context));
                  }) &&
         context_ready(state);
}

// Reports OPEN and the loss of streams opened while no server answered,
// on the loop's thread as every other event.
void announce_waiting_streams(pa_mainloop_api*, void* userdata) {
  auto& state = *static_cast<State*>(userdata);
  for (auto& [handle, stream] : state.streams) {
    if (stream->opened) continue;
    stream->opened = true;
    deliver(*stream, kMmWomOpen);
    lose_stream(*stream);
  }
}

enum class StreamStart { playing, refused, no_server };

// Connects (if need be) and starts the stream; waits for the server.
StreamStart start_and_wait(PulseStreamState& stream) {
  State& state = *stream.owner;
  if (!context_ready(state) && !connect_and_wait(state)) return StreamStart::no_server;
  if (!start_stream(stream)) {
    state.failure_text = pa_strerror(pa_context_errno(state.context));
    detach_stream(stream);
    return StreamStart::refused;
  }
  const auto settled = [&] {
    const pa_stream_state_t now = pa_stream_get_state(stream.stream);
    return now == PA_STREAM_READY || !PA_STREAM_IS_GOOD(now);
  };
  if (wait_for(state, settled) && stream_ready(stream)) return StreamStart::playing;
  const bool server_there = context_ready(state);
  detach_stream(stream);
  return server_there ? StreamStart::refused : StreamStart::no_server;
}

}  // namespace

PulseWaveOut::PulseWaveOut(EventSink sink, BufferRefill refill)
    : state_(std::make_unique<State>(std::move(sink), std::move(refill))) {
  State& state = *state_;
  state.loop = pa_threaded_mainloop_new();
  state.api = pa_threaded_mainloop_get_api(state.loop);
  state.retry = state.api->time_new(state.api, nullptr, on_retry, &state);
  pa_threaded_mainloop_set_name(state.loop, "tq-pulse");
  pa_threaded_mainloop_start(state.loop);
}

PulseWaveOut::~PulseWaveOut() {
  State& state = *state_;
  {
    LoopLock lock(state.loop);
    for (auto& [handle, stream] : state.streams) detach_stream(*stream);
    state.streams.clear();
    drop_context(state);
    state.api->time_free(state.retry);
  }
  pa_threaded_mainloop_stop(state.loop);
  pa_threaded_mainloop_free(state.loop);
}

bool PulseWaveOut::connect_now() {
  LoopLock lock(state_->loop);
  return context_ready(*state_) || connect_and_wait(*state_);
}

MMResult PulseWaveOut::open(WaveOutHandle* handle, std::uint32_t device, const WaveFormat& format,
                            NotifyTarget target, std::uint32_t flags) {
  if (flags & kWaveFormatQuery) return query_format(device, format);
  if (handle == nullptr) return kMmInvalidParam;
  if (device != 0) return kMmBadDeviceId;
  if (!server_plays(format)) return kWaveBadFormat;
  State& state = *state_;
  LoopLock lock(state.loop);
  auto stream = std::make_unique<PulseStreamState>();
  stream->owner = &state;
  stream->format = format;
  stream->target = target;
  stream->notify = wants_events(flags);
  const StreamStart start = start_and_wait(*stream);
  if (start == StreamStart::refused) {
    state.failure = kMmNotEnabled;
    return state.failure;
  }
  *handle = state.next_handle++;
  stream->handle = *handle;
  state.streams.emplace(*handle, std::move(stream));
  if (start == StreamStart::no_server) {
    pa_mainloop_api_once(state.api, announce_waiting_streams, &state);
    schedule_retry(state);
  }
  return kMmNoError;
}

MMResult PulseWaveOut::query_format(std::uint32_t device, const WaveFormat& format) {
  if (device != 0) return kMmBadDeviceId;
  return server_plays(format) ? kMmNoError : kWaveBadFormat;
}

MMResult PulseWaveOut::prepare(WaveOutHandle handle, WaveHeader* header) {
  LoopLock lock(state_->loop);
  if (!state_->streams.contains(handle)) return kMmInvalidHandle;
  if (header == nullptr || (header->data == nullptr && header->buffer_length > 0)) {
    return kMmInvalidParam;
  }
  header->flags |= kWhdrPrepared;
  return kMmNoError;
}

MMResult PulseWaveOut::write(WaveOutHandle handle, WaveHeader* header) {
  LoopLock lock(state_->loop);
  const auto found = state_->streams.find(handle);
  if (found == state_->streams.end()) return kMmInvalidHandle;
  if (header == nullptr) return kMmInvalidParam;
  if (!(header->flags & kWhdrPrepared)) return kWaveUnprepared;
  if (header->flags & kWhdrInQueue) return kWaveStillPlaying;
  enqueue(*found->second, header);
  feed(*found->second);
  return kMmNoError;
}

MMResult PulseWaveOut::unprepare(WaveOutHandle handle, WaveHeader* header) {
  LoopLock lock(state_->loop);
  if (!state_->streams.contains(handle)) return kMmInvalidHandle;
  if (header == nullptr) return kMmInvalidParam;
  if (header->flags & kWhdrInQueue) return kWaveStillPlaying;
  header->flags &= ~kWhdrPrepared;
  return kMmNoError;
}

MMResult PulseWaveOut::reset(WaveOutHandle handle) {
  LoopLock lock(state_->loop);
  const auto found = state_->streams.find(handle);
  if (found == state_->streams.end()) return kMmInvalidHandle;
  PulseStreamState& stream = *found->second;
  if (stream_ready(stream)) {
    pa_operation* flushed = pa_stream_flush(stream.stream, nullptr, nullptr);
    if (flushed != nullptr) pa_operation_unref(flushed);
  }
  for (WaveHeader* header : take_all(stream.queue)) {
    mark_done(header);
    deliver(stream, kMmWomDone, header);
  }
  return kMmNoError;
}

MMResult PulseWaveOut::close(WaveOutHandle handle) {
  LoopLock lock(state_->loop);
  const auto found = state_->streams.find(handle);
  if (found == state_->streams.end()) return kMmInvalidHandle;
  PulseStreamState& stream = *found->second;
  if (!stream.queue.headers.empty()) return kWaveStillPlaying;
  detach_stream(stream);
  deliver(stream, kMmWomClose);
  state_->streams.erase(found);
  return kMmNoError;
}

std::string PulseWaveOut::error_text(MMResult result) {
  LoopLock lock(state_->loop);
  if (result == state_->failure && result != kMmNoError) {
    return "The sound server refused the stream: " + state_->failure_text;
  }
  switch (result) {
    case kMmNoError:
      return "The operation completed successfully.";
    case kMmBadDeviceId:
      return "The sound server has one output, device 0.";
    case kMmInvalidHandle:
      return "The stream is not open.";
    case kMmInvalidParam:
      return "A buffer of the stream is missing.";
    case kWaveBadFormat:
      return "The sound server does not take this format.";
    case kWaveStillPlaying:
      return "The stream still has buffers queued.";
    case kWaveUnprepared:
      return "The buffer was not prepared.";
    default:
      return "Sound server error " + std::to_string(result) + ".";
  }
}

MMResult PulseWaveOut::device_id(WaveOutHandle handle, std::uint32_t* device) {
  LoopLock lock(state_->loop);
  if (!state_->streams.contains(handle)) return kMmInvalidHandle;
  if (device == nullptr) return kMmInvalidParam;
  *device = 0;
  return kMmNoError;
}

MMResult PulseWaveOut::set_volume(std::uint32_t device, std::uint32_t volume) {
  if (device != 0) return kMmBadDeviceId;
  LoopLock lock(state_->loop);
  state_->volume_word = volume;
  for (auto& [handle, stream] : state_->streams) apply_volume(*stream);
  return kMmNoError;
}

std::uint32_t PulseWaveOut::device_count() {
  return 1;
}

MMResult PulseWaveOut::device_caps(std::uint32_t device, WaveOutCaps* caps) {
  if (caps == nullptr) return kMmInvalidParam;
  if (device != 0) return kMmBadDeviceId;
  *caps = WaveOutCaps{};
  std::strncpy(caps->product_name, kProductName, sizeof caps->product_name - 1);
  caps->formats = kAllStandardFormats;
  caps->channels = 2;
  caps->support = kCapsVolume | kCapsLrVolume;
  return kMmNoError;
}

std::uint64_t PulseWaveOut::underrun_count() const {
  return state_->underruns.load();
}

std::uint64_t PulseWaveOut::connect_attempt_count() const {
  return state_->connect_attempts.load();
}

bool PulseWaveOut::device_lost() const {
  LoopLock lock(state_->loop);
  return std::any_of(state_->streams.begin(), state_->streams.end(),
                     [](const auto& entry) { return entry.second->lost; });
}

std::int64_t PulseWaveOut::sink_input_index(WaveOutHandle handle) const {
  LoopLock lock(state_->loop);
  const auto found = state_->streams.find(handle);
  if (found == state_->streams.end() || !stream_ready(*found->second)) return -1;
  return pa_stream_get_index(found->second->stream);
}

bool pulse_server_expected() {
  const ServerSockets places = server_sockets(server_environment());
  if (places.named) return true;
  struct stat info {};
  return !places.own.empty() && ::stat(places.own.c_str(), &info) == 0;
}

}  // namespace tq

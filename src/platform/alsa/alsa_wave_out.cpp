#include "platform/alsa/alsa_wave_out.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdarg>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/wave_out_rules.h"
#include "platform/alsa/alsa_stream.h"
#include "platform/alsa/device_space.h"
#include "platform/alsa/error_texts.h"

namespace tq {

namespace {

// ALSA prints its own complaints on stderr (a missing card, a plugin that
// cannot connect); the user is told through the service's result codes.
void ignore_alsa_message(const char*, int, const char*, int, const char*, ...) {}

struct OpenFailure {
  MMResult result = kMmNoError;
  std::string alsa_message;
  const OutputDevice* device = nullptr;  // a device of the list whose record failed
};

}  // namespace

struct AlsaWaveOut::State {
  explicit State(EventSink event_sink) : sink(std::move(event_sink)) {}

  DeviceEventSink sink;
  mutable std::mutex mutex;  // guards everything below
  std::vector<OutputDevice> devices;
  std::vector<std::optional<DeviceSpace>> spaces;  // per device, for this report
  std::map<std::uint32_t, std::uint32_t> volumes;  // device -> volume word
  std::map<WaveOutHandle, std::shared_ptr<AlsaStream>> streams;
  WaveOutHandle next_handle = 1;
  OpenFailure last_failure{};
  std::atomic<std::uint64_t> recoveries{0};
  std::atomic<std::uint64_t> reopen_attempts{0};

  void list_devices() {
    last_failure.device = nullptr;  // it points into the list
    devices = list_output_devices();
    spaces.assign(devices.size(), std::nullopt);
  }
  // Device 0 needs no list; any other number is looked up in the last one.
  std::optional<std::string> device_name(std::uint32_t device) {
    if (device == 0) return std::string(kDefaultDeviceName);
    if (devices.empty()) list_devices();
    if (device >= devices.size()) return std::nullopt;
    return devices[device].pcm;
  }
  std::shared_ptr<AlsaStream> stream(WaveOutHandle handle) {
    const auto it = streams.find(handle);
    return it == streams.end() ? nullptr : it->second;
  }
  std::uint32_t volume(std::uint32_t device) const {
    const auto it = volumes.find(device);
    return it == volumes.end() ? kUnityVolumeWord : it->second;
  }
  void note_failure(int alsa_error, bool device_opened) {
    last_failure = {result_for_alsa_error(alsa_error, device_opened), snd_strerror(alsa_error)};
  }
  void note_device_failure(std::uint32_t device) {
    note_failure(spaces[device]->open_error, false);
    last_failure.device = &devices[device];
  }
  // One space per device per report. A device our own stream holds
  // exclusively is answered from that stream's PCM.
  const DeviceSpace& space(std::uint32_t device) {
    if (devices.empty()) list_devices();
    std::optional<DeviceSpace>& cached = spaces[device];
    if (!cached) cached = probe_device_space(devices[device]);
    if (cached->open_error == -EBUSY) {
      for (const auto& [handle, open] : streams) {
        if (open->setup.device_name == devices[device].pcm) cached = open->space;
      }
    }
    return *cached;
  }
};

AlsaWaveOut::AlsaWaveOut(EventSink sink) : state_(std::make_unique<State>(std::move(sink))) {
  snd_lib_error_set_handler(ignore_alsa_message);
}

AlsaWaveOut::~AlsaWaveOut() {
  for (auto& [handle, stream] : state_->streams) close_alsa_stream(*stream, false);
}

MMResult AlsaWaveOut::open(WaveOutHandle* handle, std::uint32_t device, const WaveFormat& format,
                           NotifyTarget target, std::uint32_t flags) {
  if (flags & kWaveFormatQuery) return query_format(device, format);
  if (handle == nullptr) return kMmInvalidParam;
  if (!is_playable_format(format)) return kWaveBadFormat;
  std::lock_guard lock(state_->mutex);
  const std::optional<std::string> name = state_->device_name(device);
  if (!name) return kMmBadDeviceId;
  StreamSetup setup{*name,
                    device,
                    format,
                    target,
                    wants_events(flags),
                    &state_->sink,
                    state_->volume(device),
                    &state_->recoveries,
                    &state_->reopen_attempts};
  int alsa_error = 0;
  bool device_opened = false;
  std::unique_ptr<AlsaStream> stream = open_alsa_stream(setup, &alsa_error, &device_opened);
  if (!stream) {
    state_->note_failure(alsa_error, device_opened);
    return state_->last_failure.result;
  }
  *handle = state_->next_handle++;
  state_->streams.emplace(*handle, std::move(stream));
  return kMmNoError;
}

MMResult AlsaWaveOut::query_format(std::uint32_t device, const WaveFormat& format) {
  std::lock_guard lock(state_->mutex);
  if (state_->devices.empty()) state_->list_devices();
  if (device >= state_->devices.size()) return kMmBadDeviceId;
  if (!is_playable_format(format)) return kWaveBadFormat;
  return space_accepts(state_->space(device), format) ? kMmNoError : kWaveBadFormat;
}

MMResult AlsaWaveOut::prepare(WaveOutHandle handle, WaveHeader* header) {
  std::lock_guard lock(state_->mutex);
  if (!state_->stream(handle)) return kMmInvalidHandle;
  if (header == nullptr || (header->data == nullptr && header->buffer_length > 0)) {
    return kMmInvalidParam;
  }
  header->flags |= kWhdrPrepared;
  return kMmNoError;
}

MMResult AlsaWaveOut::write(WaveOutHandle handle, WaveHeader* header) {
  std::lock_guard lock(state_->mutex);
  const std::shared_ptr<AlsaStream> stream = state_->stream(handle);
  if (!stream) return kMmInvalidHandle;
  if (header == nullptr) return kMmInvalidParam;
  return queue_header(*stream, header);
}

MMResult AlsaWaveOut::unprepare(WaveOutHandle handle, WaveHeader* header) {
  std::lock_guard lock(state_->mutex);
  const std::shared_ptr<AlsaStream> stream = state_->stream(handle);
  if (!stream) return kMmInvalidHandle;
  if (header == nullptr) return kMmInvalidParam;
  return unprepare_header(*stream, header);
}

MMResult AlsaWaveOut::reset(WaveOutHandle handle) {
  std::shared_ptr<AlsaStream> stream;
  {
    std::lock_guard lock(state_->mutex);
    stream = state_->stream(handle);
  }
  if (!stream) return kMmInvalidHandle;
  if (on_writer_thread(*stream)) return kMmError;  // it would wait for itself
  reset_alsa_stream(*stream);
  return kMmNoError;
}

MMResult AlsaWaveOut::close(WaveOutHandle handle) {
  std::shared_ptr<AlsaStream> stream;
  {
    std::lock_guard lock(state_->mutex);
    stream = state_->stream(handle);
    if (!stream) return kMmInvalidHandle;
    if (on_writer_thread(*stream)) return kMmError;
    if (has_queued_buffers(*stream)) return kWaveStillPlaying;
    state_->streams.erase(handle);
  }
  close_alsa_stream(*stream, true);
  return kMmNoError;
}

std::string AlsaWaveOut::error_text(MMResult result) {
  std::lock_guard lock(state_->mutex);
  const OpenFailure& failure = state_->last_failure;
  if (failure.result != kMmNoError && failure.result == result) {
    if (failure.device == nullptr) return open_failure_text(result, failure.alsa_message);
    return device_failure_text(result, failure.device->description, failure.device->pcm,
                               failure.alsa_message);
  }
  return wave_out_error_text(result);
}

MMResult AlsaWaveOut::device_id(WaveOutHandle handle, std::uint32_t* device) {
  std::lock_guard lock(state_->mutex);
  const std::shared_ptr<AlsaStream> stream = state_->stream(handle);
  if (!stream) return kMmInvalidHandle;
  if (device == nullptr) return kMmInvalidParam;
  *device = stream->setup.device;
  return kMmNoError;
}

MMResult AlsaWaveOut::set_volume(std::uint32_t device, std::uint32_t volume) {
  std::lock_guard lock(state_->mutex);
  if (!state_->device_name(device)) return kMmBadDeviceId;
  state_->volumes[device] = volume;
  for (const auto& [handle, stream] : state_->streams) {
    if (stream->setup.device == device) stream->volume_word.store(volume);
  }
  return kMmNoError;
}

std::uint32_t AlsaWaveOut::device_count() {
  std::lock_guard lock(state_->mutex);
  state_->list_devices();
  return static_cast<std::uint32_t>(state_->devices.size());
}

MMResult AlsaWaveOut::device_caps(std::uint32_t device, WaveOutCaps* caps) {
  std::lock_guard lock(state_->mutex);
  if (caps == nullptr) return kMmInvalidParam;
  if (state_->devices.empty()) state_->list_devices();
  if (device >= state_->devices.size()) return kMmBadDeviceId;
  const DeviceSpace& space = state_->space(device);
  *caps = device_caps_for(state_->devices[device], space);
  if (space.open_error == 0) return kMmNoError;
  state_->note_device_failure(device);
  return state_->last_failure.result;
}

std::uint64_t AlsaWaveOut::recovery_count() const {
  return state_->recoveries.load();
}

std::uint64_t AlsaWaveOut::reopen_attempt_count() const {
  return state_->reopen_attempts.load();
}

bool AlsaWaveOut::device_lost() const {
  std::lock_guard lock(state_->mutex);
  for (const auto& [handle, stream] : state_->streams) {
    if (stream->lost.load()) return true;
  }
  return false;
}

}  // namespace tq

#pragma once
// A WaveOutService that plays nothing: it records every call, keeps the
// queue of written buffers in order, marks header flags as the platform
// does and fails chosen calls on request. Given an event sink, it reports
// OPEN, DONE, CLOSE and a loss of its device there as a real service does,
// on the caller's thread.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "audio/wave_out.h"
#include "audio/wave_out_rules.h"

namespace tq::testing {

struct FakeDevice {
  WaveOutCaps caps{};
  MMResult caps_result = kMmNoError;
  std::function<bool(std::uint32_t rate)> accepts = [](std::uint32_t) { return true; };
};

class RecordingWaveOut : public WaveOutService {
 public:
  static constexpr WaveOutHandle kHandle = 0x5150;

  MMResult open(WaveOutHandle* handle, std::uint32_t device, const WaveFormat& format,
                NotifyTarget target, std::uint32_t flags) override {
    log("open device=" + std::to_string(device) + " flags=" + hex(flags) +
        " rate=" + std::to_string(format.samples_per_sec) + " target=" + hex(target));
    if (const MMResult r = failure("open")) return r;
    *handle = kHandle;
    is_open = true;
    notify_target = target;
    notify = wants_events(flags);
    deliver(kMmWomOpen);
    return kMmNoError;
  }
  MMResult query_format(std::uint32_t device, const WaveFormat& format) override {
    if (on_query) on_query(device, format);
    if (device >= devices.size()) return kMmBadDeviceId;
    return devices[device].accepts(format.samples_per_sec) ? kMmNoError : kWaveBadFormat;
  }
  MMResult prepare(WaveOutHandle handle, WaveHeader* header) override {
    if (const MMResult r = act("prepare", handle, header)) return r;
    header->flags |= kWhdrPrepared;
    return kMmNoError;
  }
  MMResult write(WaveOutHandle handle, WaveHeader* header) override {
    if (const MMResult r = act("write", handle, header)) return r;
    if (!(header->flags & kWhdrPrepared)) return kWaveUnprepared;
    mark_queued(header);
    queue.push_back(header);
    written.emplace_back(header->data, header->data + header->buffer_length);
    return kMmNoError;
  }
  MMResult unprepare(WaveOutHandle handle, WaveHeader* header) override {
    if (const MMResult r = act("unprepare", handle, header)) return r;
    if (header->flags & kWhdrInQueue) return kWaveStillPlaying;
    header->flags &= ~kWhdrPrepared;
    return kMmNoError;
  }
  MMResult reset(WaveOutHandle handle) override {
    if (const MMResult r = act("reset", handle)) return r;
    while (!queue.empty()) finish_next();
    return kMmNoError;
  }
  MMResult close(WaveOutHandle handle) override {
    if (const MMResult r = act("close", handle)) return r;
    if (!queue.empty()) return kWaveStillPlaying;
    is_open = false;
    deliver(kMmWomClose);
    return kMmNoError;
  }
  std::string error_text(MMResult result) override {
    const auto it = error_texts.find(result);
    return it != error_texts.end() ? it->second : "error text " + std::to_string(result);
  }
  MMResult device_id(WaveOutHandle handle, std::uint32_t* device) override {
    if (const MMResult r = act("device_id", handle)) return r;
    *device = 0;
    return kMmNoError;
  }
  MMResult set_volume(std::uint32_t device, std::uint32_t volume) override {
    log("set_volume device=" + std::to_string(device) + " word=" + hex(volume));
    volumes.push_back(volume);
    return kMmNoError;
  }
  std::uint32_t device_count() override { return static_cast<std::uint32_t>(devices.size()); }
  MMResult device_caps(std::uint32_t device, WaveOutCaps* caps) override {
    if (device >= devices.size()) return kMmBadDeviceId;
    *caps = devices[device].caps;
    return devices[device].caps_result;
  }

  // The device finishes the oldest queued buffer; without an event sink
  // the test then hands the header to the stream as a DONE event.
  WaveHeader* finish_next() {
    WaveHeader* header = queue.front();
    queue.pop_front();
    mark_done(header);
    deliver(kMmWomDone, header);
    return header;
  }
  // The device goes away (its buffers stay queued) and comes back, each
  // reported once.
  void lose_device() {
    if (!device_lost) deliver(kDeviceLost);
    device_lost = true;
  }
  void bring_device_back() {
    if (device_lost) deliver(kDeviceBack);
    device_lost = false;
  }

  // Makes the n-th call (1-based) named `call` return `result`.
  void fail(const std::string& call, MMResult result, int nth = 1) {
    failures[{call, nth}] = result;
  }

  std::vector<std::string> calls;
  std::deque<WaveHeader*> queue;
  std::vector<std::vector<char>> written;  // content of every write
  std::vector<std::uint32_t> volumes;
  std::vector<FakeDevice> devices;
  bool is_open = false;
  bool device_lost = false;
  DeviceEventSink sink;                         // none: no events
  std::map<MMResult, std::string> error_texts;  // replaces "error text N" for a code
  // Called with each logged call as it is made, before it acts: lets a test
  // look at the rest of the program at that moment.
  std::function<void(const std::string& call)> on_call;
  // Called with every format query (they are not logged: there are thousands).
  std::function<void(std::uint32_t device, const WaveFormat& format)> on_query;

 private:
  void deliver(std::uint32_t message, WaveHeader* header = nullptr) {
    if (sink && notify) sink(notify_target, message, header);
  }
  void log(const std::string& call) {
    calls.push_back(call);
    if (on_call) on_call(call);
  }
  MMResult failure(const std::string& call) {
    const auto it = failures.find({call, ++counts[call]});
    return it == failures.end() ? kMmNoError : it->second;
  }
  // Logs a call on a stream ("write 1" names the header's user value), then
  // fails it if asked to, or if the handle is not the open stream's.
  MMResult act(const std::string& call, WaveOutHandle handle, const WaveHeader* header = nullptr) {
    log(header ? call + " " + std::to_string(header->user) : call);
    if (const MMResult r = failure(call)) return r;
    return handle == kHandle && is_open ? kMmNoError : kMmInvalidHandle;
  }
  static std::string hex(std::uintptr_t v) {
    std::ostringstream text;
    text << "0x" << std::hex << v;
    return text.str();
  }
  std::map<std::pair<std::string, int>, MMResult> failures;
  std::map<std::string, int> counts;
  NotifyTarget notify_target = 0;
  bool notify = false;
};

}  // namespace tq::testing

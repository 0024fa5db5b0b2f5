#pragma once
// What the tests of every wave-out service share: a private temporary
// folder, files and commands, an event log that the service's thread fills
// and that the test thread reads (and can hold the service's thread in),
// and buffers of the test's own.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "audio/wave_out.h"
#include "audio/wave_out_rules.h"

namespace tq::testing {

using namespace std::chrono_literals;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tq-test.XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes a new file and moves it into place, so that ALSA, which compares
// the inode and modification time, sees a changed configuration.
inline void replace_file(const std::filesystem::path& path, const std::string& text) {
  const std::filesystem::path fresh = path.string() + ".new";
  std::ofstream(fresh) << text;
  std::filesystem::rename(fresh, path);
}

// Runs a shell command and returns its standard output.
inline std::string command_output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) text += chunk;
  pclose(pipe);
  return text;
}

inline std::vector<char> read_bytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct DeviceEvent {
  NotifyTarget target = 0;
  std::uint32_t message = 0;
  WaveHeader* header = nullptr;
};

// The sink end of a service: every event in arrival order. `hold(message)`
// makes the service's thread wait inside the next delivery of that message
// until `release()`, so a test can act at a known point of the stream.
class EventLog {
 public:
  DeviceEventSink sink() {
    return [this](NotifyTarget target, std::uint32_t message, WaveHeader* header) {
      std::unique_lock lock(mutex_);
      events_.push_back({target, message, header});
      changed_.notify_all();
      if (held_message_ == message) {
        held_message_ = 0;
        holding_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !holding_; });
      }
    };
  }
  void hold(std::uint32_t message) {
    std::lock_guard lock(mutex_);
    held_message_ = message;
  }
  // Waits until the writer is held; false after `limit`.
  bool wait_held(std::chrono::milliseconds limit = 5000ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return holding_; });
  }
  void release() {
    std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
  }
  // Waits until `count` events of `message` have arrived.
  bool wait_count(std::uint32_t message, std::size_t count,
                  std::chrono::milliseconds limit = 5000ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return count_locked(message) >= count; });
  }
  std::size_t count(std::uint32_t message) {
    std::lock_guard lock(mutex_);
    return count_locked(message);
  }
  std::vector<DeviceEvent> events() {
    std::lock_guard lock(mutex_);
    return {events_.begin(), events_.end()};
  }
  // Takes the oldest event not taken yet, waiting up to `limit`.
  bool next(DeviceEvent* event, std::chrono::milliseconds limit = 5000ms) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, limit, [&] { return taken_ < events_.size(); })) return false;
    *event = events_[taken_++];
    return true;
  }

 private:
  std::size_t count_locked(std::uint32_t message) const {
    std::size_t n = 0;
    for (const DeviceEvent& event : events_) n += event.message == message ? 1 : 0;
    return n;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<DeviceEvent> events_;
  std::size_t taken_ = 0;
  std::uint32_t held_message_ = 0;
  bool holding_ = false;
};

// A buffer of frames that the test owns, with its header.
struct TestBuffer {
  explicit TestBuffer(std::vector<std::int16_t> stereo_samples, std::uintptr_t user = 0)
      : samples(std::move(stereo_samples)) {
    header.data = reinterpret_cast<char*>(samples.data());
    header.buffer_length = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
    header.user = user;
  }
  TestBuffer(const TestBuffer&) = delete;
  TestBuffer& operator=(const TestBuffer&) = delete;
  std::vector<std::int16_t> samples;
  WaveHeader header{};
};

inline std::vector<std::int16_t> constant_frames(std::size_t frames, std::int16_t left,
                                                 std::int16_t right) {
  std::vector<std::int16_t> samples(frames * 2);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    samples[2 * frame] = left;
    samples[2 * frame + 1] = right;
  }
  return samples;
}

inline std::vector<std::int16_t> as_samples(const std::vector<char>& bytes) {
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

inline MMResult open_default(WaveOutService& service, WaveOutHandle* handle) {
  return service.open(handle, 0, WaveFormat{}, 0x77, kCallbackWindow | kWaveAllowSync);
}

inline MMResult play(WaveOutService& service, WaveOutHandle handle, TestBuffer& buffer) {
  const MMResult prepared = service.prepare(handle, &buffer.header);
  return prepared != kMmNoError ? prepared : service.write(handle, &buffer.header);
}

}  // namespace tq::testing

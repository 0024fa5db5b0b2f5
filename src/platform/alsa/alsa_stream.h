#pragma once
// One open ALSA playback stream: its PCM, the queue of buffers written to
// it, and the writer thread that hands the queued buffers to ALSA in order,
// scaled by the stream's software gain.

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/output_level.h"
#include "audio/wave_out.h"
#include "audio/wave_out_rules.h"
#include "platform/alsa/device_space.h"
#include "platform/alsa/software_gain.h"

namespace tq {

// ALSA's ring: what the program changes is heard once the ring has played
// (a level change within about 100 ms of the ring plus the server's own
// delay), and the writer wakes about once a period (through PulseAudio,
// once per request of the server: every 33 ms with this ring on a null
// sink). Two 50 ms periods leave half the ring of slack when the machine
// is busy.
inline constexpr unsigned kRingMicroseconds = 100000;
inline constexpr unsigned kPeriodMicroseconds = 50000;
// While the device is away the writer tries to open it again this often:
// soon enough to play again within two seconds of its return, seldom enough
// that the wait costs no measurable processor time.
inline constexpr std::chrono::milliseconds kReopenInterval{1000};

struct StreamSetup {
  std::string device_name;
  std::uint32_t device = 0;
  WaveFormat format{};
  NotifyTarget target = 0;
  bool notify = false;                    // false: the opener asked for no events
  const DeviceEventSink* sink = nullptr;  // OPEN, CLOSE, DONE, lost and back, on the writer thread
  std::uint32_t volume_word = kUnityVolumeWord;
  std::atomic<std::uint64_t>* recoveries = nullptr;       // underruns and suspends recovered
  std::atomic<std::uint64_t>* reopen_attempts = nullptr;  // tries to open a lost device again
};

struct AlsaStream {
  StreamSetup setup;
  snd_pcm_t* pcm = nullptr;
  DeviceSpace space{};  // what the device accepts, read before the stream was set up
  SampleFormat sample_format = SampleFormat::signed16;
  std::uint32_t frame_bytes = 4;
  snd_pcm_uframes_t period_frames = 0;
  snd_pcm_uframes_t ring_frames = 0;
  int wake_fd = -1;  // wakes the writer out of its wait for ALSA

  std::atomic<std::uint32_t> volume_word{kUnityVolumeWord};
  // The device went away: the PCM is closed, the buffers stay queued and
  // the writer opens the device again every kReopenInterval until it plays.
  std::atomic<bool> lost{false};
  std::atomic<bool> silent{false};  // deliver no more events

  std::mutex mutex;  // guards the queue, the requests and the header flags
  std::condition_variable changed;
  std::deque<WaveHeader*> queue;
  std::size_t front_frames_played = 0;
  bool stop_requested = false;
  bool reset_requested = false;
  bool writer_done = false;

  std::thread writer;
  // The writer's own.
  GainRamp gain{};
  std::vector<unsigned char> scratch;
  std::chrono::steady_clock::time_point next_reopen{};
};

// Opens and sets up the PCM and starts the writer (which reports OPEN).
// Null on failure, with ALSA's negative error in *alsa_error and whether the
// device itself opened (and then refused the set-up) in *device_opened.
std::unique_ptr<AlsaStream> open_alsa_stream(const StreamSetup& setup, int* alsa_error,
                                             bool* device_opened);
// Appends a prepared header to the queue (flags: INQUEUE set, DONE clear).
MMResult queue_header(AlsaStream& stream, WaveHeader* header);
// WAVERR_STILLPLAYING while the header is queued; else clears PREPARED.
MMResult unprepare_header(AlsaStream& stream, WaveHeader* header);
// Drops pending sound and marks every queued buffer DONE before it returns;
// the writer reports each one just after.
void reset_alsa_stream(AlsaStream& stream);
bool has_queued_buffers(AlsaStream& stream);
// Ends the writer (which reports CLOSE unless `report_close` is false) and
// closes the PCM.
void close_alsa_stream(AlsaStream& stream, bool report_close);
// True when called on the stream's own writer thread.
bool on_writer_thread(const AlsaStream& stream);

}  // namespace tq

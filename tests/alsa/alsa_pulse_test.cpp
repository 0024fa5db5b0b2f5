// The service against a private PulseAudio daemon through ALSA's pulse
// plugin (scripts/pulse-env.sh starts it and names it in the environment).
// The null sink plays in real time; its monitor is recorded with parec and
// holds what was played bit for bit. Run against PulseAudio and against
// PipeWire's pipewire-pulse (tests/integration's fixtures). Without the daemon these tests skip.

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "alsa_test_support.h"
#include "app/generator.h"
#include "audio/output_level.h"
#include "audio/output_stream.h"
#include "doubles/recording_window.h"
#include "info/device_report.h"
#include "support/sound_server_support.h"
#include "synth/waveform.h"

namespace tq::testing {
namespace {

// Whether `heard` holds `wanted`, starting at `at`, every sample unchanged
// and in order, with nothing between them but silent frames the server
// played while the stream ran dry (a busy machine). Counts those frames.
bool heard_in_order(const std::vector<std::int16_t>& heard, std::size_t at,
                    const std::vector<std::int16_t>& wanted, std::size_t* silent_frames) {
  *silent_frames = 0;
  std::size_t next = 0;
  for (std::size_t sample = at; next < wanted.size() && sample + 1 < heard.size(); sample += 2) {
    if (heard[sample] == wanted[next] && heard[sample + 1] == wanted[next + 1]) {
      next += 2;
    } else if (heard[sample] == 0 && heard[sample + 1] == 0) {
      ++*silent_frames;
    } else {
      return false;
    }
  }
  return next == wanted.size();
}

struct SinkModule {
  std::string index;
  std::string arguments;
};

// Unloads the daemon's null sink; the caller loads it again with the same
// arguments.
SinkModule unload_sink_module() {
  const std::string modules = command_output("pactl list short modules");
  const std::size_t name = modules.find("\tmodule-null-sink\t");
  if (name == std::string::npos) return {};
  const std::size_t line = modules.rfind('\n', name);
  const std::size_t start = line == std::string::npos ? 0 : line + 1;
  const std::size_t arguments = name + std::strlen("\tmodule-null-sink\t");
  SinkModule sink{modules.substr(start, name - start),
                  modules.substr(arguments, modules.find('\n', arguments) - arguments)};
  command_output("pactl unload-module " + sink.index);
  return sink;
}

// Loads the sink again for the tests that follow, however this one ends.
struct SinkRestorer {
  SinkModule sink;
  ~SinkRestorer() { command_output("pactl load-module module-null-sink " + sink.arguments); }
};

double process_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class AlsaPulseTest : public MonitorRecordingTest<AlsaWaveOut> {
 protected:
  void SetUp() override {
    const std::string config = environment("TQ_ALSA_PULSE_CONF");
    if (config.empty() || environment("TQ_PULSE_MONITOR").empty()) {
      // The test command demands the daemon; a plain run may go without.
      if (!environment("TQ_REQUIRE_PULSE").empty()) FAIL() << "no private PulseAudio daemon";
      GTEST_SKIP() << "no private PulseAudio daemon (run under scripts/pulse-env.sh)";
    }
    use_alsa_config(config);
    start_recording();
  }
};

TEST_F(AlsaPulseTest, CoreStreamIsHeardBitExactInRealTime) {
  RecordingWindow window;
  Generator generator(service, window);
  set_test_signal(generator);
  events.hold(kMmWomOpen);
  ASSERT_TRUE(open_output_stream(generator.stream, service, 0x77).opened);
  ASSERT_TRUE(events.wait_held());
  apply_output_levels(service, 0.0, 0.0);
  events.release();

  const GeneratorRun run = play_generator_stream(generator, events, *recorder);
  ASSERT_EQ(run.done, 8u);
  // Two silent blocks and six rendered ones were handed over at the pace of
  // playing, not faster.
  EXPECT_GT(run.seconds, 7 * 0.1858 * 0.8);
  const std::size_t at = run.rendered_at();
  ASSERT_NE(at, std::string::npos) << "the first rendered block is not in the recording";
  // The content, not the timing: a busy machine may keep the writer from
  // the ring long enough for the server to play silence in between.
  std::size_t silent_frames = 0;
  EXPECT_TRUE(heard_in_order(run.heard, at, run.rendered, &silent_frames));
  std::printf("frames of silence between the rendered ones: %zu\n", silent_frames);
  EXPECT_TRUE(silent_before(run.heard, at, 2 * kBlockSamples)) << "at sample " << at;
}

TEST_F(AlsaPulseTest, ResetDropsWhatIsStillToPlay) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(service.set_volume(0, kUnityVolumeWord), kMmNoError);
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (const int value : {1000, 2000, 3000, 4000}) {
    buffers.push_back(std::make_unique<TestBuffer>(
        constant_frames(8192, static_cast<std::int16_t>(value), static_cast<std::int16_t>(value))));
    ASSERT_EQ(play(service, handle, *buffers.back()), kMmNoError);
  }
  ASSERT_TRUE(events.wait_count(kMmWomDone, 1, 3000ms));
  // Every buffer back by the reset: tests/contract.
  ASSERT_EQ(service.reset(handle), kMmNoError);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(service.close(handle), kMmNoError);
  const std::vector<std::int16_t> heard = recorder->stop();
  // The first buffer was playing: all of it but what the drop took from the
  // ring; of the third and fourth nothing.
  EXPECT_GT(std::count(heard.begin(), heard.end(), 1000), 2 * (8192 - 4410));
  for (const std::int16_t never : {std::int16_t{3000}, std::int16_t{4000}}) {
    EXPECT_EQ(std::count(heard.begin(), heard.end(), never), 0) << never;
  }
}

TEST_F(AlsaPulseTest, LevelChangeWhilePlayingIsAShortRamp) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(service.set_volume(0, kUnityVolumeWord), kMmNoError);
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (int i = 0; i < 2; ++i) {
    buffers.push_back(std::make_unique<TestBuffer>(constant_frames(4410, 8000, -8000)));
  }
  circulate(service, events, handle, buffers, 8, [&](std::size_t done) {
    if (done == 3) service.set_volume(0, 32000 | (32000u << 16));
  });
  std::this_thread::sleep_for(200ms);
  service.reset(handle);
  service.close(handle);
  const std::vector<std::int16_t> heard = recorder->stop();
  std::size_t loud = 0;
  std::size_t quiet = 0;
  std::size_t between = 0;
  std::int16_t last = 8000;
  for (std::size_t frame = 0; frame < heard.size() / 2; ++frame) {
    const std::int16_t left = heard[2 * frame];
    if (left == 0) continue;  // before and after playing
    EXPECT_EQ(heard[2 * frame + 1], -left) << frame;
    EXPECT_LE(left, last) << "the level only falls, frame " << frame;
    last = left;
    loud += left == 8000;
    quiet += left == 4000;
    between += left != 8000 && left != 4000;
  }
  EXPECT_GT(loud, 3 * 4410u - 300);
  EXPECT_GT(quiet, 3 * 4410u);
  EXPECT_GE(between, 100u);  // a ramp, not a step
  EXPECT_LE(between, 220u);  // of at most 5 ms
}

TEST_F(AlsaPulseTest, UnderrunIsRecoveredAndCounted) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  TestBuffer first(constant_frames(4410, 100, 100));
  TestBuffer second(constant_frames(4410, 200, 200));
  ASSERT_EQ(play(service, handle, first), kMmNoError);
  ASSERT_TRUE(events.wait_count(kMmWomDone, 1, 3000ms));
  const std::uint64_t before = service.recovery_count();
  std::this_thread::sleep_for(400ms);  // the ring runs dry
  ASSERT_EQ(play(service, handle, second), kMmNoError);
  ASSERT_TRUE(events.wait_count(kMmWomDone, 2, 3000ms));
  EXPECT_GT(service.recovery_count(), before);
  EXPECT_FALSE(service.device_lost());
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(service.close(handle), kMmNoError);
  EXPECT_NE(find_samples(recorder->stop(), constant_frames(4410, 200, 200)), std::string::npos);
}

// The server drops our stream (its sink is gone) while buffers are being
// played: the loss is reported once, the buffers stop coming back, the
// writer waits without using the processor, reset and close still work.
TEST_F(AlsaPulseTest, LostStreamWaitsQuietly) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (int i = 0; i < 2; ++i) {
    buffers.push_back(std::make_unique<TestBuffer>(constant_frames(44100, 300, 300)));
    ASSERT_EQ(play(service, handle, *buffers.back()), kMmNoError);
  }
  ASSERT_TRUE(events.wait_count(kMmWomOpen, 1));
  // Without its sink the server has nowhere to move the stream and ends it.
  const SinkModule sink = unload_sink_module();
  ASSERT_FALSE(sink.index.empty()) << "no null sink module";
  const SinkRestorer restorer{sink};
  ASSERT_TRUE(events.wait_count(kDeviceLost, 1, 1500ms)) << "the loss was not reported";
  const std::size_t done = events.count(kMmWomDone);
  const double cpu_before = process_cpu_seconds();
  std::this_thread::sleep_for(1000ms);
  EXPECT_LT(process_cpu_seconds() - cpu_before, 0.2);  // waiting, not spinning
  EXPECT_EQ(events.count(kMmWomDone), done);
  EXPECT_EQ(events.count(kDeviceLost), 1u);
  EXPECT_EQ(service.reset(handle), kMmNoError);
  EXPECT_EQ(service.close(handle), kMmNoError);
  EXPECT_EQ(events.events().back().message, kMmWomClose);
}

TEST_F(AlsaPulseTest, ProbeFindsTheServersRangeAlsoWhileOurStreamPlays) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  TestBuffer buffer(constant_frames(8192, 0, 0));
  ASSERT_EQ(play(service, handle, buffer), kMmNoError);
  const std::string report = device_report_text(service);
  EXPECT_NE(report.find("\nDevice id=0\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Product name = default\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Max playback rate =384000 : This device is compatible with tq_daro\n"),
            std::string::npos)
      << report;
  WaveFormat absurd{};
  absurd.samples_per_sec = 999900;
  absurd.avg_bytes_per_sec = 999900 * 4;
  EXPECT_EQ(service.query_format(0, absurd), kWaveBadFormat);
  EXPECT_EQ(service.query_format(0, WaveFormat{}), kMmNoError);
  ASSERT_EQ(service.reset(handle), kMmNoError);
  ASSERT_EQ(service.close(handle), kMmNoError);
}

}  // namespace
}  // namespace tq::testing

// The service against the fixture's server (PULSE_SERVER, PULSE_SINK and
// TQ_PULSE_MONITOR name it; tests/integration starts it). Its null sink
// plays in real time; parec records the sink's monitor, which holds what
// the server mixed. Without a server these tests skip, unless
// TQ_REQUIRE_PULSE says one must be there.

#include <atomic>
#include <thread>

#include "app/generator.h"
#include "audio/output_level.h"
#include "audio/output_stream.h"
#include "doubles/recording_window.h"
#include "platform/pulse/pulse_wave_out.h"
#include "pulse_test_support.h"
#include "synth/waveform.h"

namespace tq::testing {
namespace {

class PulseServerTest : public MonitorRecordingTest<PulseWaveOut> {
 protected:
  void SetUp() override {
    if (environment("PULSE_SERVER").empty() || environment("TQ_PULSE_MONITOR").empty()) {
      if (!environment("TQ_REQUIRE_PULSE").empty()) FAIL() << "no sound server named";
      GTEST_SKIP() << "no sound server named (PULSE_SERVER, TQ_PULSE_MONITOR)";
    }
    start_recording();
  }

  std::vector<std::unique_ptr<TestBuffer>> constant_buffers(std::size_t count, std::int16_t left,
                                                            std::int16_t right) {
    std::vector<std::unique_ptr<TestBuffer>> buffers;
    for (std::size_t i = 0; i < count; ++i) {
      buffers.push_back(std::make_unique<TestBuffer>(constant_frames(8192, left, right)));
    }
    return buffers;
  }
};

// The generator's own stream: two silent buffers, then six rendered ones,
// found bit for bit in the monitor; a buffer comes back only when the
// server asks for its room, so at the pace of playing.
TEST_F(PulseServerTest, CoreStreamIsHeardBitExact) {
  RecordingWindow window;
  Generator generator(service, window);
  set_test_signal(generator);
  apply_output_levels(service, 0.0, 0.0);
  ASSERT_TRUE(open_output_stream(generator.stream, service, 0x77).opened);
  apply_output_levels(service, 0.0, 0.0);  // over the start-up silence

  const GeneratorRun run = play_generator_stream(generator, events, *recorder);
  ASSERT_EQ(run.done, 8u);
  EXPECT_GT(run.seconds, 7 * 0.1858 * 0.8);
  const std::size_t at = run.rendered_at();
  ASSERT_NE(at, std::string::npos) << "the first rendered block is not in the recording";
  ASSERT_GE(run.heard.size(), at + run.rendered.size());
  EXPECT_TRUE(std::equal(run.rendered.begin(), run.rendered.end(), run.heard.begin() + at));
  EXPECT_TRUE(silent_before(run.heard, at, 2 * kBlockSamples)) << "at sample " << at;
}

// The stream as the desktop's volume control shows it.
TEST_F(PulseServerTest, StreamCarriesTheProgramsIdentity) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  const std::string listing = sink_input_listing(service.sink_input_index(handle));
  for (const char* property :
       {"application.name = \"Tonquill\"", "application.icon_name = \"tonquill\"",
        "application.id = \"tonquill\"", "application.process.binary = \"pulse_tests\"",
        "media.role = \"production\"", "media.name = \"Generator output\""}) {
    EXPECT_NE(listing.find(property), std::string::npos) << property << "\n" << listing;
  }
  ASSERT_EQ(service.close(handle), kMmNoError);
}

// PipeWire runs its whole graph in cycles of the smallest latency a stream
// asks for: the stream asks for the server's usual 1024 frames, never a
// shorter cycle for every stream on the server. (PulseAudio has no graph
// cycle: a sink's latency is the smallest its streams ask for, here the
// recorder's.)
TEST_F(PulseServerTest, StreamKeepsTheGraphsUsualCycle) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  const std::string listing = sink_input_listing(service.sink_input_index(handle));
  ASSERT_EQ(service.close(handle), kMmNoError);
  if (listing.find("node.latency") == std::string::npos) GTEST_SKIP() << "not a PipeWire server";
  EXPECT_NE(listing.find("node.latency = \"1024/44100\""), std::string::npos) << listing;
}

TEST_F(PulseServerTest, ResetDropsWhatIsStillToPlay) {
  WaveOutHandle handle = 0;
  ASSERT_EQ(service.set_volume(0, kUnityVolumeWord), kMmNoError);
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (int value = 1; value <= 8; ++value) {
    const auto sample = static_cast<std::int16_t>(1000 * value);
    buffers.push_back(std::make_unique<TestBuffer>(constant_frames(8192, sample, sample)));
    ASSERT_EQ(play(service, handle, *buffers.back()), kMmNoError);
  }
  ASSERT_TRUE(events.wait_count(kMmWomDone, 1, 3000ms));
  const std::size_t played = events.count(kMmWomDone);
  // Every buffer back by the reset: tests/contract.
  ASSERT_EQ(service.reset(handle), kMmNoError);
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(service.close(handle), kMmNoError);
  const std::vector<std::int16_t> heard = recorder->stop();
  EXPECT_NE(find_run(heard, 1000, 1000, 0, 8192 - 2205), std::string::npos) << "the first buffer";
  // The server held at most two buffers past those played; a buffer one
  // more than that had not been sent when the reset dropped the rest.
  for (std::size_t later = played + 4; later <= 8; ++later) {
    const auto value = static_cast<std::int16_t>(1000 * later);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), value), 0) << value;
  }
}

// The device volume word is the stream's volume on the server, per
// channel: unity leaves the samples as they are, 0 is silence, a level
// above unity plays at unity, and the sink's own volume stays.
TEST_F(PulseServerTest, LevelPerChannelIsTheStreamsOwnVolume) {
  struct Step {
    std::uint32_t word;
    int left, right, tolerance;
  };
  const std::vector<Step> steps = {
      {kUnityVolumeWord, 8000, -8000, 0},
      {32000 | (16000u << 16), 4000, -2000, 2},
      {0, 0, 0, 0},
      {0xFFFF | (0xFFFFu << 16), 8000, -8000, 0},
      {64000 | (6400u << 16), 8000, -800, 2},
  };
  const std::string sink_before = command_output("pactl get-sink-volume @DEFAULT_SINK@");
  WaveOutHandle handle = 0;
  ASSERT_EQ(service.set_volume(0, steps[0].word), kMmNoError);
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  auto buffers = constant_buffers(2, 8000, -8000);
  // Each level for four buffers, set as a buffer comes back.
  circulate(service, events, handle, buffers, 4 * steps.size() + 1, [&](std::size_t done) {
    if (done % 4 == 0 && done / 4 < steps.size()) service.set_volume(0, steps[done / 4].word);
  });
  service.reset(handle);
  service.close(handle);
  const std::vector<std::int16_t> heard = recorder->stop();
  // The levels in turn, each for at least a buffer's time (of the four it
  // plays: a cycle the server skips on a busy machine may split them).
  std::size_t from = 0;
  for (const Step& step : steps) {
    from = find_run(heard, step.left, step.right, step.tolerance, 8192, from);
    ASSERT_NE(from, std::string::npos) << step.left << " " << step.right;
  }
  EXPECT_EQ(command_output("pactl get-sink-volume @DEFAULT_SINK@"), sink_before);
}

// Moved to another sink while it plays, the stream plays on there with no
// loss reported, its buffers still coming back. On PipeWire the session
// manager carries out the move, on a busy machine late or (for a stream
// that has just started) now and then not at all: asked again every four
// buffers until the server shows it there, six buffers later moved back.
TEST_F(PulseServerTest, MovedStreamPlaysOnOnTheOtherSink) {
  const std::string module = command_output(
      "pactl load-module module-null-sink sink_name=tq_moved rate=44100 channels=2 format=s16le");
  ASSERT_FALSE(module.empty());
  Recorder moved(dir / "moved.raw", "tq_moved.monitor");
  ASSERT_TRUE(moved.wait_running());
  WaveOutHandle handle = 0;
  ASSERT_EQ(service.set_volume(0, kUnityVolumeWord), kMmNoError);
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  auto buffers = constant_buffers(2, 1234, -1234);
  const std::int64_t index = service.sink_input_index(handle);
  const std::string moved_there = "Sink: " + sink_index("tq_moved") + "\n";
  std::size_t moved_at = 0;  // buffers done when the server showed it there
  circulate(service, events, handle, buffers, 20, [&](std::size_t done) {
    const std::string move = "pactl move-sink-input " + std::to_string(index) + " ";
    if (moved_at == 0 && done % 4 == 3) command_output(move + "tq_moved");
    if (done >= 3 && moved_at == 0 &&
        sink_input_listing(index).find(moved_there) != std::string::npos) {
      moved_at = done;
    }
    if (moved_at != 0 && done == moved_at + 6) command_output(move + environment("PULSE_SINK"));
  });
  service.reset(handle);
  service.close(handle);
  command_output("pactl unload-module " + module);
  EXPECT_EQ(events.count(kDeviceLost), 0u);
  ASSERT_NE(moved_at, 0u) << "the server never showed the stream on the other sink";
  EXPECT_EQ(events.count(kMmWomDone), 20u);
  // Up to six buffers played there; a cycle the server skips may split them.
  EXPECT_NE(find_run(moved.stop(), 1234, -1234, 0, 2 * 8192), std::string::npos);
  EXPECT_NE(find_run(recorder->stop(), 1234, -1234, 0, 2 * 8192), std::string::npos);
}

// A buffer refilled on the service's thread is queued again and sent in
// the same answer to the server: played on in the order refilled, with no
// DONE, until the refill declines and the buffers come back as DONE.
TEST_F(PulseServerTest, BufferRefilledOnTheServicesThreadPlaysOnWithoutDone) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> refills{0};
  std::atomic<bool> on_caller{false};
  PulseWaveOut refilling(events.sink(), [&](NotifyTarget, WaveHeader* header) {
    on_caller = on_caller || std::this_thread::get_id() == caller;
    if (refills == 4) return false;
    auto* samples = reinterpret_cast<std::int16_t*>(header->data);
    std::fill(samples, samples + header->buffer_length / 2,
              static_cast<std::int16_t>(1000 * (3 + refills++)));
    return true;
  });
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(refilling, &handle), kMmNoError);
  auto buffers = constant_buffers(2, 2000, 2000);
  for (auto& buffer : buffers) ASSERT_EQ(play(refilling, handle, *buffer), kMmNoError);
  ASSERT_TRUE(events.wait_count(kMmWomDone, 2, 5000ms));
  EXPECT_EQ(refills, 4);
  EXPECT_FALSE(on_caller);
  ASSERT_EQ(refilling.close(handle), kMmNoError);
  const std::vector<std::int16_t> heard = recorder->stop();
  std::size_t at = 0;
  for (const int value : {2000, 3000, 4000, 5000, 6000}) {
    at = find_run(heard, value, value, 0, 8192 - 2205, at);
    ASSERT_NE(at, std::string::npos) << value;
  }
}

TEST_F(PulseServerTest, OneDeviceThatTakesAnyPcmFormatUpToTheServersRate) {
  EXPECT_EQ(service.device_count(), 1u);
  WaveOutCaps caps{};
  ASSERT_EQ(service.device_caps(0, &caps), kMmNoError);
  EXPECT_STREQ(caps.product_name, "Sound server (PulseAudio)");
  EXPECT_EQ(caps.support, kCapsVolume | kCapsLrVolume);
  WaveFormat format{};
  format.samples_per_sec = 384000;
  format.avg_bytes_per_sec = 384000 * 4;
  EXPECT_EQ(service.query_format(0, format), kMmNoError);
  format.samples_per_sec = 384100;
  format.avg_bytes_per_sec = 384100 * 4;
  EXPECT_EQ(service.query_format(0, format), kWaveBadFormat);
  EXPECT_EQ(service.query_format(1, WaveFormat{}), kMmBadDeviceId);
}

}  // namespace
}  // namespace tq::testing

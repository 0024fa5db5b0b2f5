// The service with a pulseaudio daemon of the test's own (its socket in a
// temporary folder): killed while the stream plays and started again on
// the same socket, not there yet when the stream opens, our stream killed
// on it, and a daemon with flat volumes. Skips where pulseaudio is not
// installed. The loss reported once, the playing on after it, and a reset
// and close while away are the rules every service keeps (tests/contract).

#include <thread>

#include "audio/output_level.h"
#include "platform/pulse/pulse_wave_out.h"
#include "pulse_test_support.h"

namespace tq::testing {
namespace {

constexpr std::uint32_t kHalfAndQuarter = 32000 | (16000u << 16);

class PulseLostServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pulseaudio_installed()) GTEST_SKIP() << "pulseaudio is not installed";
    daemon.use();
  }
  void TearDown() override {
    if (handle != 0) {
      EXPECT_EQ(service.reset(handle), kMmNoError);
      EXPECT_EQ(service.close(handle), kMmNoError);
    }
    daemon.stop();
    saved_environment.restore();
  }

  void open_and_play() {
    ASSERT_EQ(service.set_volume(0, kHalfAndQuarter), kMmNoError);
    ASSERT_EQ(open_default(service, &handle), kMmNoError);
    for (int i = 0; i < 2; ++i) {
      buffers.push_back(std::make_unique<TestBuffer>(constant_frames(8192, 500, -500)));
      ASSERT_EQ(play(service, handle, *buffers.back()), kMmNoError);
    }
  }
  bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return tq::testing::pump_until(service, events, handle, done, limit);
  }
  void pump_for(std::chrono::milliseconds time) {
    pump_until([] { return false; }, time);
  }
  bool plays_on(std::size_t count = 3) {
    const std::size_t target = events.count(kMmWomDone) + count;
    return pump_until([&] { return events.count(kMmWomDone) >= target; }, 3000ms);
  }
  bool reported(std::uint32_t message, std::size_t count, std::chrono::milliseconds limit) {
    return pump_until([&] { return events.count(message) >= count; }, limit);
  }
  // The server's volume of our stream, as pactl shows it.
  std::string stream_volume_shown() {
    const std::string listing = sink_input_listing(service.sink_input_index(handle));
    const std::size_t at = listing.find("\tVolume: ");
    return at == std::string::npos ? "" : listing.substr(at, listing.find('\n', at) - at);
  }

  SavedPulseEnvironment saved_environment;
  TempDir dir;
  PrivateDaemon daemon{dir};
  EventLog events;
  PulseWaveOut service{events.sink()};
  WaveOutHandle handle = 0;
  std::vector<std::unique_ptr<TestBuffer>> buffers;
};

// The loss itself and the playing on after it are the rules every service
// keeps (tests/contract); the new stream on the server is this service's.
TEST_F(PulseLostServerTest, NewStreamAfterTheServerIsBackHasTheSameLevel) {
  ASSERT_TRUE(daemon.start());
  open_and_play();
  ASSERT_TRUE(plays_on());
  const std::string volume = stream_volume_shown();
  EXPECT_NE(volume.find("front-left: 52016 /  79%"), std::string::npos) << volume;
  daemon.stop();
  ASSERT_TRUE(reported(kDeviceLost, 1, 1500ms)) << "no loss reported";
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(reported(kDeviceBack, 1, 2000ms)) << "not back within 2 s of the server";
  EXPECT_TRUE(plays_on());
  EXPECT_EQ(stream_volume_shown(), volume) << "the same level on the new stream";
}

TEST_F(PulseLostServerTest, StreamOpenedBeforeTheServerPlaysOnceItAnswers) {
  open_and_play();
  ASSERT_TRUE(reported(kDeviceLost, 1, 1000ms)) << "the wait is not reported";
  EXPECT_EQ(events.events().front().message, kMmWomOpen);
  pump_for(1500ms);
  EXPECT_EQ(events.count(kDeviceLost), 1u);
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(reported(kDeviceBack, 1, 2000ms)) << "not playing within 2 s of the server";
  EXPECT_TRUE(plays_on());
}

TEST_F(PulseLostServerTest, KilledStreamComesBackOnTheSameServer) {
  ASSERT_TRUE(daemon.start());
  open_and_play();
  ASSERT_TRUE(plays_on());
  const std::int64_t killed = service.sink_input_index(handle);
  ASSERT_GE(killed, 0);
  ASSERT_TRUE(kill_sink_input(static_cast<std::uint32_t>(killed)));
  ASSERT_TRUE(reported(kDeviceLost, 1, 1500ms));
  ASSERT_TRUE(reported(kDeviceBack, 1, 2500ms));
  EXPECT_NE(service.sink_input_index(handle), killed);
  EXPECT_TRUE(plays_on());
  EXPECT_EQ(events.count(kDeviceLost), 1u);
}

// A stream the user moved to another sink comes back there after it was
// killed, and on the default sink when the server starts again without it.
TEST_F(PulseLostServerTest, StreamComesBackOnTheSinkItWasMovedToWhileThatIsThere) {
  ASSERT_TRUE(daemon.start());
  ASSERT_FALSE(command_output("pactl load-module module-null-sink sink_name=tq_moved").empty());
  const std::string moved_sink = "Sink: " + sink_index("tq_moved") + "\n";
  open_and_play();
  ASSERT_TRUE(plays_on());
  const std::string index = std::to_string(service.sink_input_index(handle));
  command_output("pactl move-sink-input " + index + " tq_moved");
  ASSERT_TRUE(plays_on(1));
  ASSERT_TRUE(kill_sink_input(static_cast<std::uint32_t>(service.sink_input_index(handle))));
  ASSERT_TRUE(reported(kDeviceBack, 1, 2500ms));
  EXPECT_NE(sink_input_listing(service.sink_input_index(handle)).find(moved_sink),
            std::string::npos);

  daemon.stop();
  ASSERT_TRUE(reported(kDeviceLost, 2, 1500ms));
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(reported(kDeviceBack, 2, 2000ms)) << "not back on the default sink within 2 s";
  EXPECT_TRUE(plays_on());
}

// With flat volumes the server raises a sink to its loudest stream: our
// stream, at full level or less, stays at or below the sink's volume.
TEST_F(PulseLostServerTest, FlatVolumeSinkIsNotRaised) {
  PrivateDaemon flat(dir, true);
  daemon.stop();
  flat.use();
  ASSERT_TRUE(flat.start());
  command_output("pactl set-sink-volume tq_own 50%");
  const std::string sink_volume = command_output("pactl get-sink-volume tq_own");
  ASSERT_NE(sink_volume.find("/  50%"), std::string::npos) << sink_volume;
  for (const std::uint32_t word : {kUnityVolumeWord, 0xFFFFu | (0xFFFFu << 16), kHalfAndQuarter}) {
    ASSERT_EQ(service.set_volume(0, word), kMmNoError);
    if (handle == 0) {
      ASSERT_EQ(open_default(service, &handle), kMmNoError);
      buffers.push_back(std::make_unique<TestBuffer>(constant_frames(8192, 500, -500)));
      buffers.push_back(std::make_unique<TestBuffer>(constant_frames(8192, 500, -500)));
      for (auto& buffer : buffers) ASSERT_EQ(play(service, handle, *buffer), kMmNoError);
    }
    EXPECT_TRUE(plays_on(2));
    EXPECT_EQ(command_output("pactl get-sink-volume tq_own"), sink_volume) << std::hex << word;
  }
  // Half of the sink's half on the left (the server shows it absolute).
  const std::string volume = stream_volume_shown();
  EXPECT_NE(volume.find("front-left: 26008 /  40%"), std::string::npos) << volume;
  EXPECT_EQ(service.reset(handle), kMmNoError);
  EXPECT_EQ(service.close(handle), kMmNoError);
  handle = 0;
  flat.stop();
}

}  // namespace
}  // namespace tq::testing

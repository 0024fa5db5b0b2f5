// The service when its device goes away and comes back: a PulseAudio
// daemon of the test's own (its socket in a temporary folder) is killed
// while the stream plays and started again on the same socket. Skips where
// pulseaudio is not installed. The loss reported once, the playing on after
// it, and a reset and close while away are the rules every service keeps
// (tests/contract); here what only ALSA does.

#include <memory>

#include "alsa_test_support.h"
#include "support/sound_server_support.h"

namespace tq::testing {
namespace {

class AlsaLostDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pulseaudio_installed()) GTEST_SKIP() << "pulseaudio is not installed";
    // The test's own daemon, also where another one is named for the process.
    daemon.use();
    use_daemon_config();
    use_alsa_config(dir / "asound.conf");
    ASSERT_TRUE(daemon.start()) << "the private PulseAudio daemon does not answer";
    service = std::make_unique<AlsaWaveOut>(events.sink());
    ASSERT_EQ(open_default(*service, &handle), kMmNoError);
    for (int i = 0; i < 2; ++i) {
      buffers.push_back(std::make_unique<TestBuffer>(constant_frames(2205, 500, -500)));
      ASSERT_EQ(play(*service, handle, *buffers.back()), kMmNoError);
    }
  }
  void TearDown() override {
    if (service) {
      EXPECT_EQ(service->reset(handle), kMmNoError);
      EXPECT_EQ(service->close(handle), kMmNoError);
    }
    saved_environment.restore();
  }

  // The default PCM plays into the test's daemon.
  void use_daemon_config() {
    replace_file(dir / "asound.conf",
                 "pcm.!default { type pulse server \"" + daemon.server() + "\" }\n");
  }
  // The default PCM opens but takes no 16-bit samples: a device that is back
  // but refuses the stream's format.
  void use_refusing_config() {
    replace_file(dir / "asound.conf",
                 "pcm.!default { type mulaw slave { pcm { type null } format S16_LE } }\n");
  }

  bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return tq::testing::pump_until(*service, events, handle, done, limit);
  }
  bool pump_for(std::chrono::milliseconds time) {
    return !pump_until([] { return false; }, time);
  }
  // Waits for `count` DONE events more than there are now.
  bool plays_on(std::size_t count = 4, std::chrono::milliseconds limit = 3000ms) {
    const std::size_t target = events.count(kMmWomDone) + count;
    return pump_until([&] { return events.count(kMmWomDone) >= target; }, limit);
  }
  bool reported(std::uint32_t message, std::size_t count, std::chrono::milliseconds limit) {
    return pump_until([&] { return events.count(message) >= count; }, limit);
  }
  // Lost and back take turns, starting with lost.
  void expect_lost_and_back_alternate() {
    std::uint32_t last = kDeviceBack;
    for (const DeviceEvent& event : events.events()) {
      if (event.message != kDeviceLost && event.message != kDeviceBack) continue;
      EXPECT_NE(event.message, last)
          << "two " << (last == kDeviceLost ? "losses" : "returns") << " in a row";
      last = event.message;
    }
  }

  SavedPulseEnvironment saved_environment;
  TempDir dir;
  PrivateDaemon daemon{dir};
  EventLog events;
  std::unique_ptr<AlsaWaveOut> service;
  WaveOutHandle handle = 0;
  std::vector<std::unique_ptr<TestBuffer>> buffers;
};

TEST_F(AlsaLostDeviceTest, DeviceBackButRefusingTheFormatIsTriedAgainCalmly) {
  ASSERT_TRUE(plays_on());
  use_refusing_config();
  daemon.stop();
  ASSERT_TRUE(reported(kDeviceLost, 1, 1500ms));
  const std::uint64_t attempts = service->reopen_attempt_count();
  pump_for(3000ms);
  const std::uint64_t tried = service->reopen_attempt_count() - attempts;
  EXPECT_GE(tried, 2u);
  EXPECT_LE(tried, 4u);
  EXPECT_EQ(events.count(kDeviceBack), 0u);
  EXPECT_TRUE(service->device_lost());

  use_daemon_config();
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(reported(kDeviceBack, 1, 2000ms));
  EXPECT_TRUE(plays_on());
}

TEST_F(AlsaLostDeviceTest, BackAndGoneAgainWithinASecondStillPlaysOn) {
  ASSERT_TRUE(plays_on());
  daemon.stop();
  ASSERT_TRUE(reported(kDeviceLost, 1, 1500ms));
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(reported(kDeviceBack, 1, 2000ms));
  pump_for(200ms);
  daemon.stop();
  ASSERT_TRUE(reported(kDeviceLost, 2, 1500ms)) << "the second loss was not reported";
  ASSERT_TRUE(daemon.start());
  ASSERT_TRUE(reported(kDeviceBack, 2, 2000ms));
  EXPECT_TRUE(plays_on());
  EXPECT_EQ(events.count(kDeviceLost), 2u);
  expect_lost_and_back_alternate();
}

}  // namespace
}  // namespace tq::testing

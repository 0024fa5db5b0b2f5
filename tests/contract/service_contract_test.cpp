// The rules every Linux wave-out service keeps, run against each of them:
// the recording double, the sound-server client and ALSA through the
// server's ALSA plugin. ServiceContractTest plays on the test command's
// sound-server fixtures (PulseAudio and PipeWire); LostServiceContractTest
// starts, kills and restarts a pulseaudio daemon of its own. What only one
// service does stays in that service's own suite.

#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "alsa/alsa_test_support.h"
#include "doubles/recording_wave_out.h"
#include "platform/pulse/pulse_wave_out.h"
#include "support/sound_server_support.h"

namespace tq::testing {
namespace {

constexpr NotifyTarget kTarget = 0x77;

// A service under test and what the rules need of it beyond the interface.
class Subject {
 public:
  virtual ~Subject() = default;
  virtual WaveOutService& service() = 0;
  // A real service plays on its own; the double plays its oldest buffer.
  virtual void advance() {}
  virtual void lose() = 0;
  // False when the device did not come back.
  virtual bool bring_back() = 0;
  virtual bool device_lost() = 0;
  // Tries to get the device back, since construction.
  virtual std::uint64_t retries() = 0;
  // How long a test watches a service that has lost its device.
  virtual std::chrono::milliseconds away_watch() const { return 2500ms; }

  EventLog events;
};

class DoubleSubject : public Subject {
 public:
  DoubleSubject() { wave_out_.sink = events.sink(); }
  WaveOutService& service() override { return wave_out_; }
  void advance() override {
    if (!wave_out_.device_lost && !wave_out_.queue.empty()) wave_out_.finish_next();
  }
  void lose() override { wave_out_.lose_device(); }
  bool bring_back() override {
    wave_out_.bring_device_back();
    return true;
  }
  bool device_lost() override { return wave_out_.device_lost; }
  std::uint64_t retries() override { return 0; }
  std::chrono::milliseconds away_watch() const override { return 200ms; }

 private:
  RecordingWaveOut wave_out_;
};

// A real service; its device is the daemon given, if any.
template <typename Service>
class ServerSubject : public Subject {
 public:
  explicit ServerSubject(PrivateDaemon* daemon) : daemon_(daemon) {}
  WaveOutService& service() override { return wave_out_; }
  void lose() override { daemon_->stop(); }
  bool bring_back() override { return daemon_->start(); }
  bool device_lost() override { return wave_out_.device_lost(); }
  std::uint64_t retries() override {
    if constexpr (std::is_same_v<Service, AlsaWaveOut>) {
      return wave_out_.reopen_attempt_count();
    } else {
      return wave_out_.connect_attempt_count();
    }
  }

 private:
  PrivateDaemon* daemon_;
  Service wave_out_{events.sink()};
};

enum class Kind { recording_double, sound_server, alsa };

// The parameter as the test's name shows it.
void PrintTo(Kind kind, std::ostream* out) {
  switch (kind) {
    case Kind::recording_double:
      *out << "Double";
      break;
    case Kind::sound_server:
      *out << "SoundServer";
      break;
    case Kind::alsa:
      *out << "Alsa";
      break;
  }
}

class ContractTest : public ::testing::TestWithParam<Kind> {
 protected:
  void TearDown() override {
    if (subject && handle != 0) {
      EXPECT_EQ(service().reset(handle), kMmNoError);
      EXPECT_EQ(service().close(handle), kMmNoError);
    }
    subject.reset();
    saved_environment.restore();
  }

  void make_subject(PrivateDaemon* daemon) {
    switch (GetParam()) {
      case Kind::recording_double:
        subject = std::make_unique<DoubleSubject>();
        break;
      case Kind::sound_server:
        subject = std::make_unique<ServerSubject<PulseWaveOut>>(daemon);
        break;
      case Kind::alsa:
        subject = std::make_unique<ServerSubject<AlsaWaveOut>>(daemon);
        break;
    }
  }
  WaveOutService& service() { return subject->service(); }
  EventLog& events() { return subject->events; }

  // Opens the default device and queues `count` buffers (user 0, 1, ...)
  // of `frames` frames each.
  void open_and_queue(std::size_t count, std::size_t frames) {
    ASSERT_EQ(service().open(&handle, 0, WaveFormat{}, kTarget, kCallbackWindow | kWaveAllowSync),
              kMmNoError);
    for (std::size_t i = 0; i < count; ++i) {
      buffers.push_back(std::make_unique<TestBuffer>(constant_frames(frames, 500, -500), i));
      ASSERT_EQ(play(service(), handle, *buffers.back()), kMmNoError);
    }
  }
  // Hands the events on as the program does, queueing every returned
  // buffer again, until `done` holds or `limit` has passed.
  bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      subject->advance();
      DeviceEvent event;
      if (events().next(&event, 50ms) && event.message == kMmWomDone) {
        returned.push_back(event.header->user);
        service().write(handle, event.header);
      }
    }
    return true;
  }
  void pump_for(std::chrono::milliseconds time) {
    pump_until([] { return false; }, time);
  }
  // A daemon just started takes some 2.3 s to hand the first three buffers
  // back (a playing one 0.56 s): the limit leaves room for a busy machine.
  bool plays_on(std::size_t count = 3) {
    const std::size_t target = events().count(kMmWomDone) + count;
    return pump_until([&] { return events().count(kMmWomDone) >= target; }, 8000ms);
  }
  // Waits, queueing nothing again, until `count` buffers have come back.
  bool wait_done(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 3000ms;
    while (std::chrono::steady_clock::now() < deadline) {
      subject->advance();
      if (events().wait_count(kMmWomDone, count, 50ms)) return true;
    }
    return false;
  }
  bool reported(std::uint32_t message, std::size_t count, std::chrono::milliseconds limit) {
    return pump_until([&] { return events().count(message) >= count; }, limit);
  }
  // After a reset every buffer is back: done, out of the queue, prepared.
  void expect_all_returned() {
    for (const auto& buffer : buffers) {
      EXPECT_EQ(buffer->header.flags, kWhdrPrepared | kWhdrDone)
          << "buffer " << buffer->header.user;
    }
  }
  // Closes the stream: CLOSE is the last event, and none comes after it.
  void close_and_expect_close_last() {
    ASSERT_EQ(service().close(handle), kMmNoError);
    closed = handle;
    handle = 0;
    const std::size_t events_at_close = events().events().size();
    ASSERT_NE(events_at_close, 0u);
    EXPECT_EQ(events().events().back().message, kMmWomClose);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(events().events().size(), events_at_close) << "an event after CLOSE";
  }

  SavedPulseEnvironment saved_environment;
  TempDir dir;
  std::unique_ptr<Subject> subject;
  WaveOutHandle handle = 0;
  WaveOutHandle closed = 0;
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  std::vector<std::uintptr_t> returned;  // users of the buffers DONE reported, in order
};

// On the fixture's sound server (PULSE_SERVER and, for ALSA,
// TQ_ALSA_PULSE_CONF name it); the double needs none.
class ServiceContractTest : public ContractTest {
 protected:
  void SetUp() override {
    if (GetParam() != Kind::recording_double) {
      const std::string config = environment("TQ_ALSA_PULSE_CONF");
      if (environment("PULSE_SERVER").empty() || config.empty()) {
        if (!environment("TQ_REQUIRE_PULSE").empty()) FAIL() << "no sound server named";
        GTEST_SKIP() << "no sound server named (PULSE_SERVER, TQ_ALSA_PULSE_CONF)";
      }
      use_alsa_config(config);
    }
    make_subject(nullptr);
  }
};

TEST_P(ServiceContractTest, OpenIsReportedFirstAndCloseLast) {
  open_and_queue(2, 4410);
  ASSERT_TRUE(plays_on(4));
  EXPECT_EQ(service().reset(handle), kMmNoError);
  close_and_expect_close_last();
  const std::vector<DeviceEvent> seen = events().events();
  EXPECT_EQ(seen.front().message, kMmWomOpen);
  for (const DeviceEvent& event : seen) EXPECT_EQ(event.target, kTarget);
  EXPECT_EQ(events().count(kMmWomOpen), 1u);
  EXPECT_EQ(events().count(kMmWomClose), 1u);
  TestBuffer late(constant_frames(16, 0, 0));
  EXPECT_EQ(service().prepare(closed, &late.header), kMmInvalidHandle)
      << "a closed stream still takes buffers";
}

TEST_P(ServiceContractTest, BuffersComeBackInTheOrderWritten) {
  open_and_queue(3, 4410);
  ASSERT_TRUE(pump_until([&] { return returned.size() >= 9; }, 5000ms));
  const std::vector<std::uintptr_t> first_nine(returned.begin(), returned.begin() + 9);
  EXPECT_EQ(first_nine, (std::vector<std::uintptr_t>{0, 1, 2, 0, 1, 2, 0, 1, 2}));
}

// The reset marks every queued buffer done before it returns, and each is
// reported DONE once, in the order written, before the CLOSE that follows.
// (The sound-server client reports them before the reset returns, ALSA's
// writer thread just after.)
TEST_P(ServiceContractTest, ResetReturnsEveryBuffer) {
  open_and_queue(4, 8192);
  ASSERT_TRUE(wait_done(1));
  ASSERT_EQ(service().reset(handle), kMmNoError);
  expect_all_returned();
  EXPECT_TRUE(events().wait_count(kMmWomDone, 4, 3000ms));
  std::this_thread::sleep_for(100ms);  // a fifth would come now
  EXPECT_EQ(events().count(kMmWomDone), 4u);
  std::vector<std::uintptr_t> order;
  for (const DeviceEvent& event : events().events()) {
    if (event.message == kMmWomDone) order.push_back(event.header->user);
  }
  EXPECT_EQ(order, (std::vector<std::uintptr_t>{0, 1, 2, 3}));
  close_and_expect_close_last();
}

// With a pulseaudio daemon of the test's own, killed as a crash would and
// started again on the same socket.
class LostServiceContractTest : public ContractTest {
 protected:
  void SetUp() override {
    if (GetParam() != Kind::recording_double) {
      if (!pulseaudio_installed()) GTEST_SKIP() << "pulseaudio is not installed";
      daemon.use();
      replace_file(dir / "asound.conf",
                   "pcm.!default { type pulse server \"" + daemon.server() + "\" }\n");
      use_alsa_config(dir / "asound.conf");
      ASSERT_TRUE(daemon.start()) << "the private PulseAudio daemon does not answer";
    }
    make_subject(&daemon);
    open_and_queue(2, 8192);
  }
  void TearDown() override {
    ContractTest::TearDown();
    daemon.stop();
  }
  // Lost and back take turns, starting with lost.
  void expect_lost_and_back_alternate() {
    std::uint32_t last = kDeviceBack;
    for (const DeviceEvent& event : events().events()) {
      if (event.message != kDeviceLost && event.message != kDeviceBack) continue;
      EXPECT_NE(event.message, last)
          << "two " << (last == kDeviceLost ? "losses" : "returns") << " in a row";
      last = event.message;
    }
  }

  PrivateDaemon daemon{dir};
};

TEST_P(LostServiceContractTest, LossIsReportedOnceAndThePlayingGoesOnWhenTheDeviceIsBack) {
  ASSERT_TRUE(plays_on());
  subject->lose();
  ASSERT_TRUE(reported(kDeviceLost, 1, 1500ms)) << "no loss reported";
  EXPECT_TRUE(subject->device_lost());
  const std::size_t done = events().count(kMmWomDone);
  const std::uint64_t retries = subject->retries();
  pump_for(subject->away_watch());
  EXPECT_EQ(events().count(kDeviceLost), 1u);
  EXPECT_EQ(events().count(kMmWomDone), done) << "buffers came back while the device was away";
  EXPECT_LE(subject->retries() - retries, 4u) << "about one try a second";

  ASSERT_TRUE(subject->bring_back());
  ASSERT_TRUE(reported(kDeviceBack, 1, 2000ms)) << "not back within 2 s of the device";
  EXPECT_FALSE(subject->device_lost());
  EXPECT_TRUE(plays_on());
  EXPECT_EQ(events().count(kDeviceLost), 1u);
  expect_lost_and_back_alternate();
}

TEST_P(LostServiceContractTest, ResetAndCloseWhileTheDeviceIsAway) {
  ASSERT_TRUE(plays_on());
  subject->lose();
  ASSERT_TRUE(reported(kDeviceLost, 1, 1500ms));
  EXPECT_EQ(service().reset(handle), kMmNoError);
  expect_all_returned();
  close_and_expect_close_last();
}

// The instantiation names start the test names: the tsan preset leaves out
// those of ALSA through the server ("AlsaPulse") as it does ALSA's own.
INSTANTIATE_TEST_SUITE_P(Double, ServiceContractTest, ::testing::Values(Kind::recording_double));
INSTANTIATE_TEST_SUITE_P(SoundServer, ServiceContractTest, ::testing::Values(Kind::sound_server));
INSTANTIATE_TEST_SUITE_P(AlsaPulse, ServiceContractTest, ::testing::Values(Kind::alsa));
INSTANTIATE_TEST_SUITE_P(Double, LostServiceContractTest,
                         ::testing::Values(Kind::recording_double));
INSTANTIATE_TEST_SUITE_P(SoundServer, LostServiceContractTest,
                         ::testing::Values(Kind::sound_server));
INSTANTIATE_TEST_SUITE_P(AlsaPulse, LostServiceContractTest, ::testing::Values(Kind::alsa));

}  // namespace
}  // namespace tq::testing

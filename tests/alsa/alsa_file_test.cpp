// The service against real ALSA, with a private configuration whose default
// PCM is a file plugin over the null PCM: every frame handed to ALSA lands
// in a file, bit for bit, as fast as it is written.

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "alsa_test_support.h"
#include "app/generator.h"
#include "app/routing.h"
#include "audio/output_level.h"
#include "audio/output_stream.h"
#include "doubles/recording_window.h"
#include "info/device_report.h"
#include "synth/waveform.h"

namespace tq::testing {
namespace {

constexpr std::int16_t kLeft = 10000;
constexpr std::int16_t kRight = -12000;

std::string file_config(const TempDir& dir, const std::string& null_device) {
  return "pcm.!default {\n"
         "  type file\n"
         "  slave.pcm \"tq_null\"\n"
         "  file \"" +
         (dir / "out.raw").string() +
         "\"\n"
         "  format \"raw\"\n"
         "  hint { show on description \"Private default\" }\n"
         "}\n"
         "pcm.tq_null {\n" +
         null_device +
         "  hint { show on description \"Null output\" }\n"
         "}\n"
         "pcm.tq_missing {\n"
         "  type hw\n"
         "  card 99\n"
         "  hint { show on description \"A card that is not there\" }\n"
         "}\n";
}

constexpr const char* kNullPcm = "  type null\n";
constexpr const char* kMissingPcm = "  type hw\n  card 98\n";

class AlsaFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    replace_file(config_path(), file_config(dir, kNullPcm));
    use_alsa_config(config_path());
  }
  std::filesystem::path config_path() const { return dir / "asound.conf"; }
  std::vector<std::int16_t> output() const { return as_samples(read_bytes(dir / "out.raw")); }

  TempDir dir;
  EventLog events;
  AlsaWaveOut service{events.sink()};
};

std::string product_name(AlsaWaveOut& service, std::uint32_t device) {
  WaveOutCaps caps{};
  service.device_caps(device, &caps);
  return caps.product_name;
}

TEST_F(AlsaFileTest, ListsDefaultFirstThenEveryOutputPcmOnce) {
  ASSERT_EQ(service.device_count(), 3u);
  EXPECT_EQ(product_name(service, 0), "default");
  std::vector<std::string> rest{product_name(service, 1), product_name(service, 2)};
  std::sort(rest.begin(), rest.end());
  EXPECT_EQ(rest, (std::vector<std::string>{"A card that is not there", "Null output"}));
}

TEST_F(AlsaFileTest, CapabilitiesTellWhatTheDeviceAccepts) {
  service.device_count();
  WaveOutCaps caps{};
  ASSERT_EQ(service.device_caps(0, &caps), kMmNoError);
  EXPECT_EQ(caps.formats, 0xFFFu);  // every standard rate, size and channel count
  EXPECT_EQ(caps.channels, 2);
  EXPECT_EQ(caps.support, kCapsVolume | kCapsLrVolume);
  EXPECT_EQ(caps.manufacturer_id, 0);  // a plugin: no system ids
  EXPECT_EQ(caps.product_id, 0);
  EXPECT_GE(caps.driver_version, 0x0100u);  // alsa-lib 1.x
}

TEST_F(AlsaFileTest, DeviceThatCannotBeOpenedSaysWhy) {
  const std::uint32_t count = service.device_count();
  std::uint32_t missing = 0;
  for (std::uint32_t device = 0; device < count; ++device) {
    if (product_name(service, device) == "A card that is not there") missing = device;
  }
  ASSERT_NE(missing, 0u);
  WaveOutCaps caps{};
  const MMResult result = service.device_caps(missing, &caps);
  EXPECT_EQ(result, kMmNoDriver);
  EXPECT_NE(service.error_text(result).find("(ALSA: "), std::string::npos);
  EXPECT_EQ(max_playback_rate(service, missing), 0);
}

TEST_F(AlsaFileTest, QueryFormatAnswers) {
  service.device_count();
  auto format = [](std::uint16_t channels, std::uint16_t bits, std::uint32_t rate) {
    WaveFormat f{};
    f.channels = channels;
    f.bits_per_sample = bits;
    f.samples_per_sec = rate;
    f.block_align = static_cast<std::uint16_t>(channels * bits / 8);
    f.avg_bytes_per_sec = rate * f.block_align;
    return f;
  };
  WaveFormat float_format = format(2, 16, 44100);
  float_format.format_tag = 3;
  WaveFormat bad_align = format(2, 16, 44100);
  bad_align.block_align = 3;
  const struct {
    const char* name;
    std::uint32_t device;
    WaveFormat format;
    MMResult expected;
  } cases[] = {
      {"stream format", 0, format(2, 16, 44100), kMmNoError},
      {"8-bit mono", 0, format(1, 8, 11025), kMmNoError},
      {"highest probed rate", 0, format(2, 16, 999900), kMmNoError},
      {"rate 0", 0, format(2, 16, 0), kWaveBadFormat},
      {"three channels", 0, format(3, 16, 44100), kWaveBadFormat},
      {"24 bits", 0, format(2, 24, 44100), kWaveBadFormat},
      {"not PCM", 0, float_format, kWaveBadFormat},
      {"block alignment that disagrees", 0, bad_align, kWaveBadFormat},
      {"no such device", 3, format(2, 16, 44100), kMmBadDeviceId},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(service.query_format(c.device, c.format), c.expected) << c.name;
  }
  WaveOutHandle handle = 0;
  EXPECT_EQ(service.open(&handle, 0, format(2, 16, 0), 0, kWaveFormatQuery), kWaveBadFormat);
  EXPECT_EQ(handle, 0u);
}

// The space is read once per device per report: with the device taken away
// mid-report the answers stay those of the report's start; the next report
// (device_count) sees it gone.
TEST_F(AlsaFileTest, QueriesOfOneReportShareOneReading) {
  const WaveFormat stream_format{};
  service.device_count();
  ASSERT_EQ(service.query_format(0, stream_format), kMmNoError);
  ASSERT_EQ(product_name(service, 1), "Null output");
  ASSERT_EQ(service.query_format(1, stream_format), kMmNoError);
  replace_file(config_path(), file_config(dir, kMissingPcm));
  EXPECT_EQ(service.query_format(1, stream_format), kMmNoError);
  EXPECT_EQ(max_playback_rate(service, 1), 999900);
  service.device_count();
  EXPECT_EQ(service.query_format(1, stream_format), kWaveBadFormat);
  EXPECT_EQ(service.query_format(0, stream_format), kWaveBadFormat);  // it plays into tq_null
}

TEST_F(AlsaFileTest, OpenWithoutADeviceFailsWithAnExplanation) {
  replace_file(config_path(), "pcm.!default { type hw card 97 }\n");
  WaveOutHandle handle = 0;
  const MMResult result = open_default(service, &handle);
  ASSERT_EQ(result, kMmNoDriver);
  const std::string text = service.error_text(result);
  EXPECT_EQ(text.rfind("No sound output device could be opened (ALSA: ", 0), 0u) << text;
  EXPECT_NE(text.find("Check that a sound card or sound server is available."), std::string::npos);
  EXPECT_LE(text.size(), 127u);
  EXPECT_EQ(events.count(kMmWomOpen), 0u);
}

// Headers behave as the platform's: prepared before writing, not
// unprepared while queued, and a stream with buffers queued is not closed.
TEST_F(AlsaFileTest, HeaderAndHandleRules) {
  WaveOutHandle handle = 0;
  events.hold(kMmWomOpen);  // nothing plays until released
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  ASSERT_TRUE(events.wait_held());
  TestBuffer buffer(constant_frames(64, kLeft, kRight));
  EXPECT_EQ(service.write(handle, &buffer.header), kWaveUnprepared);
  ASSERT_EQ(service.prepare(handle, &buffer.header), kMmNoError);
  EXPECT_EQ(buffer.header.flags, kWhdrPrepared);
  ASSERT_EQ(service.write(handle, &buffer.header), kMmNoError);
  EXPECT_EQ(buffer.header.flags, kWhdrPrepared | kWhdrInQueue);
  EXPECT_EQ(service.write(handle, &buffer.header), kWaveStillPlaying);
  EXPECT_EQ(service.unprepare(handle, &buffer.header), kWaveStillPlaying);
  EXPECT_EQ(service.close(handle), kWaveStillPlaying);
  std::uint32_t device = 9;
  EXPECT_EQ(service.device_id(handle, &device), kMmNoError);
  EXPECT_EQ(device, 0u);
  const WaveOutHandle wrong = handle + 1;
  EXPECT_EQ(service.prepare(wrong, &buffer.header), kMmInvalidHandle);
  EXPECT_EQ(service.write(wrong, &buffer.header), kMmInvalidHandle);
  EXPECT_EQ(service.reset(wrong), kMmInvalidHandle);
  EXPECT_EQ(service.close(wrong), kMmInvalidHandle);
  EXPECT_EQ(service.device_id(wrong, &device), kMmInvalidHandle);
  EXPECT_EQ(service.prepare(handle, nullptr), kMmInvalidParam);
  EXPECT_EQ(service.set_volume(7, 0), kMmBadDeviceId);
  events.release();
  ASSERT_TRUE(events.wait_count(kMmWomDone, 1));
  EXPECT_EQ(buffer.header.flags, kWhdrPrepared | kWhdrDone);
  EXPECT_EQ(service.unprepare(handle, &buffer.header), kMmNoError);
  EXPECT_EQ(buffer.header.flags, kWhdrDone);
  EXPECT_EQ(service.close(handle), kMmNoError);
  EXPECT_EQ(service.close(handle), kMmInvalidHandle);
}

// Reset gives back every queued buffer, in order, each marked done and
// reported once; close reports CLOSE last and nothing comes after it.
TEST_F(AlsaFileTest, ResetReturnsEveryBufferAndCloseIsLast) {
  WaveOutHandle handle = 0;
  events.hold(kMmWomOpen);
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  ASSERT_TRUE(events.wait_held());
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (std::uintptr_t user = 0; user < 4; ++user) {
    buffers.push_back(std::make_unique<TestBuffer>(constant_frames(8192, kLeft, kRight), user));
    ASSERT_EQ(play(service, handle, *buffers.back()), kMmNoError);
  }
  std::thread releaser([&] {
    std::this_thread::sleep_for(20ms);
    events.release();
  });
  EXPECT_EQ(service.reset(handle), kMmNoError);
  releaser.join();
  for (const auto& buffer : buffers) {
    EXPECT_EQ(buffer->header.flags, kWhdrPrepared | kWhdrDone) << buffer->header.user;
  }
  ASSERT_TRUE(events.wait_count(kMmWomDone, 4));
  EXPECT_EQ(service.close(handle), kMmNoError);
  std::this_thread::sleep_for(100ms);
  const std::vector<DeviceEvent> log = events.events();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log.front().message, kMmWomOpen);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(log[i + 1].message, kMmWomDone);
    EXPECT_EQ(log[i + 1].header, &buffers[i]->header);
  }
  EXPECT_EQ(log.back().message, kMmWomClose);
  for (const DeviceEvent& event : log) EXPECT_EQ(event.target, 0x77u);
}

// Plays `buffer` with the device volume at `word`, set while the writer is
// held between buffers so that the change falls on the buffer's first frame.
// Plays `buffer` with the device volume at `word`. The writer is idle
// between buffers, so the change falls on the buffer's first frame.
void play_at_volume(AlsaWaveOut& service, EventLog& events, WaveOutHandle handle,
                    TestBuffer& buffer, std::uint32_t word) {
  const std::size_t done = events.count(kMmWomDone);
  ASSERT_EQ(service.set_volume(0, word), kMmNoError);
  ASSERT_EQ(play(service, handle, buffer), kMmNoError);
  ASSERT_TRUE(events.wait_count(kMmWomDone, done + 1));
}

// The volume word is a gain on the samples: 0 silent, 64000 unchanged,
// 32000 half; each change is a ramp of at most 5 ms (220 frames).
TEST_F(AlsaFileTest, VolumeIsASoftwareGainWithShortRamps) {
  constexpr std::size_t kFrames = 4410;
  constexpr std::size_t kRampFrames = 220;
  const struct {
    std::uint32_t word;
    std::int16_t left;
    std::int16_t right;
  } steps[] = {
      {0, 0, 0},
      {64000 | (32000u << 16), kLeft, -6000},
      {64000 | (64000u << 16), kLeft, kRight},
      {32000 | (0u << 16), 5000, 0},
  };
  ASSERT_EQ(service.set_volume(0, steps[0].word), kMmNoError);
  WaveOutHandle handle = 0;
  ASSERT_EQ(open_default(service, &handle), kMmNoError);
  std::vector<std::unique_ptr<TestBuffer>> buffers;
  for (const auto& step : steps) {
    buffers.push_back(std::make_unique<TestBuffer>(constant_frames(kFrames, kLeft, kRight)));
    play_at_volume(service, events, handle, *buffers.back(), step.word);
  }
  ASSERT_EQ(service.close(handle), kMmNoError);
  for (const auto& buffer : buffers) {  // never modified
    EXPECT_EQ(buffer->samples, constant_frames(kFrames, kLeft, kRight));
  }
  const std::vector<std::int16_t> out = output();
  ASSERT_EQ(out.size(), std::size(steps) * kFrames * 2);
  std::int16_t previous_left = steps[0].left;
  std::int16_t previous_right = steps[0].right;
  for (std::size_t s = 0; s < std::size(steps); ++s) {
    for (std::size_t frame = 0; frame < kFrames; ++frame) {
      const std::int16_t left = out[2 * (s * kFrames + frame)];
      const std::int16_t right = out[2 * (s * kFrames + frame) + 1];
      if (frame + 1 >= kRampFrames) {
        ASSERT_EQ(left, steps[s].left) << "step " << s << " frame " << frame;
        ASSERT_EQ(right, steps[s].right) << "step " << s << " frame " << frame;
      } else {  // on the way from the previous level to this one
        ASSERT_GE(left, std::min(previous_left, steps[s].left));
        ASSERT_LE(left, std::max(previous_left, steps[s].left));
        ASSERT_GE(right, std::min(previous_right, steps[s].right));
        ASSERT_LE(right, std::max(previous_right, steps[s].right));
      }
    }
    if (steps[s].left != previous_left) {  // a ramp, not a step
      const std::int16_t first = out[2 * s * kFrames];
      EXPECT_NE(first, steps[s].left) << "step " << s;
      EXPECT_NE(first, previous_left) << "step " << s;
    }
    previous_left = steps[s].left;
    previous_right = steps[s].right;
  }
}

// The core's stream over the service: the file holds the two silent blocks,
// then each rendered block in the order the stream queued it.
TEST_F(AlsaFileTest, CoreStreamPlaysSilenceThenTheRenderedBlocks) {
  RecordingWindow window;
  Generator generator(service, window);
  build_sine_table(generator.signal.sine);
  generator.signal.channels[0].frequency = generator.signal.channels[1].frequency = 1000.0;
  generator.signal.channels[0].waveform = kSawtooth;
  generator.signal.channels[1].waveform = kWhiteNoise;
  events.hold(kMmWomOpen);  // the levels are in place before anything plays
  ASSERT_TRUE(open_output_stream(generator.stream, service, 0x77).opened);
  ASSERT_TRUE(events.wait_held());
  apply_output_levels(service, 0.0, 0.0);
  events.release();

  std::vector<std::vector<std::int16_t>> expected(2, std::vector<std::int16_t>(kBlockSamples));
  DeviceEvent event;
  while (expected.size() < 8 && events.next(&event)) {
    route_device_message(generator, event.message, event.header);
    if (event.message != kMmWomDone) continue;
    const Block& refilled = generator.stream.buffers[event.header->user];
    expected.emplace_back(refilled.begin(), refilled.end());
  }
  ASSERT_EQ(expected.size(), 8u);
  close_output_stream(generator.stream, service);
  // Each buffer reported done before the close was handed to ALSA whole;
  // the two still queued may have been cut short by the reset.
  const std::size_t played = expected.size() - 2;
  const std::vector<std::int16_t> out = output();
  ASSERT_GE(out.size(), played * kBlockSamples);
  ASSERT_LE(out.size(), expected.size() * kBlockSamples);
  for (std::size_t block = 0; block * kBlockSamples < out.size(); ++block) {
    const std::size_t end = std::min(out.size(), (block + 1) * kBlockSamples);
    const std::vector<std::int16_t> heard(out.begin() + block * kBlockSamples, out.begin() + end);
    const std::vector<std::int16_t> sent(expected[block].begin(),
                                         expected[block].begin() + (end - block * kBlockSamples));
    ASSERT_EQ(heard, sent) << "block " << block;
  }
  EXPECT_EQ(generator.stream.handle, 0u);
}

#ifdef TQ_RENDER_BINARY
TEST_F(AlsaFileTest, RendererPrintsTheDeviceReport) {
  const std::string printed = command_output(std::string(TQ_RENDER_BINARY) + " --devices");
  EXPECT_EQ(printed.rfind("Number of sound output devices is 3\n", 0), 0u) << printed;
  EXPECT_EQ(printed, device_report_text(service));
}
#endif

}  // namespace
}  // namespace tq::testing

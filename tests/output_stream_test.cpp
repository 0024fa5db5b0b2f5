#include "audio/output_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

using testing::RecordingWaveOut;
using testing::RecordingWindow;
using Calls = std::vector<std::string>;

constexpr NotifyTarget kWindow = 0x77;
const std::string kOpenCall = "open device=0 flags=0x10002 rate=44100";

struct StreamTest : ::testing::Test {
  StreamTest() {
    build_sine_table(generator.sine);
    generator.channels[0].frequency = 1000.0;
    generator.channels[1].frequency = 1000.0;
    generator.channels[1].waveform = kWhiteNoise;
  }
  void open() { ASSERT_TRUE(open_output_stream(generator, kWindow)); }
  void done(WaveHeader* header) { on_stream_message(generator, kMmWomDone, header); }
  Calls calls_since(std::size_t first) const {
    return Calls(wave_out.calls.begin() + static_cast<std::ptrdiff_t>(first), wave_out.calls.end());
  }

  RecordingWaveOut wave_out;
  RecordingWindow window;
  Generator generator{wave_out, window};
};

bool is_silent(const std::vector<char>& bytes) {
  for (const char byte : bytes) {
    if (byte != 0) return false;
  }
  return true;
}

TEST_F(StreamTest, OpenQueuesTwoSilentBuffersThenSilencesTheDevice) {
  open();
  const Calls expected = {kOpenCall,
                          "prepare 0",
                          "write 0",
                          "prepare 1",
                          "write 1",
                          "device_id",
                          "set_volume device=0 word=0x0"};
  EXPECT_EQ(wave_out.calls, expected);
  EXPECT_EQ(wave_out.opened_target, kWindow);
  EXPECT_EQ(wave_out.opened_format.avg_bytes_per_sec, 176400u);
  EXPECT_EQ(wave_out.opened_format.block_align, 4u);
  EXPECT_EQ(generator.stream.handle, RecordingWaveOut::kHandle);
  ASSERT_EQ(wave_out.written.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const WaveHeader& header = generator.stream.headers[i];
    EXPECT_EQ(wave_out.written[i].size(), 32768u);
    EXPECT_TRUE(is_silent(wave_out.written[i])) << "buffer " << i;
    EXPECT_EQ(header.data, reinterpret_cast<char*>(generator.stream.buffers[i].data()));
    EXPECT_EQ(header.user, i);
    EXPECT_EQ(header.loops, 0u);
  }
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(StreamTest, DoneRefillsTheBufferItsUserValueNames) {
  const struct {
    std::uintptr_t user;
    std::size_t buffer;
  } cases[] = {{0, 0}, {1, 1}, {2, 0}, {5, 0}};
  open();
  wave_out.finish_next();
  wave_out.finish_next();
  for (const auto& c : cases) {
    auto channels = generator.channels;
    auto random = generator.random;
    Block expected{};
    render_block(expected, channels, generator.sine, random);
    WaveHeader returned{};  // the event's header: only its user value counts
    returned.user = c.user;
    const std::size_t before = wave_out.calls.size();
    done(&returned);
    const std::string index = std::to_string(c.buffer);
    EXPECT_EQ(calls_since(before),
              (Calls{"unprepare " + index, "prepare " + index, "write " + index}))
        << "user " << c.user;
    ASSERT_EQ(wave_out.written.back().size(), sizeof expected);
    EXPECT_EQ(std::memcmp(wave_out.written.back().data(), expected.data(), sizeof expected), 0)
        << "user " << c.user;
    EXPECT_EQ(generator.random.state, random.state);
    wave_out.finish_next();
  }
}

TEST_F(StreamTest, OpenReseedsTheRandomSourceAndCloseDoesNothing) {
  generator.random.state = 12345;
  on_stream_message(generator, kMmWomOpen, nullptr);
  EXPECT_EQ(next_random(generator.random), 41);
  const RandomSource before = generator.random;
  on_stream_message(generator, kMmWomClose, nullptr);
  on_stream_message(generator, 0x3BE, nullptr);
  EXPECT_EQ(generator.random.state, before.state);
  EXPECT_TRUE(wave_out.calls.empty());
}

TEST_F(StreamTest, FailedOpenShowsTheTextOnceAndLeavesNothingBehind) {
  const struct {
    const char* call;
    int nth;
    Calls expected;
  } cases[] = {
      {"open", 1, {kOpenCall}},
      {"prepare", 1, {kOpenCall, "prepare 0", "unprepare 0", "close"}},
      {"write", 1, {kOpenCall, "prepare 0", "write 0", "unprepare 0", "close"}},
      {"prepare",
       2,
       {kOpenCall, "prepare 0", "write 0", "prepare 1", "reset", "unprepare 0", "unprepare 1",
        "close"}},
      {"write",
       2,
       {kOpenCall, "prepare 0", "write 0", "prepare 1", "write 1", "reset", "unprepare 0",
        "unprepare 1", "close"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.nth));
    RecordingWaveOut service;
    RecordingWindow box_window;
    Generator fresh(service, box_window);
    service.fail(c.call, kMmNoMem, c.nth);
    service.error_texts[kMmNoMem] = "Out of memory: 100% used, %s %d";
    std::size_t boxes_during_cleanup = 0;
    service.on_call = [&](const std::string&) { boxes_during_cleanup += box_window.boxes.size(); };

    EXPECT_FALSE(open_output_stream(fresh, kWindow));
    EXPECT_EQ(service.calls, c.expected);
    EXPECT_EQ(boxes_during_cleanup, 0u);  // the device is given back before the box
    ASSERT_EQ(box_window.boxes.size(), 1u);
    EXPECT_EQ(box_window.boxes[0].first, kNoticeBoxTitle);
    EXPECT_EQ(box_window.boxes[0].second, "Out of memory: 100% used, %s %d");
    EXPECT_EQ(fresh.stream.handle, 0u);
    EXPECT_TRUE(service.queue.empty());
    EXPECT_FALSE(service.is_open);

    const std::size_t before = service.calls.size();
    for (WaveHeader* header : service.returned) on_stream_message(fresh, kMmWomDone, header);
    close_output_stream(fresh);
    EXPECT_EQ(service.calls.size(), before);  // not open: nothing refilled or closed
  }
}

TEST_F(StreamTest, ErrorTextIsCutAt127Characters) {
  wave_out.fail("open", kMmBadDeviceId);
  wave_out.error_texts[kMmBadDeviceId] = std::string(200, 'e');
  EXPECT_FALSE(open_output_stream(generator, kWindow));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].second, std::string(127, 'e'));
}

TEST_F(StreamTest, DestroyWithBothBuffersQueuedResetsClosesAndRefillsNothing) {
  open();
  const std::size_t before = wave_out.calls.size();
  close_output_stream(generator);
  EXPECT_EQ(calls_since(before), (Calls{"reset", "close"}));
  EXPECT_EQ(generator.stream.handle, 0u);
  EXPECT_FALSE(wave_out.is_open);
  ASSERT_EQ(wave_out.returned.size(), 2u);
  for (WaveHeader* header : wave_out.returned) done(header);
  close_output_stream(generator);
  EXPECT_EQ(wave_out.calls.size(), before + 2);
  EXPECT_EQ(wave_out.written.size(), 2u);
}

TEST_F(StreamTest, RefillTimeAddsTickDifferences) {
  const struct {
    std::uint32_t first_tick;
    std::uint32_t step;
    int dones;
    std::uint32_t total;
  } cases[] = {{1000, 0, 3, 0}, {1000, 7, 1, 7}, {1000, 7, 3, 21}, {0xFFFFFFFEu, 5, 2, 10}};
  for (const auto& c : cases) {
    RecordingWaveOut service;
    RecordingWindow tick_window;
    Generator fresh(service, tick_window);
    ASSERT_TRUE(open_output_stream(fresh, kWindow));
    tick_window.tick = c.first_tick;
    tick_window.tick_step = c.step;
    on_stream_message(fresh, kMmWomOpen, nullptr);
    for (int i = 0; i < c.dones; ++i) on_stream_message(fresh, kMmWomDone, service.finish_next());
    on_stream_message(fresh, kMmWomClose, nullptr);
    EXPECT_EQ(fresh.stream.waveoutproctime, c.total) << c.first_tick << " step " << c.step;
  }
}

}  // namespace
}  // namespace tq

#include "audio/output_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

using Calls = std::vector<std::string>;

constexpr NotifyTarget kWindow = 0x77;
const std::string kOpen = "open device=0 flags=0x10002 rate=44100";

struct Stream {
  Stream() {
    build_sine_table(generator.sine);
    generator.channels[0].frequency = 1000.0;
    generator.channels[1].waveform = kWhiteNoise;
  }
  void done(WaveHeader* header) { on_stream_message(generator, kMmWomDone, header); }
  Calls calls_from(std::size_t first) const {
    return Calls(wave_out.calls.begin() + static_cast<std::ptrdiff_t>(first), wave_out.calls.end());
  }
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator{wave_out, window};
};

TEST(OutputStream, OpenQueuesTwoSilentBuffersThenSilencesTheDevice) {
  Stream s;
  ASSERT_TRUE(open_output_stream(s.generator, kWindow));
  EXPECT_EQ(s.wave_out.calls, (Calls{kOpen, "prepare 0", "write 0", "prepare 1", "write 1",
                                     "device_id", "set_volume device=0 word=0x0"}));
  EXPECT_EQ(s.wave_out.opened_target, kWindow);
  EXPECT_EQ(s.wave_out.opened_format.avg_bytes_per_sec, 176400u);
  ASSERT_EQ(s.wave_out.written.size(), 2u);
  for (const auto& bytes : s.wave_out.written) {
    EXPECT_EQ(bytes.size(), 32768u);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), 32768);
  }
  EXPECT_EQ(s.generator.stream.headers[1].user, 1u);
  EXPECT_TRUE(s.window.boxes.empty());
}

TEST(OutputStream, DoneRefillsTheBufferItsUserValueNames) {
  const struct {
    std::uintptr_t user;
    std::string buffer;
  } cases[] = {{0, "0"}, {1, "1"}, {2, "0"}, {5, "0"}};
  Stream s;
  ASSERT_TRUE(open_output_stream(s.generator, kWindow));
  s.wave_out.finish_next();
  s.wave_out.finish_next();
  for (const auto& c : cases) {
    auto channels = s.generator.channels;
    auto random = s.generator.random;
    Block expected{};
    render_block(expected, channels, s.generator.sine, random);
    WaveHeader returned{};  // only the event header's user value counts
    returned.user = c.user;
    const std::size_t before = s.wave_out.calls.size();
    s.done(&returned);
    EXPECT_EQ(s.calls_from(before),
              (Calls{"unprepare " + c.buffer, "prepare " + c.buffer, "write " + c.buffer}));
    EXPECT_EQ(std::memcmp(s.wave_out.written.back().data(), expected.data(), sizeof expected), 0)
        << "user " << c.user;
    s.wave_out.finish_next();
  }
  s.generator.random.state = 12345;
  on_stream_message(s.generator, kMmWomOpen, nullptr);
  on_stream_message(s.generator, kMmWomClose, nullptr);
  EXPECT_EQ(next_random(s.generator.random), 41);  // reseeded with 1
}

TEST(OutputStream, FailedOpenShowsTheTextOnceAndLeavesNothingBehind) {
  const struct {
    const char* call;
    int nth;
    Calls expected;
  } cases[] = {
      {"open", 1, {kOpen}},
      {"prepare", 1, {kOpen, "prepare 0", "unprepare 0", "close"}},
      {"write", 1, {kOpen, "prepare 0", "write 0", "unprepare 0", "close"}},
      {"prepare",
       2,
       {kOpen, "prepare 0", "write 0", "prepare 1", "reset", "unprepare 0", "unprepare 1",
        "close"}},
      {"write",
       2,
       {kOpen, "prepare 0", "write 0", "prepare 1", "write 1", "reset", "unprepare 0",
        "unprepare 1", "close"}},
  };
  const std::string text = "No memory: 100% %s %d " + std::string(200, 'x');
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.nth));
    Stream s;
    s.wave_out.fail(c.call, kMmNoMem, c.nth);
    s.wave_out.error_texts[kMmNoMem] = text;
    std::size_t boxes_during_calls = 0;
    s.wave_out.on_call = [&](const std::string&) { boxes_during_calls += s.window.boxes.size(); };
    EXPECT_FALSE(open_output_stream(s.generator, kWindow));
    EXPECT_EQ(s.wave_out.calls, c.expected);
    EXPECT_EQ(boxes_during_calls, 0u);  // the device is given back before the box
    ASSERT_EQ(s.window.boxes.size(), 1u);
    EXPECT_EQ(s.window.boxes[0].first, kNoticeBoxTitle);
    EXPECT_EQ(s.window.boxes[0].second, text.substr(0, 127));
    EXPECT_EQ(s.generator.stream.handle, 0u);
    EXPECT_TRUE(s.wave_out.queue.empty());
    EXPECT_FALSE(s.wave_out.is_open);
    const std::size_t before = s.wave_out.calls.size();
    for (WaveHeader* header : s.wave_out.returned) s.done(header);
    close_output_stream(s.generator);
    EXPECT_EQ(s.wave_out.calls.size(), before);  // not open: nothing refilled or closed
  }
}

TEST(OutputStream, DestroyWithBothBuffersQueuedResetsClosesAndRefillsNothing) {
  Stream s;
  ASSERT_TRUE(open_output_stream(s.generator, kWindow));
  const std::size_t before = s.wave_out.calls.size();
  // A service may report a returned buffer while reset still runs.
  s.wave_out.on_call = [&](const std::string& call) {
    if (call == "reset") s.done(&s.generator.stream.headers[0]);
  };
  close_output_stream(s.generator);
  ASSERT_EQ(s.wave_out.returned.size(), 2u);
  for (WaveHeader* header : s.wave_out.returned) s.done(header);
  close_output_stream(s.generator);
  EXPECT_EQ(s.calls_from(before), (Calls{"reset", "close"}));
  EXPECT_EQ(s.generator.stream.handle, 0u);
  EXPECT_FALSE(s.wave_out.is_open);
}

TEST(OutputStream, RefillTimeAddsTickDifferences) {
  const struct {
    std::uint32_t first_tick, step;
    int dones;
    std::uint32_t total;
  } cases[] = {{1000, 0, 3, 0}, {1000, 7, 1, 7}, {1000, 7, 3, 21}, {0xFFFFFFFE, 5, 2, 10}};
  for (const auto& c : cases) {
    Stream s;
    ASSERT_TRUE(open_output_stream(s.generator, kWindow));
    s.window.tick = c.first_tick;
    s.window.tick_step = c.step;
    on_stream_message(s.generator, kMmWomOpen, nullptr);
    for (int i = 0; i < c.dones; ++i) s.done(s.wave_out.finish_next());
    on_stream_message(s.generator, kMmWomClose, nullptr);
    EXPECT_EQ(s.generator.stream.waveoutproctime, c.total) << c.first_tick << " + " << c.step;
  }
}

}  // namespace
}  // namespace tq

#include "audio/output_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "doubles/recorded_generator.h"
#include "info/message_boxes.h"

namespace tq {
namespace {

struct Stream : testing::RecordedGenerator {
  Stream() {
    build_sine_table(generator.sine);
    generator.channels[0].frequency = 1000.0;
    generator.channels[1].waveform = kWhiteNoise;
  }
  bool open() { return open_output_stream(generator, 0x77); }
  void done(WaveHeader* header) { on_stream_message(generator, kMmWomDone, header); }
  // The service calls from the `first`-th on, as one line.
  std::string calls_from(std::size_t first) const {
    return testing::joined(
        {wave_out.calls.begin() + static_cast<long>(first), wave_out.calls.end()});
  }
};

TEST(OutputStream, OpenQueuesTwoSilentBuffersThenSilencesTheDevice) {
  Stream s;
  ASSERT_TRUE(s.open());
  EXPECT_EQ(s.calls_from(0),
            "open device=0 flags=0x10002 rate=44100 target=0x77, prepare 0, write 0, prepare 1, "
            "write 1, device_id, set_volume device=0 word=0x0");
  EXPECT_EQ(s.wave_out.written, std::vector<std::vector<char>>(2, std::vector<char>(32768, 0)));
  EXPECT_TRUE(s.window.boxes.empty());
}

// Each DONE refills and requeues the buffer its header's user value names
// (0 for a value that names none).
TEST(OutputStream, DoneRefillsTheBufferItsUserValueNames) {
  Stream s;
  ASSERT_TRUE(s.open());
  s.wave_out.finish_next();
  s.wave_out.finish_next();
  for (const auto& [user, buffer] : {std::pair{0u, "0"}, {1u, "1"}, {2u, "0"}, {5u, "0"}}) {
    auto channels = s.generator.channels;
    auto random = s.generator.random;
    Block expected{};
    render_block(expected, channels, s.generator.sine, random);
    WaveHeader returned{};  // only the event header's user value counts
    returned.user = user;
    const std::size_t before = s.wave_out.calls.size();
    s.done(&returned);
    EXPECT_EQ(s.calls_from(before),
              std::string("unprepare ") + buffer + ", prepare " + buffer + ", write " + buffer);
    EXPECT_EQ(std::memcmp(s.wave_out.written.back().data(), expected.data(), sizeof expected), 0);
    s.wave_out.finish_next();
  }
}

// Each failing call of the open, and what must follow it: a queued buffer
// is reset, every prepared header unprepared, the device closed; then the
// error text is shown once, as the service gave it, in at most 127
// characters.
TEST(OutputStream, FailedOpenShowsTheTextOnceAndLeavesNothingBehind) {
  const std::tuple<const char*, int, std::string> cases[] = {
      {"open", 1, ""},
      {"prepare", 1, "prepare 0, unprepare 0, close"},
      {"write", 1, "prepare 0, write 0, unprepare 0, close"},
      {"prepare", 2, "prepare 0, write 0, prepare 1, reset, unprepare 0, unprepare 1, close"},
      {"write", 2,
       "prepare 0, write 0, prepare 1, write 1, reset, unprepare 0, unprepare 1, close"},
  };
  const std::string text = "No memory: 100% %s %d " + std::string(200, 'x');
  for (const auto& [call, nth, expected] : cases) {
    Stream s;
    s.wave_out.fail(call, kMmNoMem, nth);
    s.wave_out.error_texts[kMmNoMem] = text;
    std::size_t boxes_during_calls = 0;
    s.wave_out.on_call = [&](const std::string&) { boxes_during_calls += s.window.boxes.size(); };
    EXPECT_FALSE(s.open());
    EXPECT_EQ(s.calls_from(1), expected) << call << " #" << nth;
    EXPECT_EQ(boxes_during_calls, 0u);  // the device is given back before the box
    EXPECT_EQ(s.window.boxes, (decltype(s.window.boxes){{kNoticeBoxTitle, text.substr(0, 127)}}));
    EXPECT_TRUE(s.wave_out.queue.empty() && !s.wave_out.is_open);
    const std::size_t before = s.wave_out.calls.size();
    for (WaveHeader& header : s.generator.stream.headers) s.done(&header);
    close_output_stream(s.generator);
    EXPECT_EQ(s.wave_out.calls.size(), before);  // not open: nothing refilled or closed
  }
}

TEST(OutputStream, DestroyWithBothBuffersQueuedResetsClosesAndRefillsNothing) {
  Stream s;
  ASSERT_TRUE(s.open());
  const std::size_t before = s.wave_out.calls.size();
  // A service may report a returned buffer while reset still runs.
  s.wave_out.on_call = [&](const std::string& call) {
    if (call == "reset") s.done(&s.generator.stream.headers[0]);
  };
  close_output_stream(s.generator);
  for (WaveHeader& header : s.generator.stream.headers) s.done(&header);
  close_output_stream(s.generator);
  EXPECT_EQ(s.calls_from(before), "reset, close");
  EXPECT_TRUE(s.wave_out.queue.empty() && !s.wave_out.is_open);
}

TEST(OutputStream, RefillTimeAddsTickDifferences) {
  const std::tuple<std::uint32_t, std::uint32_t, int, std::uint32_t> cases[] = {
      {1000, 0, 3, 0}, {1000, 7, 3, 21}, {0xFFFFFFFE, 5, 2, 10},  // the tick count wraps
  };
  for (const auto& [first_tick, step, dones, total] : cases) {
    Stream s;
    ASSERT_TRUE(s.open());
    s.window.tick = first_tick;
    s.window.tick_step = step;
    on_stream_message(s.generator, kMmWomOpen, nullptr);
    for (int i = 0; i < dones; ++i) s.done(s.wave_out.finish_next());
    on_stream_message(s.generator, kMmWomClose, nullptr);
    EXPECT_EQ(s.generator.stream.waveoutproctime, total) << first_tick << " + " << step;
  }
}

}  // namespace
}  // namespace tq

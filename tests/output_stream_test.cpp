#include "audio/output_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "doubles/recorded_generator.h"

namespace tq {
namespace {

struct Stream : testing::RecordedGenerator {
  Stream() {
    build_sine_table(generator.signal.sine);
    generator.signal.channels[0].frequency = 1000.0;
    generator.signal.channels[1].waveform = kWhiteNoise;
  }
  StreamOpening open() { return open_output_stream(generator.stream, wave_out, 0x77); }
  std::string message(std::uint32_t kind, WaveHeader* header) {
    return on_stream_message(generator.stream, wave_out, generator.signal, window, kind, header);
  }
  std::string done(WaveHeader* header) { return message(kMmWomDone, header); }
  void close() { close_output_stream(generator.stream, wave_out); }
  // The service calls from the `first`-th on, as one line.
  std::string calls_from(std::size_t first) const {
    return testing::joined(
        {wave_out.calls.begin() + static_cast<long>(first), wave_out.calls.end()});
  }
};

TEST(OutputStream, OpenQueuesTwoSilentBuffersThenSilencesTheDevice) {
  Stream s;
  ASSERT_TRUE(s.open().opened);
  EXPECT_EQ(s.calls_from(0),
            "open device=0 flags=0x10002 rate=44100 target=0x77, prepare 0, write 0, prepare 1, "
            "write 1, device_id, set_volume device=0 word=0x0");
  EXPECT_EQ(s.wave_out.written, std::vector<std::vector<char>>(2, std::vector<char>(32768, 0)));
  EXPECT_EQ(s.open().notice, "");  // a second open keeps the stream it has
}

// Each DONE refills and requeues the buffer its header's user value names
// (0 for a value that names none).
TEST(OutputStream, DoneRefillsTheBufferItsUserValueNames) {
  Stream s;
  ASSERT_TRUE(s.open().opened);
  s.wave_out.finish_next();
  s.wave_out.finish_next();
  for (const auto& [user, buffer] : {std::pair{0u, "0"}, {1u, "1"}, {2u, "0"}, {5u, "0"}}) {
    auto channels = s.generator.signal.channels;
    auto random = s.generator.signal.random;
    Block expected{};
    render_block(expected, channels, s.generator.signal.sine, random);
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
// is reset, every prepared header unprepared, the device closed; the error
// text comes back as the service gave it, in at most 127 characters.
TEST(OutputStream, FailedOpenGivesTheTextAndLeavesNothingBehind) {
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
    const StreamOpening opening = s.open();
    EXPECT_FALSE(opening.opened);
    EXPECT_EQ(opening.notice, text.substr(0, 127));
    EXPECT_EQ(s.calls_from(1), expected) << call << " #" << nth;
    EXPECT_TRUE(s.wave_out.queue.empty() && !s.wave_out.is_open);
    const std::size_t before = s.wave_out.calls.size();
    for (WaveHeader& header : s.generator.stream.headers) s.done(&header);
    s.close();
    EXPECT_EQ(s.wave_out.calls.size(), before);  // not open: nothing refilled or closed
  }
}

TEST(OutputStream, DestroyWithBothBuffersQueuedResetsClosesAndRefillsNothing) {
  Stream s;
  ASSERT_TRUE(s.open().opened);
  const std::size_t before = s.wave_out.calls.size();
  // A service may report a returned buffer while reset still runs.
  s.wave_out.on_call = [&](const std::string& call) {
    if (call == "reset") s.done(&s.generator.stream.headers[0]);
  };
  s.close();
  for (WaveHeader& header : s.generator.stream.headers) s.done(&header);
  s.close();
  EXPECT_EQ(s.calls_from(before), "reset, close");
  EXPECT_TRUE(s.wave_out.queue.empty() && !s.wave_out.is_open);
}

// The device's text for the first refused refill, once a run: a device that
// refuses one buffer refuses the next as well. A failed unprepare is no
// refusal (the prepare after it decides).
TEST(OutputStream, RefusedRefillIsToldOnce) {
  // The call that fails from the first refill on (the open made two of each
  // prepare and write before), and what the four refills tell.
  const std::tuple<const char*, int, std::vector<std::string>> cases[] = {
      {"prepare", 3, {"refused", "", "", ""}},
      {"write", 3, {"refused", "", "", ""}},
      {"unprepare", 1, {"", "", "", ""}},
  };
  for (const auto& [call, first, notices] : cases) {
    Stream s;
    ASSERT_TRUE(s.open().opened);
    s.wave_out.error_texts[kMmNoMem] = "refused";
    for (int nth = first; nth < first + 4; ++nth) s.wave_out.fail(call, kMmNoMem, nth);
    std::vector<std::string> told;
    for (std::size_t i = 0; i < notices.size(); ++i) {
      WaveHeader returned{};
      returned.user = i % 2;
      told.push_back(s.done(&returned));
    }
    EXPECT_EQ(told, notices) << call;
  }
}

TEST(OutputStream, RefillTimeAddsTickDifferences) {
  const std::tuple<std::uint32_t, std::uint32_t, int, std::uint32_t> cases[] = {
      {1000, 0, 3, 0}, {1000, 7, 3, 21}, {0xFFFFFFFE, 5, 2, 10},  // the tick count wraps
  };
  for (const auto& [first_tick, step, dones, total] : cases) {
    Stream s;
    ASSERT_TRUE(s.open().opened);
    s.window.tick = first_tick;
    s.window.tick_step = step;
    s.message(kMmWomOpen, nullptr);
    for (int i = 0; i < dones; ++i) s.done(s.wave_out.finish_next());
    s.message(kMmWomClose, nullptr);
    EXPECT_EQ(s.generator.stream.waveoutproctime, total) << first_tick << " + " << step;
  }
}

}  // namespace
}  // namespace tq

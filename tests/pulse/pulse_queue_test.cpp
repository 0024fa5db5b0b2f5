// The stream's bookkeeping without a server: which buffers the server has
// played as it asks for room, what is sent next, and the volume mapping.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/pulse/pulse_stream.h"
#include "platform/pulse/stream_volume.h"

namespace tq {
namespace {

constexpr std::size_t kTarget = 65536;

struct Buffers {
  explicit Buffers(std::size_t count, std::uint32_t length = 32768) : data(count) {
    for (std::size_t i = 0; i < count; ++i) {
      data[i].assign(length, static_cast<char>('a' + i));
      headers.push_back(WaveHeader{data[i].data(), length});
    }
  }
  std::vector<std::string> data;
  std::vector<WaveHeader> headers;
};

// Sends what fits into `room`; returns the letters sent, one per byte run.
std::string send(ServerQueue& queue, std::size_t room) {
  std::string sent;
  send_unsent(queue, room, [&](const char* data, std::size_t bytes) {
    sent += data[0] + std::to_string(bytes) + " ";
  });
  return sent;
}

TEST(ServerQueueTest, ABufferIsPlayedWhenTheServerAsksForItsRoom) {
  struct Step {
    std::size_t room;           // what the server asks for now
    std::size_t played_before;  // buffers taken as played before this step
    std::size_t played_after;
  };
  // Two buffers fill the server's queue; each request of one buffer's room
  // (or more, when the sink took a larger piece) plays the oldest one.
  const std::vector<Step> steps = {
      {0, 0, 0}, {20000, 0, 0}, {32768, 0, 1}, {32768 + 4410, 0, 1}, {65536, 0, 2},
  };
  for (const Step& step : steps) {
    Buffers buffers(3);
    ServerQueue queue;
    for (WaveHeader& header : buffers.headers) queue.headers.push_back(&header);
    queue.sent = kTarget;  // the first two are on the server
    const std::vector<WaveHeader*> played = take_played(queue, kTarget, step.room);
    ASSERT_EQ(played.size(), step.played_after) << "room " << step.room;
    for (std::size_t i = 0; i < played.size(); ++i) EXPECT_EQ(played[i], &buffers.headers[i]);
    EXPECT_EQ(queue.sent, kTarget - 32768 * played.size());
  }
}

TEST(ServerQueueTest, SendsOnlyWhatTheServerHasRoomForInOrder) {
  Buffers buffers(3);
  ServerQueue queue;
  for (WaveHeader& header : buffers.headers) queue.headers.push_back(&header);
  EXPECT_EQ(send(queue, 65536), "a32768 b32768 ");
  EXPECT_EQ(send(queue, 0), "");
  EXPECT_EQ(send(queue, 1000), "c1000 ");
  EXPECT_EQ(send(queue, 65536), "c31768 ");
  EXPECT_EQ(queue.sent, 3u * 32768);
  // A lost server held nothing: everything queued is sent again.
  queue.sent = 0;
  EXPECT_EQ(send(queue, 40000), "a32768 b7232 ");
  EXPECT_EQ(take_all(queue).size(), 3u);
  EXPECT_EQ(queue.sent, 0u);
}

TEST(StreamVolumeTest, TheWordsFactorPerChannelAtMostUnity) {
  struct Case {
    std::uint32_t word;
    double left, right;  // linear factors
  };
  const std::vector<Case> cases = {
      {64000 | (64000u << 16), 1.0, 1.0}, {32000 | (16000u << 16), 0.5, 0.25}, {0, 0.0, 0.0},
      {0xFFFF | (6400u << 16), 1.0, 0.1}, {640 | (0u << 16), 0.01, 0.0},
  };
  for (const Case& c : cases) {
    const pa_cvolume volume = stream_volume(c.word, 2);
    ASSERT_EQ(volume.channels, 2);
    EXPECT_NEAR(pa_sw_volume_to_linear(volume.values[0]), c.left, 1e-4) << std::hex << c.word;
    EXPECT_NEAR(pa_sw_volume_to_linear(volume.values[1]), c.right, 1e-4) << std::hex << c.word;
    EXPECT_LE(pa_cvolume_max(&volume), PA_VOLUME_NORM);
  }
  EXPECT_EQ(stream_volume(64000 | (64000u << 16), 2).values[1], PA_VOLUME_NORM);
  EXPECT_EQ(stream_volume(0, 2).values[0], PA_VOLUME_MUTED);
  EXPECT_EQ(stream_volume(32000 | (64000u << 16), 1).values[0], channel_volume(32000));
}

TEST(StreamVolumeTest, OnAFlatVolumeSinkTheLevelIsScaledByTheSinks) {
  pa_channel_map stereo{};
  pa_channel_map_init_stereo(&stereo);
  pa_channel_map surround{};
  pa_channel_map_init_auto(&surround, 6, PA_CHANNEL_MAP_DEFAULT);
  pa_cvolume sink{};
  pa_cvolume_set(&sink, 6, pa_sw_volume_from_linear(0.5));
  const pa_cvolume absolute =
      absolute_volume(stream_volume(32000 | (64000u << 16), 2), stereo, sink, surround);
  EXPECT_NEAR(pa_sw_volume_to_linear(absolute.values[0]), 0.25, 1e-4);
  EXPECT_NEAR(pa_sw_volume_to_linear(absolute.values[1]), 0.5, 1e-4);
}

}  // namespace
}  // namespace tq

// The software gain on its own: unity and silence exact, ramps short and
// without steps, 8-bit samples scaled like 16-bit ones.

#include "platform/alsa/software_gain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tq {
namespace {

std::vector<std::int16_t> scaled(GainRamp& gain, const std::vector<std::int16_t>& in) {
  std::vector<std::int16_t> out(in.size());
  scale_frames(gain, SampleFormat::signed16, 2, reinterpret_cast<const unsigned char*>(in.data()),
               reinterpret_cast<unsigned char*>(out.data()), in.size() / 2);
  return out;
}

TEST(SoftwareGain, SettledVolumesScaleEachChannel) {
  const std::vector<std::int16_t> in{32767, -32768, 1, -1, 20000, -20000};
  const struct {
    std::uint32_t word;
    std::vector<std::int16_t> out;
  } cases[] = {
      {64000 | (64000u << 16), {32767, -32768, 1, -1, 20000, -20000}},
      {0, {0, 0, 0, 0, 0, 0}},
      {32000 | (32000u << 16), {16383, -16384, 0, 0, 10000, -10000}},
      {64000, {32767, 0, 1, 0, 20000, 0}},                                // right silent
      {0xFFFF | (0xFFFFu << 16), {32767, -32768, 1, -1, 20479, -20479}},  // saturates
  };
  for (const auto& c : cases) {
    GainRamp gain = settled_gain(c.word, 44100);
    EXPECT_EQ(scaled(gain, in), c.out) << std::hex << c.word;
  }
}

TEST(SoftwareGain, RampLastsAtMostFiveMillisecondsAndHasNoStep) {
  for (const std::uint32_t rate : {8000u, 44100u, 48000u, 192000u}) {
    GainRamp gain = settled_gain(0, rate);
    retarget_gain(gain, kUnityVolumeWord);
    const std::vector<std::int16_t> in(2 * rate / 100, 30000);  // 10 ms
    const std::vector<std::int16_t> out = scaled(gain, in);
    const std::size_t limit = rate * 5 / 1000;
    std::size_t settled_at = 0;
    for (std::size_t frame = 1; frame < out.size() / 2; ++frame) {
      ASSERT_GE(out[2 * frame], out[2 * (frame - 1)]) << rate << " frame " << frame;
      ASSERT_LE(out[2 * frame] - out[2 * (frame - 1)], 2 * 30000 / static_cast<int>(limit));
      if (out[2 * frame] != 30000) settled_at = frame + 1;
    }
    EXPECT_LE(settled_at, limit) << rate;
    EXPECT_GT(settled_at, limit / 2) << rate;
  }
}

TEST(SoftwareGain, ChangeInTheMiddleOfARampContinuesFromWhereItWas) {
  GainRamp gain = settled_gain(0, 44100);
  retarget_gain(gain, kUnityVolumeWord);
  const std::vector<std::int16_t> half = scaled(gain, std::vector<std::int16_t>(220, 30000));
  retarget_gain(gain, 0);
  const std::vector<std::int16_t> back = scaled(gain, std::vector<std::int16_t>(440, 30000));
  EXPECT_LE(std::abs(back[0] - half[half.size() - 2]), 200);
  EXPECT_EQ(back[back.size() - 2], 0);
}

TEST(SoftwareGain, MonoFollowsTheLeftVolumeAndEightBitKeepsItsCentre) {
  GainRamp gain = settled_gain(32000 | (0u << 16), 44100);
  const std::vector<std::int16_t> mono_in{20000, -20000};
  std::vector<std::int16_t> mono_out(2);
  scale_frames(gain, SampleFormat::signed16, 1,
               reinterpret_cast<const unsigned char*>(mono_in.data()),
               reinterpret_cast<unsigned char*>(mono_out.data()), 2);
  EXPECT_EQ(mono_out, (std::vector<std::int16_t>{10000, -10000}));
  const unsigned char bytes_in[] = {128, 255, 0, 192};
  unsigned char bytes_out[4] = {};
  scale_frames(gain, SampleFormat::unsigned8, 1, bytes_in, bytes_out, 4);
  EXPECT_EQ(std::vector<int>(bytes_out, bytes_out + 4), (std::vector<int>{128, 191, 64, 160}));
}

}  // namespace
}  // namespace tq

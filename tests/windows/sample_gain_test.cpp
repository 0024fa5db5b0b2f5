#include "platform/winmm/sample_gain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<char> bytes_of(const std::vector<std::int16_t>& samples) {
  std::vector<char> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

TEST(SampleGain, EachChannelTakesItsHalfOfTheVolumeWord) {
  struct Case {
    const char* name;
    std::uint32_t volume;
    std::uint16_t channels;
    std::vector<std::int16_t> in;
    std::vector<std::int16_t> out;
  };
  const Case cases[] = {
      {"unity", tq::kUnityVolumeWord, 2, {25000, -25000, 1, -1}, {25000, -25000, 1, -1}},
      {"left silent", 64000u << 16, 2, {25000, 25000, -7, -7}, {0, 25000, 0, -7}},
      {"right silent", 64000u, 2, {25000, 25000, -7, -7}, {25000, 0, -7, 0}},
      {"half, toward zero", 32000u | (32000u << 16), 2, {1001, -1001, 3, -3}, {500, -500, 1, -1}},
      {"-50 dB left, 0 dB right", 202u | (64000u << 16), 2, {25000, 25000}, {78, 25000}},
      {"full word saturates", 0xFFFFFFFFu, 2, {32767, -32768}, {32767, -32768}},
      {"mono follows the left", 32000u | (64000u << 16), 1, {1000, 1000}, {500, 500}},
  };
  for (const Case& c : cases) {
    const std::vector<char> source = bytes_of(c.in);
    std::vector<char> target(source.size(), 'x');
    tq::copy_with_volume(source.data(), target.data(), source.size(), c.channels, c.volume);
    EXPECT_EQ(target, bytes_of(c.out)) << c.name;
  }
}

TEST(SampleGain, CopiesATrailingOddByteAndStaysInsideTheBuffer) {
  const std::vector<char> source = {0x10, 0x00, 0x10, 0x00, 0x55};
  std::vector<char> target(source.size() + 1, 'x');
  tq::copy_with_volume(source.data(), target.data(), source.size(), 2, 0);
  EXPECT_EQ(target, (std::vector<char>{0, 0, 0, 0, 0x55, 'x'}));
}

}  // namespace

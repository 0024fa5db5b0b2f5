#include "audio/output_level.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"

namespace tq {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(OutputLevel, VolumeWordTruncatesAndSaturatesEveryLevel) {
  const struct {
    double left_db, right_db;
    std::uint32_t word;
  } cases[] = {
      {-50, -50, 0x00CA00CA},
      {0, -99, 0x0000FA00},
      {-6, -20, (6400u << 16) + 32075},
      {-40, -60, 640 + (64u << 16)},
      {3, kInf, 0xFFFFFFFF},
      {kNaN, 1e308, 0xFFFF0000},
      {-kInf, -1e308, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(volume_word(c.left_db, c.right_db), c.word) << c.left_db << " / " << c.right_db;
  }
}

TEST(OutputLevel, LevelsGoToDeviceZeroAndStartupSilencesTheOpenStream) {
  testing::RecordingWaveOut wave_out;
  testing::RecordingWindow window;
  Generator generator(wave_out, window);
  apply_output_levels(generator, -50.0, 0.0);
  set_startup_volume(generator, kStartupAttenuation);  // no stream: no device to ask
  ASSERT_EQ(wave_out.open(&generator.stream.handle, 0, WaveFormat{}, 0, 0), kMmNoError);
  set_startup_volume(generator, kStartupAttenuation);
  set_startup_volume(generator, 0);
  EXPECT_EQ(wave_out.calls[0], "set_volume device=0 word=0xfa0000ca");
  EXPECT_EQ(wave_out.volumes, (std::vector<std::uint32_t>{0xFA0000CA, 0, 65280}));
}

TEST(OutputLevel, ApplyVolumeKeepsSamplesAtUnityAndSaturatesAbove) {
  const struct {
    std::int16_t sample;
    std::uint32_t volume;
    std::int16_t result;
  } cases[] = {
      {25000, 64000, 25000},  {-32768, 64000, -32768},  {1001, 32000, 500}, {-1001, 32000, -500},
      {32767, 0xFFFF, 32767}, {-32768, 0xFFFF, -32768}, {25000, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(apply_volume(c.sample, c.volume), c.result) << c.sample << " x " << c.volume;
  }
}

}  // namespace
}  // namespace tq

#include "audio/output_level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/generator.h"
#include "doubles/recording_wave_out.h"
#include "doubles/recording_window.h"

namespace tq {
namespace {

using testing::RecordingWaveOut;
using testing::RecordingWindow;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LevelToVolume, TruncatesAndSaturatesEveryInput) {
  const struct {
    double level_db;
    std::uint16_t volume;
  } cases[] = {
      {0.0, 64000},    {-6.0, 32075}, {-20.0, 6400}, {-50.0, 202},  {-99.0, 0},
      {-40.0, 640},    {-60.0, 64},   {0.1, 64741},  {3.0, 0xFFFF}, {kInf, 0xFFFF},
      {1e308, 0xFFFF}, {-kInf, 0},    {-1e308, 0},   {kNaN, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(level_to_volume(c.level_db), c.volume) << "level " << c.level_db;
  }
}

TEST(VolumeWord, PutsLeftLowAndRightHigh) {
  const struct {
    double left_db;
    double right_db;
    std::uint32_t word;
  } cases[] = {
      {-50.0, -50.0, 0x00CA00CAu},
      {0.0, -99.0, 0x0000FA00u},
      {-99.0, 0.0, 0xFA000000u},
      {kNaN, 10.0, 0xFFFF0000u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(volume_word(c.left_db, c.right_db), c.word) << c.left_db << " / " << c.right_db;
  }
}

TEST(OutputLevels, SetDeviceZeroFromBothLevels) {
  RecordingWaveOut wave_out;
  RecordingWindow window;
  Generator generator(wave_out, window);
  apply_output_levels(generator, -50.0, 0.0);
  ASSERT_EQ(wave_out.calls.size(), 1u);
  EXPECT_EQ(wave_out.calls[0], "set_volume device=0 word=0xfa0000ca");
}

TEST(StartupVolume, SilencesOnlyAnOpenStream) {
  const struct {
    bool open;
    int attenuation;
    std::vector<std::uint32_t> volumes;
  } cases[] = {
      {true, kStartupAttenuation, {0u}},
      {true, 0, {65280u}},
      {false, kStartupAttenuation, {}},  // no device number to ask for
  };
  for (const auto& c : cases) {
    RecordingWaveOut wave_out;
    RecordingWindow window;
    Generator generator(wave_out, window);
    if (c.open) {
      ASSERT_EQ(wave_out.open(&generator.stream.handle, 0, WaveFormat{}, 0, 0), kMmNoError);
    }
    set_startup_volume(generator, c.attenuation);
    EXPECT_EQ(wave_out.volumes, c.volumes) << "open " << c.open << " att " << c.attenuation;
  }
}

TEST(ApplyVolume, UnityKeepsSamplesAndLouderSaturates) {
  const struct {
    std::int16_t sample;
    std::uint32_t volume;
    std::int16_t result;
  } cases[] = {
      {25000, kFullScaleVolume, 25000},
      {-32768, kFullScaleVolume, -32768},
      {32767, kFullScaleVolume, 32767},
      {1001, 32000, 500},
      {-1001, 32000, -500},
      {32767, 0xFFFF, 32767},
      {-32768, 0xFFFF, -32768},
      {25000, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(apply_volume(c.sample, c.volume), c.result) << c.sample << " x " << c.volume;
  }
}

}  // namespace
}  // namespace tq

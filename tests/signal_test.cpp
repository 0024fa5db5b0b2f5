#include "synth/signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using tq::SignalSettings;

// `blocks` blocks of one channel, 16-bit or fine.
template <typename BlockType>
std::vector<double> render(const SignalSettings& settings, int blocks, int channel,
                           SignalSettings* later = nullptr) {
  auto generator = std::make_unique<tq::SignalGenerator>();
  tq::start_signal(*generator, settings);
  auto block = std::make_unique<BlockType>();
  std::vector<double> out;
  for (int b = 0; b < blocks; ++b) {
    tq::render_signal_block(*generator, b > 0 && later ? *later : settings, *block);
    for (int n = 0; n < tq::kBlockFrames; ++n) out.push_back((*block)[2 * n + channel]);
  }
  return out;
}

SignalSettings both(tq::WaveformKind kind, double frequency) {
  SignalSettings s;
  s.frequency = frequency;
  s.channels[0].waveform = s.channels[1].waveform = kind;
  return s;
}

TEST(Signal, DefaultsAndAnOwnFrequencyEqualToTheCommonOneAreTheWindowsBlocks) {
  for (tq::WaveformKind kind = 1; kind <= 7; ++kind) {
    SignalSettings settings = both(kind, 1234.5);
    settings.channels[1].waveform = kind == 7 ? 2 : 7 - kind + 1;
    std::array<tq::ChannelState, 2> channels{};
    channels[0] = {1234.5, settings.channels[0].waveform};
    channels[1] = {1234.5, settings.channels[1].waveform};
    auto state = std::make_unique<tq::SignalState>();
    tq::build_sine_table(state->sine);
    auto window = std::make_unique<tq::Block>();
    std::vector<double> expected[2];
    for (int b = 0; b < 3; ++b) {
      tq::render_block(*window, channels, state->sine, state->random);
      for (int n = 0; n < tq::kBlockSamples; ++n) expected[n % 2].push_back((*window)[n]);
    }
    SignalSettings own = settings;
    own.channels[0].own_frequency = own.channels[1].own_frequency = 1234.5;
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(render<tq::Block>(settings, 3, c), expected[c]) << kind << " channel " << c;
      EXPECT_EQ(render<tq::Block>(own, 3, c), expected[c]) << kind << " own, channel " << c;
    }
  }
}

// The phase runs on under noise, so a waveform chosen after it starts where
// it would have been had it played from the start.
TEST(Signal, PhaseRunsOnUnderNoise) {
  for (tq::WaveformKind noise : {tq::kWhiteNoise, tq::kPinkNoise, tq::kBrownNoise}) {
    for (bool swept : {false, true}) {
      SignalSettings square = both(tq::kSquare, 440.0);
      square.channels[0].own_frequency = 997.0;
      if (swept) square.sweep = tq::SweepSettings{2000.0, 1.0};
      SignalSettings first = square;
      first.channels[0].waveform = first.channels[1].waveform = noise;
      for (int c = 0; c < 2; ++c) {
        const auto later = render<tq::Block>(first, 2, c, &square);
        const auto throughout = render<tq::Block>(square, 2, c);
        EXPECT_TRUE(std::equal(later.begin() + tq::kBlockFrames, later.end(),
                               throughout.begin() + tq::kBlockFrames))
            << noise << (swept ? " swept" : "") << " channel " << c;
      }
    }
  }
}

TEST(Signal, FineSamplesAreTheSixteenBitOnesWithTheFractionKept) {
  for (tq::WaveformKind kind : {tq::kSine, tq::kTriangle, tq::kSawtooth, tq::kSquare}) {
    const auto coarse = render<tq::Block>(both(kind, 997.0), 2, 0);
    const auto fine = render<tq::FineBlock>(both(kind, 997.0), 2, 0);
    for (std::size_t n = 0; n < fine.size(); ++n)
      ASSERT_NEAR(fine[n], coarse[n], 5.0) << kind;  // the table's phase step
  }
}

TEST(Signal, PhaseMovesAChannelWithinItsPeriodAndInvertNegatesIt) {
  struct Case {
    tq::WaveformKind kind;
    double degrees;
    bool invert;
    int lead;           // right[n] == sign * left[n + lead] at 441 Hz (100 samples a period)
    bool live = false;  // the phase set after a first block at 0
  };
  for (const Case& t : {Case{tq::kSine, 90, false, 25}, Case{tq::kSine, 0, true, 0},
                        Case{tq::kTriangle, 180, false, 50}, Case{tq::kSawtooth, 270, true, 75},
                        Case{tq::kPulse, 90, false, 25}, Case{tq::kSine, 450, false, 25},
                        Case{tq::kSine, 90, false, 25, true}}) {
    SignalSettings settings = both(t.kind, 441.0);
    settings.channels[1].phase_degrees = t.degrees;
    settings.channels[1].invert = t.invert;
    const SignalSettings first = t.live ? both(t.kind, 441.0) : settings;
    const auto left = render<tq::FineBlock>(first, 2, 0, &settings);
    const auto right = render<tq::FineBlock>(first, 2, 1, &settings);
    const double sign = t.invert ? -1.0 : 1.0;
    for (std::size_t n = tq::kBlockFrames; n + 100 < left.size(); ++n) {
      ASSERT_NEAR(right[n], sign * left[n + t.lead], 0.05) << t.kind << " at " << n;
    }
  }
}

TEST(Signal, DutyIsExactToTheSample) {
  struct Case {
    double duty, frequency;
    int rate, period, high;
  };
  for (const Case& t : {Case{25, 441, 44100, 100, 25}, Case{10, 441, 44100, 100, 10},
                        Case{90, 441, 44100, 100, 90}, Case{37.5, 1000, 48000, 48, 18}}) {
    SignalSettings settings = both(tq::kSquare, t.frequency);
    settings.rate = t.rate;
    settings.channels[0].duty_percent = t.duty;
    const auto left = render<tq::Block>(settings, 2, 0);
    int high = 0;
    for (int n = 0; n < t.period; ++n) high += left[n] > 0;
    for (std::size_t n = t.period; n < left.size(); ++n) {
      ASSERT_EQ(high, t.high) << t.duty << " % up to " << n;
      high += (left[n] > 0) - (left[n - t.period] > 0);
    }
  }
}

TEST(Signal, TheRateSetsThePeriod) {
  for (int rate : {8000, 48000, 96000, 192000}) {
    SignalSettings settings = both(tq::kSine, 1000.0);
    settings.rate = rate;
    const auto left = render<tq::FineBlock>(settings, 1, 0);
    const int period = rate / 1000;
    EXPECT_NEAR(left[period / 4], 25000.0, 0.01) << rate;
    for (std::size_t n = 0; n + period < left.size(); ++n) {
      ASSERT_NEAR(left[n + period], left[n], 0.05) << rate << " at " << n;
    }
  }
}

// The common frequency at each frame, from the fine sawtooth's steps.
std::vector<double> measured_frequency(const SignalSettings& settings, int blocks) {
  const auto saw = render<tq::FineBlock>(settings, blocks, 0);
  std::vector<double> frequency;
  for (std::size_t n = 0; n + 1 < saw.size(); ++n) {
    const double rise = saw[n + 1] - saw[n];
    frequency.push_back((rise < 0 ? rise + 50000.0 : rise) / 50000.0 * settings.rate);
  }
  return frequency;
}

TEST(Signal, SweepsFollowTheirLawSampleBySample) {
  using tq::SweepLaw;
  using tq::SweepRepeat;
  struct Case {
    SweepLaw law;
    SweepRepeat repeat;
    double seconds;  // where, in sweep lengths (1 s at 8000 frames a second)
    double hz;
  };
  // 100 Hz to 1600 Hz: log 4 octaves in the second, linear 1500 Hz.
  const Case cases[] = {
      {SweepLaw::kLog, SweepRepeat::kOnce, 0.0, 100},
      {SweepLaw::kLog, SweepRepeat::kOnce, 0.25, 200},
      {SweepLaw::kLog, SweepRepeat::kOnce, 0.75, 800},
      {SweepLaw::kLog, SweepRepeat::kOnce, 1.5, 1600},
      {SweepLaw::kLog, SweepRepeat::kRepeat, 1.5, 400},
      {SweepLaw::kLog, SweepRepeat::kBounce, 1.25, 800},
      {SweepLaw::kLinear, SweepRepeat::kOnce, 0.5, 850},
      {SweepLaw::kLinear, SweepRepeat::kOnce, 2.5, 1600},
      {SweepLaw::kLinear, SweepRepeat::kRepeat, 2.25, 475},
      {SweepLaw::kLinear, SweepRepeat::kBounce, 1.5, 850},
  };
  for (const Case& t : cases) {
    SignalSettings settings = both(tq::kSawtooth, 100.0);
    settings.rate = 8000;
    settings.sweep = tq::SweepSettings{1600.0, 1.0, t.law, t.repeat};
    const auto frequency = measured_frequency(settings, 3);
    EXPECT_NEAR(frequency[static_cast<std::size_t>(t.seconds * 8000)], t.hz, t.hz * 2e-4)
        << static_cast<int>(t.law) << " " << static_cast<int>(t.repeat) << " at " << t.seconds;
    // No step anywhere but where a repeat goes back to the start.
    for (std::size_t n = 1; n < frequency.size(); ++n) {
      if (t.repeat == SweepRepeat::kRepeat && n % 8000 == 0) continue;
      ASSERT_LT(std::abs(frequency[n] - frequency[n - 1]), 1.0) << n;
    }
  }
}

TEST(Signal, BurstsGateBothChannelsAndStartAtPhaseZero) {
  SignalSettings settings = both(tq::kSquare, 441.0);  // 100 samples a period
  settings.channels[1] = {tq::kSine, 1000.0, 30.0};
  settings.burst = {2, 3};
  const auto left = render<tq::FineBlock>(settings, 1, 0);
  const auto right = render<tq::FineBlock>(settings, 1, 1);
  for (std::size_t n = 0; n < left.size(); ++n) {
    const bool on = n % 500 < 200;
    ASSERT_EQ(left[n] != 0.0, on) << n;
    ASSERT_EQ(right[n] != 0.0, on) << n;
    if (n % 500 == 0) {
      EXPECT_EQ(left[n], 25000.0) << n;
      EXPECT_NEAR(right[n], 12500.0, 0.01) << n;  // sin 30°
    }
  }
}

TEST(Signal, FadesAreRaisedCosines) {
  SignalSettings settings = both(tq::kSquare, 441.0);
  settings.fade_in_ms = 100.0;  // 4410 frames
  SignalSettings ending = settings;
  ending.fade_out_ms = 100.0;
  ending.end_frame = 3 * tq::kBlockFrames;  // set after the first block, as the player does
  const auto left = render<tq::FineBlock>(settings, 3, 0, &ending);
  struct Point {
    std::size_t frame;
    double gain;
  };
  const std::size_t end = 3 * tq::kBlockFrames;
  for (const Point& p : {Point{0, 0.0}, Point{2205, 0.5}, Point{4410, 1.0}, Point{end - 4411, 1.0},
                         Point{end - 2206, 0.5}, Point{end - 1, 0.0}}) {
    EXPECT_NEAR(std::abs(left[p.frame]) / 25000.0, p.gain, 1e-9) << p.frame;
  }
}

// Mean power near `hz` over the blocks, Hann-windowed, a few bins wide.
double band_power(const std::vector<double>& x, int rate, double hz) {
  const int n = tq::kBlockFrames;
  const int centre = static_cast<int>(std::lround(hz * n / rate));
  double power = 0.0;
  for (std::size_t start = 0; start + n <= x.size(); start += n) {
    for (int bin = centre - 3; bin <= centre + 3; ++bin) {
      std::complex<double> sum;
      for (int i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n);
        sum += hann * x[start + i] * std::polar(1.0, -2 * std::numbers::pi * bin * i / n);
      }
      power += std::norm(sum);
    }
  }
  return power;
}

TEST(Signal, BrownNoiseDrawsItsBlockWhereWhiteNoiseWould) {
  // Left brown, right white: the right channel gets the values it gets
  // beside white noise on the left; left white beside right brown likewise.
  const SignalSettings white = both(tq::kWhiteNoise, 1000.0);
  for (int c = 0; c < 2; ++c) {
    SignalSettings mixed = white;
    mixed.channels[1 - c].waveform = tq::kBrownNoise;
    EXPECT_EQ(render<tq::Block>(mixed, 2, c), render<tq::Block>(white, 2, c)) << c;
  }
}

TEST(Signal, BrownNoiseStaysWithinThePeakAndFallsSixDecibelsAnOctave) {
  const SignalSettings settings = both(tq::kBrownNoise, 1000.0);
  const auto fine = render<tq::FineBlock>(settings, 24, 1);
  double peak = 0.0, sum = 0.0;
  for (double v : fine) peak = std::max(peak, std::abs(v)), sum += v;
  EXPECT_LE(peak, 25000.0);
  EXPECT_GT(peak, 10000.0);
  EXPECT_LT(std::abs(sum / static_cast<double>(fine.size())), 2000.0);
  const double octaves = 5.0;  // 100 Hz to 3200 Hz
  const double slope =
      10 * std::log10(band_power(fine, 44100, 3200) / band_power(fine, 44100, 100)) / octaves;
  EXPECT_NEAR(slope, -6.0, 0.6);
}

}  // namespace

#include "synth/waveform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "synth/numeric.h"

namespace {

using tq::Block;
using Channels = std::array<tq::ChannelState, 2>;

// A straightforward renderer written from the synthesis rules: one sample
// at a time, a plain rand()-like generator, no tricks.
struct Reference {
  static constexpr std::uint32_t kHalf = 0x80000000u;
  static constexpr std::uint32_t kQuarter = 0x40000000u;
  std::uint32_t rand_state = 1;

  int rand() {
    rand_state = rand_state * 214013u + 2531011u;
    return static_cast<int>((rand_state >> 16) & 0x7FFF);
  }
  static int half_sine(std::uint32_t p) {
    return static_cast<int>(std::sin(((p >> 15) & 0xFFFF) * 3.1415926539 / 65536) * 25000);
  }
  int pink(tq::PinkFilter& f) {
    auto& b = f.b;
    const double w = rand() - 16383;
    b[0] = 0.99886 * b[0] + 0.0555179 * w;
    b[1] = 0.99332 * b[1] + 0.0750759 * w;
    b[2] = 0.969 * b[2] + 0.153852 * w;
    b[3] = 0.8665 * b[3] + 0.3104856 * w;
    b[4] = 0.55 * b[4] + 0.5329522 * w;
    b[5] = -0.7616 * b[5] - 0.016898 * w;
    const double value = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + 0.5362 * w;
    b[6] = 0.115926 * w;
    f.last_white = w;
    return std::clamp(static_cast<int>(value / 4.0), -32768, 32767);
  }
  // The sample at the channel's phase; nothing for a code outside 1..7.
  std::optional<int> wave(tq::ChannelState& ch, std::uint32_t p, std::uint32_t inc) {
    if (ch.waveform == 1) return std::int32_t(p < kHalf ? p - kQuarter : 3 * kQuarter - p) / 42949;
    if (ch.waveform == 2) return rand() - 16383;
    if (ch.waveform == 3) return p < kHalf ? half_sine(p) : -half_sine(p - kHalf);
    if (ch.waveform == 4) return p < kHalf ? 25000 : -25000;
    if (ch.waveform == 5) return std::int32_t(p - kHalf) / 85899;
    if (ch.waveform == 6) return p + inc < p ? 25000 : 0;
    if (ch.waveform == 7) return pink(ch.pink);
    return std::nullopt;
  }
  void render(Block& block, Channels& channels) {
    for (std::size_t c = 0; c < 2; ++c) {
      const std::uint32_t inc = tq::truncate_to_low32(channels[c].frequency * 97391.54866213152);
      for (std::size_t n = 0; n < tq::kBlockFrames; ++n) {
        const std::optional<int> value = wave(channels[c], channels[c].phase, inc);
        if (!value) continue;  // the slot and the phase stay as they are
        block[2 * n + c] = static_cast<std::int16_t>(*value);
        channels[c].phase += inc;
      }
    }
  }
};

struct Waveform : ::testing::Test {
  std::unique_ptr<tq::SineTable> table = std::make_unique<tq::SineTable>();
  tq::RandomSource random{1};
  Channels channels{};
  Block block{};
  void SetUp() override { tq::build_sine_table(*table); }
  void set(int left, int right, double frequency) {
    channels[0].waveform = left;
    channels[1].waveform = right;
    channels[0].frequency = channels[1].frequency = frequency;
  }
  void render() { tq::render_block(block, channels, *table, random); }
};

// Every waveform against the reference, in mixed pairs, over several blocks,
// with the waveforms switched between blocks so phases and filters carry
// across changes. Each run starts from seed 1, so noise must repeat; codes
// outside 1..7 must leave their slots and phase alone; frequency 0 must hold
// the phase while noise goes on.
TEST_F(Waveform, MatchesReferenceSampleForSample) {
  const double frequencies[] = {1.0,     0.0,    1000.0, 22050.0, 22051.0,     44100.0,
                                19999.9, -440.0, 1e12,   1e30,    std::nan("")};
  const int codes[] = {1, 2, 3, 4, 5, 6, 7, 0, 8, -1};
  for (const double frequency : frequencies) {
    for (int pair = 0; pair < 10; ++pair) {
      Reference ref;
      Channels expected_channels{};
      Block expected{};
      tq::seed_random(random, 1);
      channels = {};
      block = {};
      for (int step = 0; step < 3; ++step) {
        set(codes[(pair + step) % 10], codes[(pair + 3 * step + 1) % 10], frequency);
        channels[1].frequency = frequency * 0.75;
        for (std::size_t c = 0; c < 2; ++c) {
          expected_channels[c].waveform = channels[c].waveform;
          expected_channels[c].frequency = channels[c].frequency;
        }
        render();
        ref.render(expected, expected_channels);
        ASSERT_EQ(block, expected) << "frequency " << frequency << " pair " << pair << " " << step;
        ASSERT_EQ(std::tie(channels[0].phase, channels[1].phase, random.state),
                  std::tie(expected_channels[0].phase, expected_channels[1].phase, ref.rand_state));
      }
    }
  }
}

// Known values at 1 Hz with both channels alike: the first sample and the
// one a quarter period in (the sine's peak is 24999, not 25000), channels in
// phase, one pulse per period.
TEST_F(Waveform, OneHertzFacts) {
  EXPECT_EQ(tq::phase_increment(1.0), 97391u);
  const std::tuple<int, int, int> cases[] = {
      {tq::kSine, 0, 24999},       {tq::kTriangle, -25000, 0}, {tq::kSawtooth, -25000, -12500},
      {tq::kSquare, 25000, 25000}, {tq::kPulse, 0, 0},
  };
  for (const auto& [code, first, quarter] : cases) {
    channels = {};
    set(code, code, 1.0);
    std::vector<int> left;
    for (int b = 0; b < 11; ++b) {  // 90112 frames: two periods and more
      render();
      for (std::size_t n = 0; n < tq::kBlockFrames; ++n) {
        ASSERT_EQ(block[2 * n], block[2 * n + 1]) << code;
        left.push_back(block[2 * n]);
      }
    }
    EXPECT_EQ(left[0], first) << code;
    EXPECT_EQ(left[11025], quarter) << code;
    if (code == tq::kPulse) {
      EXPECT_EQ(std::count(left.begin(), left.end(), 0), 90112 - 2);
      EXPECT_TRUE(left[44100] == 25000 && left[88200] == 25000);
    }
  }
}

// A filter state far outside the usual range drives pink beyond 16 bits:
// the samples clamp instead of wrapping to the opposite sign.
TEST_F(Waveform, PinkSaturates) {
  for (const double start : {4e6, -4e6}) {
    set(tq::kPinkNoise, tq::kPinkNoise, 1.0);
    channels[0].pink = channels[1].pink = {};
    channels[0].pink.b[0] = channels[1].pink.b[0] = start;
    render();
    EXPECT_EQ(block[0], start > 0 ? 32767 : -32768);
    EXPECT_EQ(block[1], block[0]);
  }
}

}  // namespace

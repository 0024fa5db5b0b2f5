#include "synth/waveform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "synth/random_source.h"

namespace {

using tq::Block;
using tq::ChannelState;
using Channels = std::array<ChannelState, 2>;

// A straightforward renderer written from the synthesis rules: one sample
// at a time, a plain rand()-like generator, no tricks.
struct Reference {
  std::vector<int> half_table = std::vector<int>(65536);
  std::uint32_t rand_state = 1;

  Reference() {
    for (int i = 0; i < 65536; ++i) {
      half_table[static_cast<std::size_t>(i)] =
          static_cast<int>(std::sin(i * 3.1415926539 / 65536) * 25000);
    }
  }
  int rand() {
    rand_state = rand_state * 214013u + 2531011u;
    return static_cast<int>((rand_state >> 16) & 0x7FFF);
  }
  static std::uint32_t increment(double frequency) {
    const double scaled = frequency * 97391.54866213152;
    if (!(std::fabs(scaled) < 9223372036854775808.0)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled));
  }
  int sine(std::uint32_t p) const {
    if (p < 0x80000000u) return half_table[(p >> 15) & 0xFFFF];
    return -half_table[((p - 0x80000000u) >> 15) & 0xFFFF];
  }
  static int triangle(std::uint32_t p) {
    if (p < 0x80000000u) return static_cast<std::int32_t>(p - 0x40000000u) / 42949;
    return static_cast<std::int32_t>(0xC0000000u - p) / 42949;
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
  // Returns false for a code outside 1..7.
  bool sample(ChannelState& ch, std::uint32_t inc, int& out) {
    const std::uint32_t p = ch.phase;
    switch (ch.waveform) {
      case 1:
        out = triangle(p);
        break;
      case 2:
        out = rand() - 16383;
        break;
      case 3:
        out = sine(p);
        break;
      case 4:
        out = p < 0x80000000u ? 25000 : -25000;
        break;
      case 5:
        out = static_cast<std::int32_t>(p - 0x80000000u) / 85899;
        break;
      case 6:
        out = p + inc < p ? 25000 : 0;
        break;
      case 7:
        out = pink(ch.pink);
        break;
      default:
        return false;
    }
    ch.phase = p + inc;
    return true;
  }
  void render(Block& block, Channels& channels) {
    for (std::size_t c = 0; c < 2; ++c) {
      const std::uint32_t inc = increment(channels[c].frequency);
      for (std::size_t n = 0; n < tq::kBlockFrames; ++n) {
        int value = 0;
        if (sample(channels[c], inc, value)) block[2 * n + c] = static_cast<std::int16_t>(value);
      }
    }
  }
};

struct Fixture : ::testing::Test {
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

using Waveform = Fixture;

TEST_F(Waveform, TableFollowsTheFormulaAndItsNegation) {
  const Reference ref;
  for (std::size_t i = 0; i < 65536; ++i) {
    ASSERT_EQ(table->entries[i], ref.half_table[i]) << i;
    ASSERT_EQ(table->entries[65536 + i], -ref.half_table[i]) << i;
  }
  // sin() of the table's pi / 2 rounds to exactly 1.0, so the middle entry is
  // the full 25000; every other entry truncates below it.
  EXPECT_EQ(table->entries[32768], 25000);
  EXPECT_EQ(*std::max_element(table->entries.begin(), table->entries.begin() + 32768), 24999);
}

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
      tq::seed_random(random, 1);
      channels = {};
      Block expected{};
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
        ASSERT_EQ(block, expected)
            << "frequency " << frequency << " pair " << pair << " step " << step;
        ASSERT_EQ(channels[0].phase, expected_channels[0].phase);
        ASSERT_EQ(channels[1].phase, expected_channels[1].phase);
        ASSERT_EQ(random.state, ref.rand_state);
      }
    }
  }
}

TEST_F(Waveform, OneHertzFacts) {
  EXPECT_EQ(tq::phase_increment(1.0), 97391u);
  const struct {
    int code;
    int first;
  } phase_zero[] = {{tq::kSine, 0},
                    {tq::kTriangle, -25000},
                    {tq::kSawtooth, -25000},
                    {tq::kSquare, 25000},
                    {tq::kPulse, 0}};
  for (const auto& c : phase_zero) {
    channels = {};
    set(c.code, c.code, 1.0);
    render();
    EXPECT_EQ(block[0], c.first) << c.code;
    EXPECT_EQ(block[1], c.first) << c.code;
  }
  channels = {};
  set(tq::kSine, tq::kSine, 1.0);
  render();
  render();                                     // frames 8192..16383
  EXPECT_EQ(block[2 * (11025 - 8192)], 24999);  // the peak, one short of 25000
}

TEST_F(Waveform, PulseOncePerPeriodAtOneHertz) {
  set(tq::kPulse, tq::kPulse, 1.0);
  std::vector<std::size_t> pulses;
  for (std::size_t b = 0; b < 11; ++b) {  // 90112 frames: two wraps
    render();
    for (std::size_t n = 0; n < tq::kBlockFrames; ++n) {
      if (block[2 * n] == 0) continue;
      EXPECT_EQ(block[2 * n], 25000);
      pulses.push_back(b * tq::kBlockFrames + n);
    }
  }
  EXPECT_EQ(pulses, (std::vector<std::size_t>{44100, 88200}));
}

TEST_F(Waveform, SameSettingsStayInPhase) {
  for (const int code : {1, 3, 4, 5, 6}) {
    channels = {};
    set(code, code, 1234.5);
    for (int b = 0; b < 2; ++b) {
      render();
      for (std::size_t n = 0; n < tq::kBlockFrames; ++n) ASSERT_EQ(block[2 * n], block[2 * n + 1]);
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
    const int rail = start > 0 ? 32767 : -32768;
    EXPECT_EQ(block[0], rail);
    EXPECT_EQ(block[1], rail);
  }
}

}  // namespace

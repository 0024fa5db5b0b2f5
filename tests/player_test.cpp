#include "player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "audio/output_level.h"
#include "doubles/recording_wave_out.h"

namespace {

using tq::WaveHeader;
using tq::testing::RecordingWaveOut;
namespace play = tq::play;

struct Started {
  RecordingWaveOut wave_out;
  play::Player player;
  explicit Started(std::optional<double> seconds = std::nullopt) {
    EXPECT_TRUE(play::start_player(player, wave_out, 1, seconds).opened);
  }
  // The device hands back its oldest buffer; the player refills it.
  void hand_back() {
    WaveHeader* header = wave_out.finish_next();
    play::on_player_event(player, wave_out, tq::kMmWomDone, header);
  }
  std::string run(std::string_view line) {
    return play::run_player_command(player, wave_out, line, 3);
  }
};

struct CommandCase {
  std::string_view line;
  std::string_view reply;    // what the reply starts with
  std::string_view setting;  // in the status line afterwards; "" = nothing changed
};

TEST(PlayerCommands, ReplyAndResultingSetting) {
  const CommandCase cases[] = {
      {"frequency 440", "ok frequency 440", "frequency=440"},
      {"  left   square \r", "ok left square", "left=square"},
      {"left-level -12", "ok left-level -12", "left-level=-12"},
      {"right-level -99", "ok right-level -99", "right-level=-99"},
      {"right-phase 90", "ok right-phase 90", "right-phase=90"},
      {"left-invert", "ok left-invert", "left-invert=on"},
      {"left-duty 25", "ok left-duty 25", "left-duty=25"},
      {"sweep-to 2000", "ok sweep-to 2000", "sweep-to=2000"},
      {"sweep-seconds 5", "ok sweep-seconds 5", "sweep-seconds=5"},
      {"burst-on 3", "ok burst-on 3", "burst-on=3"},
      {"right-phase 400", "error: right-phase", ""},
      {"sweep-law sideways", "error: sweep-law", ""},
      {"rate 48000", "error: unknown command 'rate'", ""},
      {"frequency 99999", "error: frequency", ""},
      {"frequency 4x0", "error: frequency", ""},
      {"left bogus", "error: left", ""},
      {"left-level 3", "error: left-level", ""},
      {"bogus 1", "error: unknown command 'bogus'", ""},
      {"frequency", "error: frequency needs a value", ""},
      {"", "error: empty command", ""},
      {"status now", "error: status takes no value", ""},
      {"status", "ok left=sine right=sine frequency=1000", ""},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.line);
    Started s;
    const std::string before = s.run("status");
    const std::size_t volumes = s.wave_out.volumes.size();
    const std::string reply = s.run(c.line);
    EXPECT_EQ(reply.substr(0, c.reply.size()), c.reply) << reply;
    const std::string after = s.run("status");
    EXPECT_NE(after.find(" underruns=3"), std::string::npos);
    if (c.setting.empty()) {
      EXPECT_EQ(after, before);
      EXPECT_EQ(s.wave_out.volumes.size(), volumes);
    } else {
      EXPECT_NE(after.find(c.setting), std::string::npos) << after;
    }
    const auto& settings = s.player.settings;
    const bool level = settings.left_level_db != 0.0 || settings.right_level_db != 0.0;
    ASSERT_EQ(s.wave_out.volumes.size(), volumes + (level ? 1 : 0));
    if (level) {  // the level is the stream's volume, the samples stay as they are
      EXPECT_EQ(s.wave_out.volumes.back(),
                tq::volume_word(settings.left_level_db, settings.right_level_db));
    }
  }
}

TEST(PlayerStream, ChangeHeardFromTheNextBlockAndLossTold) {
  Started s;
  ASSERT_EQ(s.wave_out.written.size(), 2u);
  EXPECT_EQ(s.run("frequency 440"), "ok frequency 440");
  s.hand_back();
  // The same generator, told the same: the blocks join without a restart.
  tq::SignalGenerator reference;
  tq::SignalSettings settings;
  tq::start_signal(reference, settings);
  tq::Block block{};
  for (int i = 0; i < 2; ++i) tq::render_signal_block(reference, settings, block);
  settings.frequency = 440.0;
  tq::render_signal_block(reference, settings, block);
  ASSERT_EQ(s.wave_out.written.size(), 3u);
  EXPECT_EQ(0, std::memcmp(s.wave_out.written[2].data(), block.data(), tq::kBlockBytes));
  // A sweep asked for now starts at the next block, from where the tone is.
  EXPECT_EQ(s.run("sweep-to 2000"), "ok sweep-to 2000");
  const tq::SignalSettings& swept = s.player.settings.signal;
  ASSERT_TRUE(swept.sweep);
  EXPECT_EQ(swept.sweep->start_frame, 3 * tq::kBlockFrames);
  EXPECT_DOUBLE_EQ(tq::common_frequency_at(swept, 3 * tq::kBlockFrames), 440.0);
  EXPECT_GT(tq::common_frequency_at(swept, 4 * tq::kBlockFrames), 440.0);
  // A lost device is told once per loss.
  const auto event = [&](std::uint32_t message) {
    return play::on_player_event(s.player, s.wave_out, message, nullptr);
  };
  EXPECT_NE(event(tq::kDeviceLost), "");
  EXPECT_EQ(event(tq::kDeviceLost), "");
  EXPECT_EQ(event(tq::kDeviceBack), "");
  EXPECT_NE(event(tq::kDeviceLost), "");
}

TEST(PlayerEnd, FadesTheNextBlockThenClosesWhenItComesBack) {
  for (const bool by_seconds : {false, true}) {
    SCOPED_TRACE(by_seconds ? "--seconds" : "quit");
    // 0.3 s ends inside the second block, quit in the third.
    Started s(by_seconds ? std::optional<double>(0.3) : std::nullopt);
    if (!by_seconds) {
      EXPECT_EQ(s.run("quit"), "ok quit");
    }
    const std::size_t faded = by_seconds ? 1 : 2;
    const std::size_t fade_start = by_seconds ? 13230 - 8192 - 441 : 0;
    if (!by_seconds) s.hand_back();
    ASSERT_EQ(s.player.phase, play::PlayerPhase::kDraining);
    std::vector<std::int16_t> left(tq::kBlockSamples);
    std::memcpy(left.data(), s.wave_out.written[faded].data(), tq::kBlockBytes);
    EXPECT_NE(left[2 * (fade_start + 1)], 0);
    EXPECT_TRUE(std::all_of(left.begin() + 2 * static_cast<long>(fade_start + 441), left.end(),
                            [](std::int16_t v) { return v == 0; }));
    const std::size_t writes = s.wave_out.written.size();
    while (s.wave_out.is_open && !s.wave_out.queue.empty()) s.hand_back();
    ASSERT_EQ(s.wave_out.written.size(), writes + 1);  // silence behind the fade
    EXPECT_TRUE(std::all_of(s.wave_out.written.back().begin(), s.wave_out.written.back().end(),
                            [](auto byte) { return byte == 0; }));
    EXPECT_FALSE(s.wave_out.is_open);
    EXPECT_EQ(s.player.phase, play::PlayerPhase::kFinished);
  }
}

// The sound server's thread refills a played buffer in place with the next
// block, the service left alone, and the one behind the end's faded block
// with silence; the faded block comes back as an event and closes the
// stream.
TEST(PlayerStream, RefilledInPlaceUntilTheEnd) {
  Started s;
  WaveHeader* first = s.wave_out.finish_next();
  ASSERT_TRUE(play::refill_played_buffer(s.player, *first));
  tq::SignalGenerator reference;
  tq::start_signal(reference, tq::SignalSettings{});
  tq::Block block{};
  for (int i = 0; i < 3; ++i) tq::render_signal_block(reference, tq::SignalSettings{}, block);
  EXPECT_EQ(0, std::memcmp(first->data, block.data(), tq::kBlockBytes));
  EXPECT_EQ(s.wave_out.written.size(), 2u);
  EXPECT_EQ(s.run("quit"), "ok quit");
  WaveHeader* second = s.wave_out.finish_next();
  ASSERT_TRUE(play::refill_played_buffer(s.player, *second));  // it holds the fade
  EXPECT_EQ(s.player.phase, play::PlayerPhase::kDraining);
  ASSERT_TRUE(play::refill_played_buffer(s.player, *first));  // silence behind it
  EXPECT_TRUE(
      std::all_of(first->data, first->data + tq::kBlockBytes, [](char byte) { return byte == 0; }));
  EXPECT_FALSE(play::refill_played_buffer(s.player, *second));
  play::on_player_event(s.player, s.wave_out, tq::kMmWomDone, second);
  EXPECT_FALSE(s.wave_out.is_open);
  EXPECT_FALSE(play::refill_played_buffer(s.player, *second));
}

TEST(PlayerCommandLine, OptionsAndErrors) {
  const struct {
    std::vector<std::string_view> args;
    std::string_view error;  // what the error starts with; "" = good
  } cases[] = {
      {{"--frequency", "440", "--left-level=-20", "--seconds", "2.5"}, ""},
      {{"-o", "out.wav"}, "-o: tonquill-play writes no file"},
      {{"--seconds", "0"}, "--seconds: '0' is not a duration"},
      {{"frequency", "440"}, "unknown option 'frequency'"},
      {{"--rate", "44100", "--format=s16", "--dither", "none", "--right-invert"}, ""},
      {{"--frequency", "24000", "--rate", "48000"}, ""},  // the rate bounds, wherever it is
      {{"--rate", "7999"}, "--rate: '7999' is out of range (8000 to 192000"},
      {{"--rate", "44100.5"}, "--rate: '44100.5' is out of range"},
      {{"--format", "f32"}, "--format: 'f32': plays 16-bit samples only"},
  };
  for (const auto& c : cases) {
    const play::ParsedPlayerOptions parsed = play::parse_player_options(c.args);
    EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error) << parsed.error;
    EXPECT_EQ(parsed.error.empty(), c.error.empty()) << parsed.error;
  }
  const auto good = play::parse_player_options(cases[0].args).options;
  EXPECT_EQ(good.settings.signal.frequency, 440.0);
  EXPECT_EQ(good.settings.left_level_db, -20.0);
  EXPECT_EQ(good.seconds, 2.5);
  // The stream opens at the rate asked, with the signal's phase step for it.
  play::Player player;
  player.settings = play::parse_player_options(cases[5].args).options.settings;
  RecordingWaveOut wave_out;
  ASSERT_TRUE(play::start_player(player, wave_out, 1, std::nullopt).opened);
  ASSERT_FALSE(wave_out.calls.empty());
  EXPECT_NE(wave_out.calls.front().find(" rate=48000 "), std::string::npos)
      << wave_out.calls.front();
  EXPECT_EQ(player.settings.signal.rate, 48000);
}

}  // namespace

#include "render_options.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/output_level.h"
#include "sound_file.h"
#include "synth/random_source.h"
#include "synth/waveform.h"

namespace {

namespace fs = std::filesystem;
using tq::render::parse_render_options;

tq::render::ParseResult parse(std::vector<std::string_view> args) {
  return parse_render_options(args);
}

TEST(RenderOptions, GoodCommandLines) {
  auto r = parse({"--left", "pink", "--right=pulse", "--frequency", "440.5", "--left-level", "-6",
                  "--right-level=-99", "--seconds", "2", "-o", "out.flac"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.options.left, tq::kPinkNoise);
  EXPECT_EQ(r.options.right, tq::kPulse);
  EXPECT_EQ(r.options.frequency, 440.5);
  EXPECT_EQ(r.options.left_level_db, -6.0);
  EXPECT_EQ(r.options.right_level_db, -99.0);
  EXPECT_EQ(r.options.blocks, 11);  // 88200 frames
  EXPECT_EQ(r.options.output, "out.flac");

  r = parse({"-o", "-"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.options.left, tq::kSine);
  EXPECT_EQ(r.options.frequency, 1000.0);
  EXPECT_EQ(r.options.blocks, 6);  // one second
  EXPECT_TRUE(parse({"--help"}).options.help);
  EXPECT_TRUE(parse({"--version"}).options.version);
  EXPECT_EQ(parse({"--blocks", "7", "-o", "x.AIF"}).options.blocks, 7);
}

TEST(RenderOptions, SecondsRoundUpToWholeBlocks) {
  const struct {
    double seconds;
    std::int64_t blocks;
  } cases[] = {{1.0, 6}, {8192.0 / 44100.0, 1}, {1e-9, 1}, {0.5, 3}, {3600.0, 19380}};
  for (const auto& c : cases) EXPECT_EQ(tq::render::blocks_for_seconds(c.seconds), c.blocks);
}

TEST(RenderOptions, BadArgumentsNameTheArgument) {
  const struct {
    std::vector<std::string_view> args;
    std::string_view named;
  } cases[] = {
      {{"--left", "sinus", "-o", "x.wav"}, "--left: unknown waveform 'sinus'"},
      {{"--frequency", "1k", "-o", "x.wav"}, "--frequency: '1k' is not a number"},
      {{"--frequency", "inf", "-o", "x.wav"}, "--frequency: 'inf' is not a number"},
      {{"--frequency", "-1", "-o", "x.wav"}, "--frequency: '-1' is out of range"},
      {{"--frequency", "22050.1", "-o", "x.wav"}, "--frequency: '22050.1' is out of range"},
      {{"--right-level", "0.5", "-o", "x.wav"}, "--right-level: '0.5' is out of range"},
      {{"--left-level", "-100", "-o", "x.wav"}, "--left-level: '-100' is out of range"},
      {{"--blocks", "0", "-o", "x.wav"}, "--blocks: '0' is out of range"},
      {{"--blocks", "1.5", "-o", "x.wav"}, "--blocks: '1.5' is not a whole number"},
      {{"--seconds", "0", "-o", "x.wav"}, "--seconds: '0' is not a positive duration"},
      {{"--seconds", "1e9", "-o", "x.wav"}, "--seconds: '1e9' is out of range"},
      {{"--blocks", "2", "--seconds", "1", "-o", "x.wav"}, "--blocks, --seconds"},
      {{"-o", "x.mp3"}, "-o: unknown file type 'x.mp3'"},
      {{"--left", "sine"}, "-o: no output given"},
      {{"-o"}, "-o: needs a value"},
      {{"--loud", "-o", "x.wav"}, "unknown option '--loud'"},
      {{"x.wav"}, "unexpected argument 'x.wav'"},
      {{"--version=2"}, "--version: takes no value"},
  };
  for (const auto& c : cases) {
    const auto r = parse(c.args);
    EXPECT_EQ(r.error.find(c.named), 0u) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
}

// The program itself: status 2, one line on stderr, no file left behind.
TEST(RenderTool, BadArgumentsExitWithStatusTwo) {
  const fs::path dir = fs::temp_directory_path() / "tq_render_bad";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string err = (dir / "stderr").string();
  const std::vector<std::string> command_lines = {
      "--frequency x -o " + (dir / "a.wav").string(),
      "-o " + (dir / "missing" / "a.wav").string(),
      "--left",
  };
  for (const std::string& args : command_lines) {
    const std::string command = std::string(TQ_RENDER_BINARY) + " " + args + " 2>" + err;
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << args;
    EXPECT_EQ(WEXITSTATUS(status), 2) << args;
    std::ifstream in(err);
    std::string first, second;
    std::getline(in, first);
    EXPECT_EQ(first.rfind("tonquill-render: ", 0), 0u) << first;
    EXPECT_FALSE(std::getline(in, second)) << second;
  }
  fs::remove(err);
  EXPECT_TRUE(fs::is_empty(dir));  // no output and no temporary file
  fs::remove_all(dir);
}

// What render_block gives from the state after the stream opens, with the
// levels applied per sample.
std::vector<std::int16_t> expected_samples(int left, int right, double frequency, double left_db,
                                           double right_db, int blocks) {
  auto table = std::make_unique<tq::SineTable>();
  tq::build_sine_table(*table);
  std::array<tq::ChannelState, 2> channels{};
  channels[0].waveform = left;
  channels[1].waveform = right;
  channels[0].frequency = channels[1].frequency = frequency;
  tq::RandomSource random{1};
  const std::uint32_t volume[2] = {tq::level_to_volume(left_db), tq::level_to_volume(right_db)};
  std::vector<std::int16_t> all;
  tq::Block block{};
  for (int b = 0; b < blocks; ++b) {
    tq::render_block(block, channels, *table, random);
    for (std::size_t i = 0; i < block.size(); ++i) {
      all.push_back(tq::apply_volume(block[i], volume[i % 2]));
    }
  }
  return all;
}

TEST(RenderTool, WavAndRawHoldExactlyTheRenderedBlocks) {
  const auto expected = expected_samples(tq::kPinkNoise, tq::kSawtooth, 997.0, -6.0, 0.0, 3);
  const fs::path wav = fs::temp_directory_path() / "tq_render_test.wav";
  const std::string args =
      " --left pink --right sawtooth --frequency 997 --left-level -6 --blocks 3 -o ";
  ASSERT_EQ(std::system((TQ_RENDER_BINARY + args + wav.string()).c_str()), 0);

  SF_INFO info{};
  SNDFILE* file = sf_open(wav.string().c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  std::vector<std::int16_t> read(expected.size() + 2);
  const auto count = sf_read_short(file, read.data(), static_cast<sf_count_t>(read.size()));
  sf_close(file);
  fs::remove(wav);
  read.resize(static_cast<std::size_t>(count));
  EXPECT_EQ(read, expected);

  std::FILE* pipe = popen((TQ_RENDER_BINARY + args + "-").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<unsigned char> bytes(2 * expected.size() + 2);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), pipe));
  EXPECT_EQ(pclose(pipe), 0);
  ASSERT_EQ(bytes.size(), 2 * expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8), expected[i]) << i;
  }
}

TEST(SoundOutput, UncommittedFileIsRemoved) {
  const fs::path dir = fs::temp_directory_path() / "tq_render_abandon";
  fs::remove_all(dir);
  fs::create_directories(dir);
  {
    tq::render::SoundOutput output;
    std::string error;
    ASSERT_TRUE(output.open((dir / "a.flac").string(), error)) << error;
    const std::vector<std::int16_t> samples(4096, 1000);
    ASSERT_TRUE(output.write(samples, error)) << error;
    EXPECT_FALSE(fs::is_empty(dir));  // the temporary file, not the target
    EXPECT_FALSE(fs::exists(dir / "a.flac"));
  }
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

}  // namespace

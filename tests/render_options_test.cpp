#include "render_options.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
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

// A fresh empty directory, removed again with everything in it.
struct TempDir {
  explicit TempDir(const char* name) : path(fs::temp_directory_path() / name) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

TEST(RenderOptions, GoodCommandLines) {
  const auto r = parse({"--left", "pink", "--right=pulse", "--frequency", "22050", "--left-level",
                        "-6", "--right-level=-99", "--seconds", "2", "-o", "out.flac"});
  const auto& o = r.options;
  EXPECT_EQ(std::tie(r.error, o.left, o.right, o.frequency, o.left_level_db, o.right_level_db,
                     o.blocks, o.output),
            std::tuple("", tq::kPinkNoise, tq::kPulse, 22050.0, -6.0, -99.0, 11, "out.flac"));
  const auto d = parse({"--blocks", "7", "-o", "-"}).options;  // the defaults
  EXPECT_EQ(std::tie(d.left, d.right, d.frequency, d.left_level_db, d.right_level_db, d.blocks),
            std::tuple(tq::kSine, tq::kSine, 1000.0, 0.0, 0.0, 7));
  EXPECT_EQ(parse({"-o", "x.AIF"}).options.blocks, 6);  // one second
  EXPECT_TRUE(parse({"--help"}).options.help && parse({"--version"}).options.version);
}

TEST(RenderOptions, SecondsRoundUpToWholeBlocks) {
  const std::pair<double, std::int64_t> cases[] = {
      {8192.0 / 44100.0, 1}, {1e-9, 1}, {0.5, 3}, {3600.0, 19380}};
  for (const auto& [seconds, blocks] : cases)
    EXPECT_EQ(tq::render::blocks_for_seconds(seconds), blocks) << seconds;
}

TEST(RenderOptions, BadArgumentsNameTheArgument) {
  const std::pair<std::vector<std::string_view>, std::string_view> cases[] = {
      {{"--left", "sinus", "-o", "x.wav"}, "--left: unknown waveform 'sinus'"},
      {{"--frequency", "1k", "-o", "x.wav"}, "--frequency: '1k' is not a number"},
      {{"--frequency", "inf", "-o", "x.wav"}, "--frequency: 'inf' is not a number"},
      {{"--frequency", "22050.1", "-o", "x.wav"}, "--frequency: '22050.1' is out of range"},
      {{"--right-level", "0.5", "-o", "x.wav"}, "--right-level: '0.5' is out of range"},
      {{"--left-level", "-100", "-o", "x.wav"}, "--left-level: '-100' is out of range"},
      {{"--blocks", "0", "-o", "x.wav"}, "--blocks: '0' is out of range"},
      {{"--blocks", "1.5", "-o", "x.wav"}, "--blocks: '1.5' is not a whole number"},
      {{"--seconds", "0", "-o", "x.wav"}, "--seconds: '0' is not a positive duration"},
      {{"--blocks", "2", "--seconds", "1", "-o", "x.wav"}, "--blocks, --seconds"},
      {{"-o", "x.mp3"}, "-o: unknown file type 'x.mp3'"},
      {{"--left", "sine"}, "-o: no output given"},
      {{"-o"}, "-o: needs a value"},
      {{"--loud", "-o", "x.wav"}, "unknown option '--loud'"},
      {{"x.wav"}, "unexpected argument 'x.wav'"},
      {{"--version=2"}, "--version: takes no value"},
  };
  for (const auto& [args, named] : cases) {
    const std::string error = parse(args).error;
    EXPECT_EQ(error.find(named), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

// The program itself: status 2, one line on stderr, no file left behind.
TEST(RenderTool, BadArgumentsExitWithStatusTwo) {
  const TempDir dir("tq_render_bad");
  const std::string err = (dir.path / "stderr").string();
  for (const std::string& args :
       {"--frequency x -o " + (dir.path / "a.wav").string(),
        "-o " + (dir.path / "missing" / "a.wav").string(), std::string("--left")}) {
    const int status = std::system((TQ_RENDER_BINARY " " + args + " 2>" + err).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args;
    std::ifstream in(err);
    std::string first, second;
    std::getline(in, first);
    EXPECT_EQ(first.rfind("tonquill-render: ", 0), 0u) << first;
    EXPECT_FALSE(std::getline(in, second)) << second;
  }
  fs::remove(err);
  EXPECT_TRUE(fs::is_empty(dir.path));  // no output and no temporary file
}

// Pink noise at -6 dB on the left, a sawtooth at 0 dB on the right, 997 Hz,
// three blocks: what render_block gives from the state after the stream
// opens, with the levels applied per sample.
std::vector<std::int16_t> expected_samples() {
  auto table = std::make_unique<tq::SineTable>();
  tq::build_sine_table(*table);
  std::array<tq::ChannelState, 2> channels{};
  channels[0].waveform = tq::kPinkNoise;
  channels[1].waveform = tq::kSawtooth;
  channels[0].frequency = channels[1].frequency = 997.0;
  tq::RandomSource random{1};
  const std::uint32_t volume[2] = {tq::level_to_volume(-6.0), tq::level_to_volume(0.0)};
  std::vector<std::int16_t> all;
  tq::Block block{};
  for (int b = 0; b < 3; ++b) {
    tq::render_block(block, channels, *table, random);
    for (std::size_t i = 0; i < block.size(); ++i)
      all.push_back(tq::apply_volume(block[i], volume[i % 2]));
  }
  return all;
}

TEST(RenderTool, WavAndRawHoldExactlyTheRenderedBlocks) {
  const auto expected = expected_samples();
  const TempDir dir("tq_render_good");
  const std::string wav = (dir.path / "out.wav").string();
  const std::string command = TQ_RENDER_BINARY
      " --left pink --right sawtooth --frequency 997 --left-level -6 --blocks 3 -o ";
  ASSERT_EQ(std::system((command + wav).c_str()), 0);
  SF_INFO info{};
  SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::tie(info.channels, info.samplerate, info.format),
            std::tuple(2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  std::vector<std::int16_t> read(expected.size() + 2);
  read.resize(static_cast<std::size_t>(
      sf_read_short(file, read.data(), static_cast<sf_count_t>(read.size()))));
  sf_close(file);
  EXPECT_TRUE(read == expected) << read.size() << " samples";

  std::FILE* pipe = popen((command + "-").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<unsigned char> bytes(2 * expected.size() + 2);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), pipe));
  EXPECT_EQ(pclose(pipe), 0);
  std::vector<std::int16_t> raw;  // little-endian
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    raw.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
  EXPECT_TRUE(raw == expected) << raw.size() << " samples";
}

TEST(SoundOutput, UncommittedFileIsRemoved) {
  const TempDir dir("tq_render_abandon");
  {
    tq::render::SoundOutput output;
    std::string error;
    ASSERT_TRUE(output.open((dir.path / "a.flac").string(), error)) << error;
    ASSERT_TRUE(output.write(std::vector<std::int16_t>(4096, 1000), error)) << error;
    EXPECT_FALSE(fs::is_empty(dir.path));  // the temporary file, not the target
    EXPECT_FALSE(fs::exists(dir.path / "a.flac"));
  }
  EXPECT_TRUE(fs::is_empty(dir.path));
}

}  // namespace

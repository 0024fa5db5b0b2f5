#include "render_options.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
#include "synth/sample_format.h"
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
  EXPECT_EQ(std::tie(r.error, o.signal.channels[0].waveform, o.signal.channels[1].waveform,
                     o.signal.frequency, o.left_level_db, o.right_level_db, o.blocks, o.output),
            std::tuple("", tq::kPinkNoise, tq::kPulse, 22050.0, -6.0, -99.0, 11, "out.flac"));
  const auto d = parse({"--blocks", "7", "-o", "-"}).options;  // the defaults
  EXPECT_EQ(std::tie(d.signal.channels[0].waveform, d.signal.channels[1].waveform,
                     d.signal.frequency, d.left_level_db, d.right_level_db, d.blocks),
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

// What the workbench's options derive beyond their own field (each field
// by name is checked by the round trip of SignalOptions below): the whole
// length of a sweep, the fade-out's end, the rate's place and default
// length, the dither's default per format.
TEST(RenderOptions, SignalOptionsSetTheSettings) {
  using O = tq::render::RenderOptions;
  const std::pair<std::vector<std::string_view>, bool (*)(const O&)> cases[] = {
      {{"--sweep-to", "8000", "--seconds", "2"},  // the whole length: 11 blocks
       [](const O& o) {
         const auto& w = o.signal.sweep;
         return w && w->seconds == 11 * 8192 / 44100.0 && w->law == tq::SweepLaw::kLog &&
                w->repeat == tq::SweepRepeat::kOnce;
       }},
      {{"--fade-in", "10", "--fade-out", "20.5"},
       [](const O& o) {
         return o.signal.fade_in_ms == 10 && o.signal.fade_out_ms == 20.5 &&
                o.signal.end_frame == 6 * 8192;
       }},
      {{"--frequency", "48000", "--seconds", "1", "--rate", "96000"},  // the rate goes first
       [](const O& o) { return o.signal.rate == 96000 && o.blocks == 12; }},
      {{"--rate", "96000"}, [](const O& o) { return o.blocks == 12; }},  // one second
      {{},
       [](const O& o) {
         return o.format == tq::SampleFormat::kS16 && o.dither == tq::Dither::kNone;
       }},
      {{"--format", "s24"}, [](const O& o) { return o.dither == tq::Dither::kTpdf; }},
      {{"--format", "s24", "--dither", "none"},
       [](const O& o) { return o.dither == tq::Dither::kNone; }},
      {{"--format", "f32", "-o", "x.aiff"},
       [](const O& o) { return o.format == tq::SampleFormat::kF32; }},
  };
  for (const auto& [args, holds] : cases) {
    std::vector<std::string_view> line = args;
    if (std::find(line.begin(), line.end(), "-o") == line.end())
      line.insert(line.end(), {"-o", "x.wav"});
    const auto r = parse(line);
    EXPECT_EQ(r.error, "") << args.front();
    EXPECT_TRUE(holds(r.options)) << (args.empty() ? "defaults" : args.front());
  }
}

TEST(RenderOptions, BadSignalValuesNameTheOptionAndRange) {
  const std::pair<std::vector<std::string_view>, std::string_view> cases[] = {
      {{"--left-frequency", "22050.5"}, "--left-frequency: '22050.5' is out of range (0 to 22050)"},
      {{"--rate", "8000", "--frequency", "4001"},
       "--frequency: '4001' is out of range (0 to 4000)"},
      {{"--right-phase", "361"}, "--right-phase: '361' is out of range (0 to 360)"},
      {{"--left-duty", "100"}, "--left-duty: '100' is out of range (more than 0, less than 100)"},
      {{"--right-duty", "0"}, "--right-duty: '0' is out of range (more than 0, less than 100)"},
      {{"--sweep-to", "abc"}, "--sweep-to: 'abc' is not a number"},
      {{"--sweep-seconds", "0"},
       "--sweep-seconds: '0' is out of range (more than 0, at most 86400)"},
      {{"--sweep-law", "exp"}, "--sweep-law: unknown sweep law 'exp' (log, linear)"},
      {{"--sweep-repeat", "twice"},
       "--sweep-repeat: unknown sweep repeat 'twice' (once, repeat, bounce)"},
      {{"--burst-on", "1.5"}, "--burst-on: '1.5' is not a whole number"},
      {{"--burst-off", "-1"}, "--burst-off: '-1' is out of range (0 to 1000000)"},
      {{"--fade-in", "-5"}, "--fade-in: '-5' is out of range (0 to 86400000)"},
      {{"--rate", "7999"}, "--rate: '7999' is out of range (8000 to 192000)"},
      {{"--rate", "44100.5"}, "--rate: '44100.5' is not a whole number"},
      {{"--format", "s32"}, "--format: unknown format 's32' (s16, s24, f32)"},
      {{"--dither", "rect"}, "--dither: unknown dither 'rect' (tpdf, none)"},
      {{"--format", "f32", "-o", "x.flac"}, "--format: f32 does not go into FLAC (s16 or s24)"},
      {{"--left-invert=on"}, "--left-invert: takes no value"},
      {{"--sweep-to", "1000", "--frequency", "0"}, "--sweep-law: log needs --frequency"},
      {{"--burst-off", "3"}, "--burst-off: needs --burst-on (1 to 1000000)"},
  };
  for (const auto& [args, message] : cases) {
    std::vector<std::string_view> line = args;
    if (std::find(line.begin(), line.end(), "-o") == line.end())
      line.insert(line.end(), {"-o", "x.wav"});
    const std::string error = parse(line).error;
    EXPECT_EQ(error.find(message), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

// What a live player does: one option at a time, and its status line.
TEST(SignalOptions, ApplyOneByNameAndDescribe) {
  tq::render::RenderOptions options;
  const std::tuple<std::string_view, std::string_view, std::string_view> steps[] = {
      {"left-invert", "", ""},
      {"right-invert", "on", ""},
      {"right-invert", "off", ""},
      {"left-frequency", "500", ""},
      {"sweep-to", "2000", ""},
      {"sweep-law", "linear", ""},
      {"right-phase", "90", ""},
      {"left-invert", "yes", "left-invert: 'yes' is not on or off"},
      {"frequency", "22051", "frequency: '22051' is out of range (0 to 22050)"},
      {"rate", "48000", "unknown option 'rate'"},
  };
  for (const auto& [name, value, error] : steps) {
    const std::string before = tq::render::describe_signal(options);
    EXPECT_EQ(tq::render::apply_signal_option(options, name, value), error) << name;
    if (!error.empty()) {
      EXPECT_EQ(tq::render::describe_signal(options), before) << name;
    }
  }
  const std::string status = tq::render::describe_signal(options);
  for (const std::string_view pair : {"left-invert=on", "right-invert=off", "left-frequency=500",
                                      "right-frequency=off", "sweep-to=2000", "right-phase=90"})
    EXPECT_NE(status.find(pair), std::string::npos) << pair << " in " << status;
  EXPECT_EQ(options.signal.sweep->law, tq::SweepLaw::kLinear);
  // Every listed option takes back what the status line says.
  tq::render::RenderOptions again;
  std::size_t applied = 0;
  for (const auto& info : tq::render::signal_options()) {
    const std::string key = std::string(info.name) + "=";
    const auto at = status.find(" " + key) == std::string::npos ? 0 : status.find(" " + key) + 1;
    ASSERT_EQ(status.compare(at, key.size(), key), 0) << key;
    const auto end = status.find(' ', at);
    const std::string value =
        status.substr(at + key.size(), end == std::string::npos ? end : end - at - key.size());
    EXPECT_EQ(tq::render::apply_signal_option(again, info.name, value), "") << key << value;
    ++applied;
  }
  EXPECT_EQ(tq::render::describe_signal(again), status);
  EXPECT_GE(applied, 21u);
}

TEST(SampleFormat, TpdfDitherSpansOneBitEitherWayAroundZero) {
  tq::DitherSource source;
  double sum = 0.0, squares = 0.0;
  double low = 0.0, high = 0.0;
  constexpr int kDraws = 200000;
  for (int i = 0; i < kDraws; ++i) {
    const double d = tq::next_tpdf(source);
    sum += d;
    squares += d * d;
    low = std::min(low, d);
    high = std::max(high, d);
  }
  EXPECT_NEAR(sum / kDraws, 0.0, 0.01);
  EXPECT_NEAR(squares / kDraws, 1.0 / 6.0, 0.005);  // two uniform draws: 2 * 1/12
  EXPECT_TRUE(low >= -1.0 && low < -0.95 && high <= 1.0 && high > 0.95) << low << " " << high;
}

// A rendered file's header and samples, read back.
struct ReadBack {
  SF_INFO info{};
  std::vector<int> samples;  // full scale 2^31
  std::vector<float> floats;
};

ReadBack read_back(const std::string& path) {
  ReadBack back;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &back.info);
  if (file == nullptr) return back;
  const auto count = static_cast<std::size_t>(back.info.frames * back.info.channels);
  back.samples.resize(count);
  back.floats.resize(count);
  back.samples.resize(static_cast<std::size_t>(
      sf_read_int(file, back.samples.data(), static_cast<sf_count_t>(count))));
  sf_seek(file, 0, SEEK_SET);
  back.floats.resize(static_cast<std::size_t>(
      sf_read_float(file, back.floats.data(), static_cast<sf_count_t>(count))));
  sf_close(file);
  return back;
}

TEST(RenderTool, FilesTakeTheRateAndFormatAsked) {
  const TempDir dir("tq_render_formats");
  const std::tuple<std::string_view, std::string_view, int, int> cases[] = {
      {"s16", "a.wav", 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"s24", "b.flac", 96000, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {"f32", "c.wav", 8000, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {"s24", "d.aiff", 192000, SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
      {"f32", "e.aiff", 44100, SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
  };
  for (const auto& [format, name, rate, sf_format] : cases) {
    const std::string path = (dir.path / name).string();
    const std::string command = std::string(TQ_RENDER_BINARY " --blocks 1 --format ") +
                                std::string(format) + " --rate " + std::to_string(rate) + " -o " +
                                path;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const ReadBack back = read_back(path);
    EXPECT_EQ(std::tie(back.info.samplerate, back.info.format, back.info.frames),
              std::tuple(rate, sf_format, 8192))
        << command;
  }
}

// The same sine at 16 and 24 bits and as floats: the wider formats keep the
// fraction the 16-bit samples round away; raw output holds the same values.
TEST(RenderTool, WiderFormatsHoldTheSameSignalFiner) {
  const TempDir dir("tq_render_fine");
  const std::string base = TQ_RENDER_BINARY " --frequency 997 --right-level -6 --blocks 1 ";
  const auto render = [&](const std::string& args, const std::string& name) {
    const std::string path = (dir.path / name).string();
    EXPECT_EQ(std::system((base + args + " -o " + path).c_str()), 0) << args;
    return read_back(path);
  };
  const ReadBack s16 = render("--dither none", "a.wav");
  const ReadBack s24 = render("--format s24 --dither none", "b.wav");
  const ReadBack f32 = render("--format f32", "c.wav");
  ASSERT_EQ(s24.samples.size(), s16.samples.size());
  ASSERT_EQ(f32.floats.size(), s16.samples.size());
  int fractions = 0;
  for (std::size_t i = 0; i < s16.samples.size(); ++i) {
    const double s24_on_16 = (s24.samples[i] / 256) / 256.0;
    // s16 reads a table at 17 bits of phase (1.2 steps off at most, plus
    // the table's own rounding) and takes -6 dB as the window's volume
    // word, 0.50098 rather than 0.50119 (5 steps at the peak).
    EXPECT_NEAR(s24_on_16, s16.samples[i] / 65536.0, i % 2 == 0 ? 2.5 : 7.0) << i;
    EXPECT_NEAR(f32.floats[i] * 32768.0, s24_on_16, 0.5 / 256 + 1e-3) << i;
    fractions += (s24.samples[i] / 256) % 256 != 0;
  }
  EXPECT_GT(fractions, 1000);

  std::FILE* pipe = popen((base + "--format s24 --dither none -o -").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<unsigned char> bytes(3 * s24.samples.size() + 3);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), pipe));
  EXPECT_EQ(pclose(pipe), 0);
  ASSERT_EQ(bytes.size(), 3 * s24.samples.size());
  for (std::size_t i = 0; i < s24.samples.size(); ++i) {
    const std::int32_t raw =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[3 * i]) << 8 |
                                  static_cast<std::uint32_t>(bytes[3 * i + 1]) << 16 |
                                  static_cast<std::uint32_t>(bytes[3 * i + 2]) << 24);
    ASSERT_EQ(raw, s24.samples[i]) << i;
  }
}

// Dither moves a sample of a channel with a level by one step at most,
// leaves a channel at 0 dB alone, and is the same on every run.
TEST(RenderTool, DitherIsDeterministic) {
  const TempDir dir("tq_render_dither");
  const auto render = [&](const std::string& args, const std::string& name) {
    const std::string path = (dir.path / name).string();
    const std::string command =
        TQ_RENDER_BINARY " --left-level -6 --blocks 2 " + args + " -o " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return read_back(path).samples;
  };
  const auto first = render("--format s24", "a.wav");  // tpdf by default
  const auto plain = render("--format s24 --dither none", "b.wav");
  EXPECT_TRUE(first == render("--format s24 --dither tpdf", "c.wav"));
  EXPECT_TRUE(render("--dither tpdf", "d.wav") == render("--dither tpdf", "e.wav"));  // s16
  ASSERT_EQ(first.size(), 2u * 2 * 8192);
  ASSERT_EQ(plain.size(), first.size());
  int changed = 0;
  for (std::size_t i = 0; i < first.size(); i += 2) {
    EXPECT_LE(std::abs(first[i] / 256 - plain[i] / 256), 1) << i;
    EXPECT_EQ(first[i + 1], plain[i + 1]) << i;
    changed += first[i] != plain[i];
  }
  EXPECT_GT(changed, 1000);
}

}  // namespace

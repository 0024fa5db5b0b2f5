#pragma once
// Where the renderer's samples go: a sound file (WAV, FLAC or AIFF through
// libsndfile, stereo at any rate, 16-bit or 24-bit PCM or 32-bit float) or
// raw little-endian stereo on standard output (2, 3 or 4 bytes a sample).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "synth/sample_format.h"
#include "synth/waveform.h"

struct sf_private_tag;  // libsndfile's SNDFILE

namespace tq::render {

enum class OutputType { kRaw, kWav, kFlac, kAiff };

// "-" is raw standard output; otherwise the file name's extension decides
// (.wav, .flac, .aiff or .aif, any case). Nothing for another extension.
std::optional<OutputType> output_type(std::string_view path);

// Empty when `type` holds samples of `format`; else why not, with the
// formats it does hold.
std::string format_error(OutputType type, SampleFormat format);

struct OutputFormat {
  int rate = kSampleRate;
  SampleFormat samples = SampleFormat::kS16;
};

// One block's samples: s16 as int16, s24 as int32 in -8388608..8388607,
// f32 as float of full scale 1.0. Each matches the format opened.
using SampleSpan = std::variant<std::span<const std::int16_t>, std::span<const std::int32_t>,
                                std::span<const float>>;

// A file is written under a temporary name beside its target and renamed
// onto the target by commit(); an output destroyed before a successful
// commit removes the temporary file, so a failed run never leaves a
// partial file that looks finished.
class SoundOutput {
 public:
  SoundOutput() = default;
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;
  ~SoundOutput();

  // On failure `error` says why, naming the path. Without a format:
  // s16 at 44100 Hz.
  bool open(const std::string& path, std::string& error);
  bool open(const std::string& path, const OutputFormat& format, std::string& error);
  // Interleaved stereo samples, left first, in the format opened.
  bool write(std::span<const std::int16_t> samples, std::string& error);
  bool write_samples(const SampleSpan& samples, std::string& error);
  bool commit(std::string& error);

 private:
  void discard();
  bool write_raw(const SampleSpan& samples, std::string& error);

  sf_private_tag* file_ = nullptr;
  std::FILE* raw_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};

}  // namespace tq::render

#pragma once
// Where the renderer's samples go: a sound file (WAV, FLAC or AIFF through
// libsndfile, 16-bit PCM stereo at 44100 Hz) or raw 16-bit little-endian
// stereo on standard output.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct sf_private_tag;  // libsndfile's SNDFILE

namespace tq::render {

enum class OutputType { kRaw, kWav, kFlac, kAiff };

// "-" is raw standard output; otherwise the file name's extension decides
// (.wav, .flac, .aiff or .aif, any case). Nothing for another extension.
std::optional<OutputType> output_type(std::string_view path);

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

  // On failure `error` says why, naming the path.
  bool open(const std::string& path, std::string& error);
  // Interleaved stereo samples, left first.
  bool write(std::span<const std::int16_t> samples, std::string& error);
  bool commit(std::string& error);

 private:
  void discard();

  sf_private_tag* file_ = nullptr;
  std::FILE* raw_ = nullptr;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
};

}  // namespace tq::render

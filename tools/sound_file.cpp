#include "sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "join.h"
#include "synth/waveform.h"

namespace tq::render {

namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

int sndfile_format(OutputType type) {
  switch (type) {
    case OutputType::kFlac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case OutputType::kAiff:
      return SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    default:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  }
}

std::string in_quotes(const std::filesystem::path& path) {
  return join({"'", path.string(), "'"});
}

// A name beside the target that no file has yet: ".NAME.XXXXXXXX.part".
std::filesystem::path temporary_beside(const std::filesystem::path& target) {
  std::random_device entropy;
  std::filesystem::path candidate;
  do {
    candidate = target;
    candidate.replace_filename(
        join({".", target.filename().string(), ".", std::to_string(entropy()), ".part"}));
  } while (std::filesystem::exists(candidate));
  return candidate;
}

}  // namespace

std::optional<OutputType> output_type(std::string_view path) {
  if (path == "-") return OutputType::kRaw;
  const std::string extension = lower(std::filesystem::path(path).extension().string());
  if (extension == ".wav") return OutputType::kWav;
  if (extension == ".flac") return OutputType::kFlac;
  if (extension == ".aiff" || extension == ".aif") return OutputType::kAiff;
  return std::nullopt;
}

SoundOutput::~SoundOutput() {
  discard();
}

bool SoundOutput::open(const std::string& path, std::string& error) {
  const std::optional<OutputType> type = output_type(path);
  if (!type) {
    error = join({"unknown file type ", in_quotes(path), " (use .wav, .flac, .aiff or -)"});
    return false;
  }
  if (*type == OutputType::kRaw) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    raw_ = stdout;
    return true;
  }
  target_ = path;
  std::error_code ec;
  if (std::filesystem::is_directory(target_, ec)) {
    error = in_quotes(target_) + " is a directory";
    return false;
  }
  temporary_ = temporary_beside(target_);
  SF_INFO info{};
  info.samplerate = kSampleRate;
  info.channels = kChannels;
  info.format = sndfile_format(*type);
  file_ = sf_open(temporary_.string().c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) {
    error = join({"cannot write ", in_quotes(target_), ": ", sf_strerror(nullptr)});
    temporary_.clear();
    return false;
  }
  return true;
}

bool SoundOutput::write(std::span<const std::int16_t> samples, std::string& error) {
  if (raw_ != nullptr) {
    // Little-endian whatever the host's byte order.
    std::array<unsigned char, 2 * kBlockSamples> bytes{};
    while (!samples.empty()) {
      const std::size_t count = std::min<std::size_t>(samples.size(), kBlockSamples);
      for (std::size_t i = 0; i < count; ++i) {
        const auto word = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<unsigned char>(word & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(word >> 8);
      }
      if (std::fwrite(bytes.data(), 2, count, raw_) != count) {
        error = "cannot write to standard output";
        return false;
      }
      samples = samples.subspan(count);
    }
    return true;
  }
  const auto count = static_cast<sf_count_t>(samples.size());
  if (file_ == nullptr || sf_write_short(file_, samples.data(), count) != count) {
    error = join({"cannot write ", in_quotes(target_), ": ", sf_strerror(file_)});
    return false;
  }
  return true;
}

bool SoundOutput::commit(std::string& error) {
  if (raw_ != nullptr) {
    const bool flushed = std::fflush(raw_) == 0 && std::ferror(raw_) == 0;
    raw_ = nullptr;
    if (!flushed) error = "cannot write to standard output";
    return flushed;
  }
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0) {
    error = join({"cannot write ", in_quotes(target_), ": ", sf_error_number(closed)});
    discard();
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary_, target_, ec);
  if (ec) {
    error = join({"cannot write ", in_quotes(target_), ": ", ec.message()});
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void SoundOutput::discard() {
  if (file_ != nullptr) sf_close(file_);
  file_ = nullptr;
  raw_ = nullptr;
  if (!temporary_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
    temporary_.clear();
  }
}

}  // namespace tq::render

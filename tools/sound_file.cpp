#include "sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <random>
#include <system_error>
#include <type_traits>
#include <utility>

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

int sndfile_container(OutputType type) {
  switch (type) {
    case OutputType::kFlac:
      return SF_FORMAT_FLAC;
    case OutputType::kAiff:
      return SF_FORMAT_AIFF;
    default:
      return SF_FORMAT_WAV;
  }
}

int sndfile_subtype(SampleFormat format) {
  switch (format) {
    case SampleFormat::kS24:
      return SF_FORMAT_PCM_24;
    case SampleFormat::kF32:
      return SF_FORMAT_FLOAT;
    default:
      return SF_FORMAT_PCM_16;
  }
}

std::string_view container_name(OutputType type) {
  switch (type) {
    case OutputType::kFlac:
      return "FLAC";
    case OutputType::kAiff:
      return "AIFF";
    default:
      return "WAV";
  }
}

constexpr std::array<std::pair<SampleFormat, std::string_view>, 3> kSampleFormats{
    {{SampleFormat::kS16, "s16"}, {SampleFormat::kS24, "s24"}, {SampleFormat::kF32, "f32"}}};

bool sndfile_holds(OutputType type, SampleFormat format) {
  if (type == OutputType::kRaw) return true;
  SF_INFO info{};
  info.samplerate = kSampleRate;
  info.channels = kChannels;
  info.format = sndfile_container(type) | sndfile_subtype(format);
  return sf_format_check(&info) != 0;
}

// Bytes a raw sample takes.
std::size_t raw_width(const SampleSpan& samples) {
  constexpr std::array<std::size_t, 3> kWidths{2, 3, 4};
  return kWidths[samples.index()];
}

// A raw sample as its low `width` bytes, little-endian whatever the host's
// byte order.
std::uint32_t raw_word(float sample) {
  return std::bit_cast<std::uint32_t>(sample);
}
std::uint32_t raw_word(std::int32_t sample) {
  return static_cast<std::uint32_t>(sample);
}
std::uint32_t raw_word(std::int16_t sample) {
  return static_cast<std::uint16_t>(sample);
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

std::string format_error(OutputType type, SampleFormat format) {
  if (sndfile_holds(type, format)) return {};
  std::string held;
  for (const auto& [other, name] : kSampleFormats) {
    if (sndfile_holds(type, other)) held += join({held.empty() ? "" : " or ", name});
  }
  const std::string_view name = kSampleFormats[static_cast<std::size_t>(format)].second;
  return join({name, " does not go into ", container_name(type), " (", held, ")"});
}

SoundOutput::~SoundOutput() {
  discard();
}

bool SoundOutput::open(const std::string& path, std::string& error) {
  return open(path, OutputFormat{}, error);
}

bool SoundOutput::open(const std::string& path, const OutputFormat& format, std::string& error) {
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
  info.samplerate = format.rate;
  info.channels = kChannels;
  info.format = sndfile_container(*type) | sndfile_subtype(format.samples);
  file_ = sf_open(temporary_.string().c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) {
    error = join({"cannot write ", in_quotes(target_), ": ", sf_strerror(nullptr)});
    temporary_.clear();
    return false;
  }
  return true;
}

bool SoundOutput::write(std::span<const std::int16_t> samples, std::string& error) {
  return write_samples(samples, error);
}

bool SoundOutput::write_samples(const SampleSpan& samples, std::string& error) {
  if (raw_ != nullptr) return write_raw(samples, error);
  const sf_count_t count = std::visit(
      [this](auto span) -> sf_count_t {
        using Sample = typename decltype(span)::value_type;
        const auto size = static_cast<sf_count_t>(span.size());
        if (file_ == nullptr) return -1;
        if constexpr (std::is_same_v<Sample, std::int16_t>) {
          return sf_write_short(file_, span.data(), size);
        } else if constexpr (std::is_same_v<Sample, float>) {
          return sf_write_float(file_, span.data(), size);
        } else {
          // libsndfile's int is full scale at 2^31: the 24 bits go on top.
          std::array<int, kBlockSamples> words{};
          sf_count_t written = 0;
          for (std::size_t at = 0; at < span.size(); at += words.size()) {
            const std::size_t n = std::min(words.size(), span.size() - at);
            for (std::size_t i = 0; i < n; ++i) words[i] = span[at + i] * 256;
            written += sf_write_int(file_, words.data(), static_cast<sf_count_t>(n));
          }
          return written;
        }
      },
      samples);
  const auto expected =
      std::visit([](auto span) { return static_cast<sf_count_t>(span.size()); }, samples);
  if (count != expected) {
    error = join({"cannot write ", in_quotes(target_), ": ", sf_strerror(file_)});
    return false;
  }
  return true;
}

bool SoundOutput::write_raw(const SampleSpan& samples, std::string& error) {
  const std::size_t width = raw_width(samples);
  std::array<unsigned char, 4 * kBlockSamples> bytes{};
  const bool written = std::visit(
      [&](auto span) {
        while (!span.empty()) {
          const std::size_t count = std::min<std::size_t>(span.size(), kBlockSamples);
          for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t word = raw_word(span[i]);
            for (std::size_t b = 0; b < width; ++b)
              bytes[width * i + b] = static_cast<unsigned char>(word >> (8 * b));
          }
          if (std::fwrite(bytes.data(), width, count, raw_) != count) return false;
          span = span.subspan(count);
        }
        return true;
      },
      samples);
  if (!written) error = "cannot write to standard output";
  return written;
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

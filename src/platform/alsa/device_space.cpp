#include "platform/alsa/device_space.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

namespace tq {

namespace {

// The three standard rates of the format bits, lowest first.
constexpr std::array<unsigned, 3> kStandardRates{11025, 22050, 44100};
// Volume is applied to the samples by this service, per channel; nothing
// else of the platform's optional functions is offered.
constexpr std::uint32_t kSoftwareVolumeSupport = kCapsVolume | kCapsLrVolume;

std::size_t range_index(bool sixteen_bits, bool stereo) {
  return (sixteen_bits ? 2u : 0u) + (stereo ? 1u : 0u);
}

std::string hint_text(void* hint, const char* id) {
  char* value = snd_device_name_get_hint(hint, id);
  if (value == nullptr) return {};
  std::string text = value;
  std::free(value);
  return text;
}

bool is_output_hint(void* hint) {
  const std::string io = hint_text(hint, "IOID");
  return io.empty() || io == "Output";
}

using ParamsPtr = std::unique_ptr<snd_pcm_hw_params_t, decltype(&snd_pcm_hw_params_free)>;

ParamsPtr new_params() {
  snd_pcm_hw_params_t* params = nullptr;
  if (snd_pcm_hw_params_malloc(&params) < 0) return {nullptr, &snd_pcm_hw_params_free};
  return {params, &snd_pcm_hw_params_free};
}

// The rate range of `all` narrowed to one sample size and channel count,
// and which standard rates that leaves (the format bits of that pair).
RateRange narrowed_range(snd_pcm_t* pcm, const snd_pcm_hw_params_t* all, bool sixteen_bits,
                         bool stereo, std::uint32_t* format_bits) {
  ParamsPtr params = new_params();
  if (!params) return {};
  snd_pcm_hw_params_copy(params.get(), all);
  const snd_pcm_format_t format = sixteen_bits ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8;
  if (snd_pcm_hw_params_set_access(pcm, params.get(), SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
      snd_pcm_hw_params_set_format(pcm, params.get(), format) < 0 ||
      snd_pcm_hw_params_set_channels(pcm, params.get(), stereo ? 2 : 1) < 0) {
    return {};
  }
  RateRange range{};
  int dir = 0;
  if (snd_pcm_hw_params_get_rate_min(params.get(), &range.minimum, &dir) < 0) return {};
  if (dir > 0) ++range.minimum;  // an open lower end
  if (snd_pcm_hw_params_get_rate_max(params.get(), &range.maximum, &dir) < 0) return {};
  if (dir < 0) --range.maximum;  // an open upper end
  range.accepted = range.minimum <= range.maximum;
  // Bits per rate step: 1M08, 1S08, 1M16, 1S16 for rate 1, then << 4 each.
  const std::uint32_t bit = 1u << range_index(sixteen_bits, stereo);
  for (std::size_t step = 0; step < kStandardRates.size(); ++step) {
    if (snd_pcm_hw_params_test_rate(pcm, params.get(), kStandardRates[step], 0) == 0) {
      *format_bits |= bit << (4 * step);
    }
  }
  return range;
}

std::string read_first_line(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// The card a device name belongs to: "hw:1,0", "plughw:CARD=USB,DEV=0",
// "front:CARD=PCH,DEV=0" and so on; nothing for plugins of no card.
std::optional<int> card_of(const std::string& name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string card = name.substr(colon + 1);
  const std::size_t key = card.find("CARD=");
  if (key != std::string::npos) card = card.substr(key + 5);
  card = card.substr(0, card.find(','));
  if (card.empty()) return std::nullopt;
  const int index = snd_card_get_index(card.c_str());
  return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

// A USB card's vendor and product ids from /proc/asound/cardN/usbid
// ("vvvv:pppp"); false for cards that have none.
bool read_usb_ids(int card, WaveOutCaps* caps) {
  const std::string text = read_first_line("/proc/asound/card" + std::to_string(card) + "/usbid");
  unsigned vendor = 0;
  unsigned product = 0;
  if (std::sscanf(text.c_str(), "%4x:%4x", &vendor, &product) != 2) return false;
  caps->manufacturer_id = static_cast<std::uint16_t>(vendor);
  caps->product_id = static_cast<std::uint16_t>(product);
  return true;
}

// Major version in the high byte, minor in the low byte, from the first
// "major.minor" found in `text` after `from`.
std::uint32_t packed_version(const std::string& text, std::size_t from) {
  unsigned major = 0;
  unsigned minor = 0;
  if (from >= text.size()) return 0;
  if (std::sscanf(text.c_str() + from, "%u.%u", &major, &minor) != 2) return 0;
  return ((major & 0xFFu) << 8) | (minor & 0xFFu);
}

// A card is driven by the kernel's ALSA drivers ("... Driver Version
// k6.1.0."); every other PCM by alsa-lib's plugins.
std::uint32_t driver_version(bool has_card) {
  if (has_card) {
    const std::string text = read_first_line("/proc/asound/version");
    const std::size_t at = text.find("Version ");
    if (at == std::string::npos) return 0;
    const std::size_t digits = text.find_first_of("0123456789", at);
    return digits == std::string::npos ? 0 : packed_version(text, digits);
  }
  return packed_version(snd_asoundlib_version(), 0);
}

void copy_name(const std::string& name, WaveOutCaps* caps) {
  std::size_t length = std::min(name.size(), sizeof caps->product_name - 1);
  // Never cut a UTF-8 character in two.
  while (length > 0 && length < name.size() &&
         (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
    --length;
  }
  std::memcpy(caps->product_name, name.data(), length);
  caps->product_name[length] = '\0';
}

}  // namespace

std::vector<std::string> list_output_devices() {
  std::vector<std::string> names{kDefaultDeviceName};
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return names;
  for (void** hint = hints; *hint != nullptr; ++hint) {
    const std::string name = hint_text(*hint, "NAME");
    if (name.empty() || !is_output_hint(*hint)) continue;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  snd_device_name_free_hint(hints);
  return names;
}

bool is_playable_format(const WaveFormat& format) {
  const bool sample_size_ok = format.bits_per_sample == 8 || format.bits_per_sample == 16;
  const bool channels_ok = format.channels == 1 || format.channels == 2;
  if (format.format_tag != 1 || !sample_size_ok || !channels_ok) return false;
  const std::uint32_t align = format.channels * format.bits_per_sample / 8u;
  return format.block_align == align && format.samples_per_sec > 0 &&
         format.avg_bytes_per_sec == format.samples_per_sec * align;
}

bool space_accepts(const DeviceSpace& space, const WaveFormat& format) {
  if (!is_playable_format(format)) return false;
  const RateRange& range =
      space.ranges[range_index(format.bits_per_sample == 16, format.channels == 2)];
  return range.accepted && format.samples_per_sec >= range.minimum &&
         format.samples_per_sec <= range.maximum;
}

DeviceSpace read_device_space(snd_pcm_t* pcm) {
  DeviceSpace space{};
  ParamsPtr all = new_params();
  if (!all || snd_pcm_hw_params_any(pcm, all.get()) < 0) {
    space.open_error = -EINVAL;
    return space;
  }
  for (const bool sixteen_bits : {false, true}) {
    for (const bool stereo : {false, true}) {
      space.ranges[range_index(sixteen_bits, stereo)] =
          narrowed_range(pcm, all.get(), sixteen_bits, stereo, &space.formats);
    }
  }
  const bool stereo = space.ranges[1].accepted || space.ranges[3].accepted;
  const bool mono = space.ranges[0].accepted || space.ranges[2].accepted;
  // As the platform's record has it: 2 for a stereo device, 1 for mono.
  space.channels = stereo ? 2 : (mono ? 1 : 0);
  return space;
}

DeviceSpace probe_device_space(const std::string& name) {
  snd_pcm_t* pcm = nullptr;
  const int opened = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (opened < 0) {
    DeviceSpace failed{};
    failed.open_error = opened;
    return failed;
  }
  DeviceSpace space = read_device_space(pcm);
  snd_pcm_close(pcm);
  return space;
}

WaveOutCaps device_caps_for(const std::string& name, const DeviceSpace& space) {
  WaveOutCaps caps{};
  copy_name(name, &caps);
  const std::optional<int> card = card_of(name);
  if (card) read_usb_ids(*card, &caps);
  caps.driver_version = driver_version(card.has_value());
  caps.formats = space.formats;
  caps.channels = space.channels;
  caps.support = kSoftwareVolumeSupport;
  return caps;
}

}  // namespace tq

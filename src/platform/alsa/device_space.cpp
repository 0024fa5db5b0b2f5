#include "platform/alsa/device_space.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "audio/wave_out_rules.h"

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

// ALSA's descriptions may run over several lines; the first names the device.
std::string first_line(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

// Definitions of alsa-lib and alsa-plugins that are not outputs of their own:
// converters, effects and encoders in front of another device, and the
// device that discards everything.
constexpr const char* kNotOutputs[] = {"null",       "lavrate",   "samplerate", "speexrate",
                                       "speex",      "upmix",     "vdownmix",   "a52",
                                       "usb_stream", "sysdefault"};

bool path_exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// JACK servers listen on a socket under /dev/shm: "jack_NAME_UID_0" (JACK 2)
// or "jack-UID/NAME/jack_0" (JACK 1).
bool jack_server_running() {
  const char* named = std::getenv("JACK_DEFAULT_SERVER");
  const std::string server = named != nullptr && *named != '\0' ? named : "default";
  const std::string uid = std::to_string(getuid());
  return path_exists("/dev/shm/jack_" + server + "_" + uid + "_0") ||
         path_exists("/dev/shm/jack-" + uid + "/" + server + "/jack_0");
}

void add_hinted_devices(std::vector<OutputDevice>& devices) {
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return;
  const bool jack_running = jack_server_running();
  const bool oss_present = path_exists("/dev/dsp");
  for (void** hint = hints; *hint != nullptr; ++hint) {
    const std::string name = hint_text(*hint, "NAME");
    if (!is_output_hint(*hint) || !is_listed_hint(name, jack_running, oss_present)) continue;
    const bool known = std::any_of(devices.begin(), devices.end(),
                                   [&](const OutputDevice& device) { return device.pcm == name; });
    if (known) continue;
    const std::string description = first_line(hint_text(*hint, "DESC"));
    devices.push_back({name, description.empty() ? name : description});
  }
  snd_device_name_free_hint(hints);
}

using CtlPtr = std::unique_ptr<snd_ctl_t, decltype(&snd_ctl_close)>;

// The playback devices of one card, named as ALSA's hints name them:
// "card name, device name".
void add_card_devices(int card, std::vector<OutputDevice>& devices) {
  snd_ctl_t* opened = nullptr;
  if (snd_ctl_open(&opened, ("hw:" + std::to_string(card)).c_str(), 0) < 0) return;
  const CtlPtr ctl(opened, &snd_ctl_close);
  snd_ctl_card_info_t* card_info = nullptr;
  snd_ctl_card_info_alloca(&card_info);
  if (snd_ctl_card_info(ctl.get(), card_info) < 0) return;
  const std::string card_id = snd_ctl_card_info_get_id(card_info);
  const std::string card_name = snd_ctl_card_info_get_name(card_info);
  snd_pcm_info_t* pcm_info = nullptr;
  snd_pcm_info_alloca(&pcm_info);
  int device = -1;
  while (snd_ctl_pcm_next_device(ctl.get(), &device) == 0 && device >= 0) {
    snd_pcm_info_set_device(pcm_info, static_cast<unsigned>(device));
    snd_pcm_info_set_subdevice(pcm_info, 0);
    snd_pcm_info_set_stream(pcm_info, SND_PCM_STREAM_PLAYBACK);
    if (snd_ctl_pcm_info(ctl.get(), pcm_info) < 0) continue;  // capture only
    devices.push_back({"hw:CARD=" + card_id + ",DEV=" + std::to_string(device),
                       card_name + ", " + snd_pcm_info_get_name(pcm_info), card, device});
  }
}

void add_cards(std::vector<OutputDevice>& devices) {
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) add_card_devices(card, devices);
}

// "rate: 48000 (48000/1)" in an open stream's hw_params file.
void add_hw_params_rate(const std::string& path, std::vector<unsigned>& rates) {
  std::ifstream file(path);
  std::string line;
  unsigned rate = 0;
  while (std::getline(file, line)) {
    if (std::sscanf(line.c_str(), "rate: %u", &rate) == 1) rates.push_back(rate);
  }
}

// "Rates: 44100, 48000, 96000" lines of the "Playback:" part of a USB
// card's stream file (the "Capture:" part follows it).
void add_stream_file_rates(const std::string& path, std::vector<unsigned>& rates) {
  std::ifstream file(path);
  std::string line;
  bool playback = false;
  while (std::getline(file, line)) {
    if (line.rfind("Playback:", 0) == 0) playback = true;
    if (line.rfind("Capture:", 0) == 0) playback = false;
    const std::size_t label = line.find("Rates:");
    if (!playback || label == std::string::npos) continue;
    std::istringstream list(line.substr(label + 6));
    std::string item;
    while (std::getline(list, item, ',')) {
      unsigned rate = 0;
      if (std::sscanf(item.c_str(), "%u", &rate) == 1) rates.push_back(rate);
    }
  }
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

std::vector<OutputDevice> list_output_devices() {
  std::vector<OutputDevice> devices{{kDefaultDeviceName, kDefaultDeviceName}};
  add_hinted_devices(devices);
  add_cards(devices);
  return devices;
}

bool is_listed_hint(const std::string& name, bool jack_running, bool oss_present) {
  // A ':' marks one of the aliases ALSA defines per card; the cards' devices
  // are listed from the cards themselves.
  if (name.empty() || name.find(':') != std::string::npos) return false;
  for (const char* not_output : kNotOutputs) {
    if (name == not_output) return false;
  }
  if (name == "jack") return jack_running;
  if (name == "oss") return oss_present;
  return true;
}

std::vector<unsigned> kernel_told_rates(const std::string& proc_root, int card, int device) {
  const std::filesystem::path card_dir = proc_root + "/card" + std::to_string(card);
  const std::filesystem::path pcm_dir = card_dir / ("pcm" + std::to_string(device) + "p");
  std::vector<unsigned> rates;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(pcm_dir, error)) {
    if (entry.path().filename().string().rfind("sub", 0) == 0) {
      add_hw_params_rate((entry.path() / "hw_params").string(), rates);
    }
  }
  // USB cards number their stream files as their PCM devices.
  add_stream_file_rates((card_dir / ("stream" + std::to_string(device))).string(), rates);
  std::sort(rates.begin(), rates.end());
  rates.erase(std::unique(rates.begin(), rates.end()), rates.end());
  return rates;
}

DeviceSpace busy_device_space(const std::vector<unsigned>& rates_told) {
  DeviceSpace space{};
  space.open_error = -EBUSY;
  if (rates_told.empty()) return space;
  space.ranges[range_index(true, true)] = {true, rates_told.front(), rates_told.back()};
  space.channels = 2;
  return space;
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

DeviceSpace probe_device_space(const OutputDevice& device) {
  snd_pcm_t* pcm = nullptr;
  const int opened =
      snd_pcm_open(&pcm, device.pcm.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (opened == -EBUSY && device.card >= 0) {
    return busy_device_space(kernel_told_rates("/proc/asound", device.card, device.card_device));
  }
  if (opened < 0) {
    DeviceSpace failed{};
    failed.open_error = opened;
    return failed;
  }
  DeviceSpace space = read_device_space(pcm);
  snd_pcm_close(pcm);
  return space;
}

WaveOutCaps device_caps_for(const OutputDevice& device, const DeviceSpace& space) {
  WaveOutCaps caps{};
  copy_name(device.description, &caps);
  const std::optional<int> card =
      device.card >= 0 ? std::optional<int>(device.card) : card_of(device.pcm);
  if (card) read_usb_ids(*card, &caps);
  caps.driver_version = driver_version(card.has_value());
  caps.formats = space.formats;
  caps.channels = space.channels;
  caps.support = kSoftwareVolumeSupport;
  return caps;
}

}  // namespace tq

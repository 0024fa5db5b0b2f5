#include "platform/winmm/winmm_wave_out.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <cstring>

#include "audio/output_level.h"
#include "platform/winmm/sample_gain.h"

namespace tq {

namespace {

constexpr UINT kErrorTextCapacity = 256;
constexpr std::uint16_t kPcmFormatTag = 1;
constexpr std::uint16_t kScaledBitsPerSample = 16;

HWAVEOUT to_handle(WaveOutHandle handle) {
  return reinterpret_cast<HWAVEOUT>(handle);
}

WAVEFORMATEX to_platform(const WaveFormat& format) {
  WAVEFORMATEX platform{};
  platform.wFormatTag = format.format_tag;
  platform.nChannels = format.channels;
  platform.nSamplesPerSec = format.samples_per_sec;
  platform.nAvgBytesPerSec = format.avg_bytes_per_sec;
  platform.nBlockAlign = format.block_align;
  platform.wBitsPerSample = format.bits_per_sample;
  platform.cbSize = format.extra_size;
  return platform;
}

template <typename Record>
auto find_device(Record& records, std::uint32_t device) {
  return std::find_if(records.begin(), records.end(),
                      [device](const auto& record) { return record.device == device; });
}

}  // namespace

VolumeMode volume_mode_of_this_system() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const bool under_wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return under_wine ? VolumeMode::samples : VolumeMode::device;
}

WinmmWaveOut::WinmmWaveOut(VolumeMode volume_mode) : volume_mode_(volume_mode) {}
WinmmWaveOut::~WinmmWaveOut() = default;

MMResult WinmmWaveOut::open(WaveOutHandle* handle, std::uint32_t device, const WaveFormat& format,
                            NotifyTarget target, std::uint32_t flags) {
  const WAVEFORMATEX platform = to_platform(format);
  HWAVEOUT opened = nullptr;
  const MMRESULT result = waveOutOpen(&opened, device, &platform, target, 0, flags);
  *handle = result == MMSYSERR_NOERROR ? reinterpret_cast<WaveOutHandle>(opened) : 0;
  if (*handle != 0) streams_.push_back({*handle, device, format});
  return result;
}

MMResult WinmmWaveOut::query_format(std::uint32_t device, const WaveFormat& format) {
  const WAVEFORMATEX platform = to_platform(format);
  return waveOutOpen(nullptr, device, &platform, 0, 0, WAVE_FORMAT_QUERY);
}

MMResult WinmmWaveOut::prepare(WaveOutHandle handle, WaveHeader* header) {
  Binding& binding = bind(header);
  copy_to_platform(binding);
  const MMRESULT result =
      waveOutPrepareHeader(to_handle(handle), binding.platform.get(), sizeof(WAVEHDR));
  copy_flags_to_core(*binding.platform, *header);
  return result;
}

MMResult WinmmWaveOut::write(WaveOutHandle handle, WaveHeader* header) {
  Binding& binding = bind(header);
  copy_to_platform(binding);
  if (volume_mode_ == VolumeMode::samples) fill_scaled(handle, binding);
  const MMRESULT result = waveOutWrite(to_handle(handle), binding.platform.get(), sizeof(WAVEHDR));
  copy_flags_to_core(*binding.platform, *header);
  return result;
}

// The driver's flags decide here: a buffer the core still takes as queued
// may be done already.
MMResult WinmmWaveOut::unprepare(WaveOutHandle handle, WaveHeader* header) {
  Binding& binding = bind(header);
  const MMRESULT result =
      waveOutUnprepareHeader(to_handle(handle), binding.platform.get(), sizeof(WAVEHDR));
  copy_flags_to_core(*binding.platform, *header);
  return result;
}

MMResult WinmmWaveOut::reset(WaveOutHandle handle) {
  const MMRESULT result = waveOutReset(to_handle(handle));
  // The reset marks every queued buffer done before it returns.
  for (Binding& binding : bindings_) copy_flags_to_core(*binding.platform, *binding.core);
  return result;
}

MMResult WinmmWaveOut::close(WaveOutHandle handle) {
  const MMRESULT result = waveOutClose(to_handle(handle));
  if (result == MMSYSERR_NOERROR) {
    std::erase_if(streams_, [handle](const OpenStream& stream) { return stream.handle == handle; });
  }
  return result;
}

std::string WinmmWaveOut::error_text(MMResult result) {
  char text[kErrorTextCapacity] = {};
  if (waveOutGetErrorTextA(result, text, kErrorTextCapacity) != MMSYSERR_NOERROR) {
    return "Sound device error " + std::to_string(result);
  }
  return text;
}

MMResult WinmmWaveOut::device_id(WaveOutHandle handle, std::uint32_t* device) {
  UINT id = 0;
  const MMRESULT result = waveOutGetID(to_handle(handle), &id);
  *device = id;
  return result;
}

MMResult WinmmWaveOut::set_volume(std::uint32_t device, std::uint32_t volume) {
  if (volume_mode_ == VolumeMode::device) {
    return waveOutSetVolume(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(device)), volume);
  }
  // Taken up by the next buffer written to a stream on this device.
  const auto found = find_device(volumes_, device);
  if (found == volumes_.end()) {
    volumes_.push_back({device, volume});
  } else {
    found->volume = volume;
  }
  return MMSYSERR_NOERROR;
}

std::uint32_t WinmmWaveOut::device_count() {
  return waveOutGetNumDevs();
}

MMResult WinmmWaveOut::device_caps(std::uint32_t device, WaveOutCaps* caps) {
  WAVEOUTCAPSA platform{};
  const MMRESULT result = waveOutGetDevCapsA(device, &platform, sizeof(platform));
  caps->manufacturer_id = platform.wMid;
  caps->product_id = platform.wPid;
  caps->driver_version = platform.vDriverVersion;
  const std::size_t name_length =
      strnlen(platform.szPname, std::min(sizeof(platform.szPname), sizeof(caps->product_name) - 1));
  std::memcpy(caps->product_name, platform.szPname, name_length);
  caps->product_name[name_length] = '\0';
  caps->formats = platform.dwFormats;
  caps->channels = platform.wChannels;
  caps->support = platform.dwSupport;
  return result;
}

WaveHeader* WinmmWaveOut::header_for_done(std::uintptr_t wave_header) {
  for (Binding& binding : bindings_) {
    if (reinterpret_cast<std::uintptr_t>(binding.platform.get()) != wave_header) continue;
    copy_flags_to_core(*binding.platform, *binding.core);
    return binding.core;
  }
  return nullptr;
}

WinmmWaveOut::Binding& WinmmWaveOut::bind(WaveHeader* header) {
  const auto found =
      std::find_if(bindings_.begin(), bindings_.end(),
                   [header](const Binding& binding) { return binding.core == header; });
  if (found != bindings_.end()) return *found;
  bindings_.push_back({header, std::make_unique<WAVEHDR>(), {}});
  *bindings_.back().platform = WAVEHDR{};
  return bindings_.back();
}

// Before a prepare or a write the core's header is the whole truth, as the
// caller's own WAVEHDR would be; lpNext and reserved stay the driver's. In
// VolumeMode::samples the driver plays our scaled copy of the data.
void WinmmWaveOut::copy_to_platform(Binding& binding) {
  const WaveHeader& core = *binding.core;
  WAVEHDR& platform = *binding.platform;
  platform.lpData = core.data;
  if (volume_mode_ == VolumeMode::samples && core.data != nullptr) {
    // Resized only here, before a prepare or a write, never while queued.
    if (binding.scaled.size() != core.buffer_length) binding.scaled.resize(core.buffer_length);
    platform.lpData = binding.scaled.data();
  }
  platform.dwBufferLength = core.buffer_length;
  platform.dwBytesRecorded = core.bytes_recorded;
  platform.dwUser = core.user;
  platform.dwFlags = core.flags;
  platform.dwLoops = core.loops;
}

void WinmmWaveOut::fill_scaled(WaveOutHandle handle, Binding& binding) {
  const WaveHeader& core = *binding.core;
  if (core.data == nullptr) return;
  const OpenStream* stream = stream_of(handle);
  const std::size_t bytes = std::min<std::size_t>(core.buffer_length, binding.scaled.size());
  if (stream != nullptr && stream->format.format_tag == kPcmFormatTag &&
      stream->format.bits_per_sample == kScaledBitsPerSample) {
    copy_with_volume(core.data, binding.scaled.data(), bytes, stream->format.channels,
                     volume_of(stream->device));
  } else {
    std::memcpy(binding.scaled.data(), core.data, bytes);
  }
}

// A device whose volume was never set plays at unity gain.
std::uint32_t WinmmWaveOut::volume_of(std::uint32_t device) const {
  const auto found = find_device(volumes_, device);
  return found == volumes_.end() ? kUnityVolumeWord : found->volume;
}

const WinmmWaveOut::OpenStream* WinmmWaveOut::stream_of(WaveOutHandle handle) const {
  const auto found =
      std::find_if(streams_.begin(), streams_.end(),
                   [handle](const OpenStream& stream) { return stream.handle == handle; });
  return found == streams_.end() ? nullptr : &*found;
}

void WinmmWaveOut::copy_flags_to_core(const wavehdr_tag& platform, WaveHeader& core) {
  core.flags = platform.dwFlags;
  core.bytes_recorded = platform.dwBytesRecorded;
}

}  // namespace tq

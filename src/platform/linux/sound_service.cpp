#include "platform/linux/sound_service.h"

namespace tq {

SoundService::SoundService(const PulseWaveOut::EventSink& sink, const BufferRefill& refill) {
  pulse_ = std::make_unique<PulseWaveOut>(sink, refill);
  if (pulse_->connect_now() || pulse_server_expected()) return;
  pulse_.reset();
  alsa_ = std::make_unique<AlsaWaveOut>(sink);
}

WaveOutService& SoundService::service() {
  if (pulse_) return *pulse_;
  return *alsa_;
}

const char* SoundService::name() const {
  return pulse_ ? "pulse" : "alsa";
}

std::uint64_t SoundService::underrun_count() const {
  return pulse_ ? pulse_->underrun_count() : alsa_->recovery_count();
}

bool SoundService::device_lost() const {
  return pulse_ ? pulse_->device_lost() : alsa_->device_lost();
}

}  // namespace tq

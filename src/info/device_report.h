#pragma once
// The sound device report: every wave output device with its capability
// record and its highest accepted stereo 16-bit rate.

#include <cstdint>
#include <string>

#include "audio/wave_out.h"
#include "info/message_desk.h"

namespace tq {

inline constexpr std::size_t kReportCapacity = 10000;  // terminator included
inline constexpr std::int32_t kCompatibleRate = 44100;

// Largest rate of 1000, 1100, ... 999900 that the device accepts; 0 if none.
std::int32_t max_playback_rate(WaveOutService& wave_out, std::uint32_t device);
// The whole report, at most 9999 characters.
std::string device_report_text(WaveOutService& wave_out);
void report_sound_devices(WaveOutService& wave_out, MessageDesk& desk);

}  // namespace tq

#pragma once
// The sound device report: every wave output device with its capability
// record and its highest accepted stereo 16-bit rate.

#include <cstdint>
#include <stop_token>
#include <string>

#include "audio/wave_out.h"
#include "info/message_desk.h"

namespace tq {

inline constexpr std::size_t kReportCapacity = 10000;  // terminator included
inline constexpr std::int32_t kCompatibleRate = 44100;

// Largest rate of 1000, 1100, ... 999900 that the device accepts; 0 if none.
// Asks from the top of the grid down and stops at the first rate accepted.
// A stop request ends the search at once; the result is then of no use.
std::int32_t max_playback_rate(WaveOutService& wave_out, std::uint32_t device,
                               std::stop_token stop = {});
// The whole report, at most 9999 characters. The service must answer from
// the calling thread; a stop request ends the probing early.
std::string device_report_text(WaveOutService& wave_out, std::stop_token stop = {});
void report_sound_devices(WaveOutService& wave_out, MessageDesk& desk);

}  // namespace tq

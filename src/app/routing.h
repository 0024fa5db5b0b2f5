#pragma once
// What the main window does with a command, a horizontal scroll event and a
// sound-device event. Shared by both front ends.

#include <cstdint>

#include "audio/wave_out.h"

namespace tq {

struct Generator;

// Command ids.
inline constexpr int kCmdExit = 5;
inline constexpr int kCmdHelp = 40;
inline constexpr int kCmdAbout = 41;
inline constexpr int kIdFrequencyBox = 50;
inline constexpr int kIdLeftLevelBox = 51;
inline constexpr int kIdRightLevelBox = 56;
inline constexpr int kCmdTimingReport = 69;
inline constexpr int kCmdDeviceReport = 70;
inline constexpr int kCmdProductPage = 72;

enum class CommandResult { handled, pass_to_default };

// Runs the command's action; unknown ids go to the default procedure.
// Only the low 16 bits of the id are looked at.
CommandResult route_command(Generator& generator, int id, int notification);

enum class ScrollSource { none, frequency, left_level, right_level };

// One horizontal scroll event; whatever the source, the panel frequency is
// then copied into both channels.
void route_horizontal_scroll(Generator& generator, ScrollSource source, int code,
                             int thumb_position);

// What the user is told when the sound device goes away while playing.
inline constexpr const char* kDeviceLostNotice =
    "The sound device was lost. Tonquill plays again as soon as it is back.";

// kMmWomOpen, kMmWomClose, kMmWomDone (header for DONE): the stream's
// events; a refill the device refused is shown once. kDeviceLost shows
// kDeviceLostNotice unless that box is still open; kDeviceBack needs nothing.
void route_device_message(Generator& generator, std::uint32_t message, WaveHeader* header);

// The (channel, waveform) a radio id stands for; false when it is none.
bool waveform_for_id(int id, int* channel, int* kind);

}  // namespace tq

#pragma once
// What every wave-out service does the same way: which open flags ask for
// events, how device events are handed on, which PCM formats a service can
// play at all, and how a header's flags change as a buffer is queued and
// comes back.

#include <cstdint>
#include <functional>

#include "audio/wave_out.h"

namespace tq {

// The callback-kind bits of the open flags; any kind but "none" asks for
// events.
inline constexpr std::uint32_t kCallbackKindMask = 0x00070000;

inline bool wants_events(std::uint32_t open_flags) {
  return (open_flags & kCallbackKindMask) != 0;
}

// Where a service that runs its own thread hands OPEN, CLOSE, DONE (with
// the header), kDeviceLost and kDeviceBack; the front end passes them on to
// its user-interface thread.
using DeviceEventSink =
    std::function<void(NotifyTarget target, std::uint32_t message, WaveHeader* header)>;

// Uncompressed PCM of one or two channels, 8 or 16 bits, whose block size
// and byte rate agree with the rest. A device may refuse more (a rate it
// cannot play); no service plays less.
bool is_playable_format(const WaveFormat& format);

// A written buffer: in the queue, not done.
inline void mark_queued(WaveHeader* header) {
  header->flags = (header->flags | kWhdrInQueue) & ~kWhdrDone;
}

// A buffer played or returned by a reset: out of the queue, done.
inline void mark_done(WaveHeader* header) {
  header->flags = (header->flags & ~kWhdrInQueue) | kWhdrDone;
}

}  // namespace tq

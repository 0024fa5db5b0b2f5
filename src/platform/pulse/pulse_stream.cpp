#include "platform/pulse/pulse_stream.h"

#include <algorithm>

namespace tq {

std::vector<WaveHeader*> take_played(ServerQueue& queue, std::size_t target_length,
                                     std::size_t room) {
  const std::size_t held = target_length > room ? target_length - room : 0;
  std::vector<WaveHeader*> played;
  while (!queue.headers.empty() && queue.sent >= held + queue.headers.front()->buffer_length) {
    queue.sent -= queue.headers.front()->buffer_length;
    played.push_back(queue.headers.front());
    queue.headers.pop_front();
  }
  return played;
}

void send_unsent(ServerQueue& queue, std::size_t room,
                 const std::function<void(const char* data, std::size_t bytes)>& send) {
  std::size_t skipped = 0;
  for (const WaveHeader* header : queue.headers) {
    if (room == 0) return;
    const std::size_t length = header->buffer_length;
    if (queue.sent >= skipped + length) {
      skipped += length;
      continue;
    }
    const std::size_t offset = queue.sent - skipped;
    const std::size_t bytes = std::min(room, length - offset);
    send(header->data + offset, bytes);
    queue.sent += bytes;
    room -= bytes;
    skipped += length;
  }
}

std::vector<WaveHeader*> take_all(ServerQueue& queue) {
  std::vector<WaveHeader*> all(queue.headers.begin(), queue.headers.end());
  queue.headers.clear();
  queue.sent = 0;
  return all;
}

}  // namespace tq

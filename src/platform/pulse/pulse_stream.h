#pragma once
// The buffers of one stream on the sound server: which of the written
// buffers the server holds, and which it has played. The server keeps at
// most its target length of our stream queued and asks for room as it
// plays; a buffer is played once the server has asked for all of its room.

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

#include "audio/wave_out.h"

namespace tq {

struct ServerQueue {
  std::deque<WaveHeader*> headers;  // written and not yet played, in order
  std::size_t sent = 0;             // bytes of them handed to the server
};

// Takes from the front every buffer whose room the server has asked for.
// `target_length` is the server's queue for the stream, `room` what it
// asks for now (the server holds at most target_length - room bytes).
std::vector<WaveHeader*> take_played(ServerQueue& queue, std::size_t target_length,
                                     std::size_t room);

// Hands up to `room` bytes not yet sent, in order, to `send` (a piece at
// most to a buffer's end); counts them sent.
void send_unsent(ServerQueue& queue, std::size_t room,
                 const std::function<void(const char* data, std::size_t bytes)>& send);

// Every buffer still queued, taken out (for a reset).
std::vector<WaveHeader*> take_all(ServerQueue& queue);

}  // namespace tq

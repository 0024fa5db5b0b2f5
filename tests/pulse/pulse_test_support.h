#pragma once
// Pieces of the sound server service's tests beside those it shares with
// the ALSA service's: the sink inputs the server lists, and a sink input
// ended by the server.

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <string>

#include "support/sound_server_support.h"

namespace tq::testing {

// One block of `pactl list sink-inputs` (the first, or the one for
// `index`), as text.
inline std::string sink_input_listing(std::int64_t index = -1) {
  const std::string all = command_output("pactl list sink-inputs 2>/dev/null");
  const std::string head = index < 0 ? "Sink Input #" : "Sink Input #" + std::to_string(index);
  const std::size_t start = all.find(head);
  if (start == std::string::npos) return "";
  return all.substr(start, all.find("\n\n", start) - start);
}

// The index `pactl list short sinks` gives the sink `name`.
inline std::string sink_index(const std::string& name) {
  return command_output("pactl list short sinks | awk -v n=" + name +
                        R"( '$2 == n { printf "%s", $1 }')");
}

// Has the server end a sink input, as a user's volume control can (pactl
// has no command for it).
inline bool kill_sink_input(std::uint32_t index) {
  pa_mainloop* loop = pa_mainloop_new();
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "tq-test");
  bool killed = false;
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) == 0) {
    while (PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) &&
           pa_context_get_state(context) != PA_CONTEXT_READY) {
      pa_mainloop_iterate(loop, 1, nullptr);
    }
    if (pa_context_get_state(context) == PA_CONTEXT_READY) {
      pa_operation* operation = pa_context_kill_sink_input(
          context, index,
          [](pa_context*, int success, void* done) { *static_cast<bool*>(done) = success != 0; },
          &killed);
      while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_mainloop_iterate(loop, 1, nullptr);
      }
      pa_operation_unref(operation);
    }
  }
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_mainloop_free(loop);
  return killed;
}

}  // namespace tq::testing

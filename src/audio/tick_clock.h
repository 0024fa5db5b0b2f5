#pragma once
// The clock the stream times its refills by.

#include <cstdint>

namespace tq {

class TickClock {
 public:
  virtual ~TickClock() = default;
  // Milliseconds since some fixed point, wrapping at 2^32.
  virtual std::uint32_t tick_count() = 0;
};

}  // namespace tq

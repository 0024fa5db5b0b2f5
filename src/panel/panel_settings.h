#pragma once
// What the panel shows and sets: the common frequency and the two levels.

#include <array>

namespace tq {

struct PanelSettings {
  double frequency = 1.0;
  std::array<double, 2> level_db{-50.0, -50.0};
};

}  // namespace tq

#include "panel/panel_window.h"

namespace tq {

std::string read_box(PanelWindow& window, Box box) {
  std::string text = window.box_text(box);
  const std::size_t kept = static_cast<std::size_t>(kBoxTextCapacity - 1);
  if (text.size() > kept) text.resize(kept);
  return text;
}

}  // namespace tq

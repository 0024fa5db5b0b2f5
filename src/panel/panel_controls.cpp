#include "panel/panel_controls.h"

namespace tq {

std::string read_box(PanelControls& controls, Box box) {
  std::string text = controls.box_text(box);
  const std::size_t kept = static_cast<std::size_t>(kBoxTextCapacity - 1);
  if (text.size() > kept) text.resize(kept);
  return text;
}

}  // namespace tq

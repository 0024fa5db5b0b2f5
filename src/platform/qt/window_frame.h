#pragma once
// The frame a window manager puts around the window: asked for before the
// window is shown, so that the window can take its outer size at once.

#include <optional>

class QWidget;

namespace tq::qt {

// Widths of the frame's four sides, in pixels.
struct FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// On X, when the window manager publishes frame extents and takes requests
// for them (_NET_REQUEST_FRAME_EXTENTS): the extents it will give `window`,
// asked for before `window` is shown (its native window is created here).
// nullopt on other platforms, without a window manager, or when none comes
// within a fraction of a second.
std::optional<FrameExtents> frame_extents_before_showing(QWidget& window);

}  // namespace tq::qt

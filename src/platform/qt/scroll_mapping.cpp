#include "platform/qt/scroll_mapping.h"

#include "panel/scroll_codes.h"

namespace tq::qt {

namespace {

// A move the user did not make by holding the thumb: the wheel.
std::optional<int> code_for_unheld_move(int moved_by) {
  if (moved_by > 0) return kSbLineRight;
  if (moved_by < 0) return kSbLineLeft;
  return std::nullopt;
}

}  // namespace

std::optional<int> scroll_code_for_action(int action, bool thumb_held, int moved_by) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return kSbLineLeft;
    case QAbstractSlider::SliderSingleStepAdd:
      return kSbLineRight;
    case QAbstractSlider::SliderPageStepSub:
      return kSbPageLeft;
    case QAbstractSlider::SliderPageStepAdd:
      return kSbPageRight;
    case QAbstractSlider::SliderToMinimum:
      return kSbLeft;
    case QAbstractSlider::SliderToMaximum:
      return kSbRight;
    case QAbstractSlider::SliderMove:
      if (thumb_held) return kSbThumbTrack;
      return code_for_unheld_move(moved_by);
    default:
      return std::nullopt;
  }
}

std::optional<int> scroll_code_for_key(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      return kSbLineLeft;
    case Qt::Key_Right:
    case Qt::Key_Down:
      return kSbLineRight;
    case Qt::Key_PageUp:
      return kSbPageLeft;
    case Qt::Key_PageDown:
      return kSbPageRight;
    case Qt::Key_Home:
      return kSbLeft;
    case Qt::Key_End:
      return kSbRight;
    default:
      return std::nullopt;
  }
}

}  // namespace tq::qt

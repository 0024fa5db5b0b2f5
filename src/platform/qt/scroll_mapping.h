#pragma once
// Which horizontal scroll code a user's action on a Qt scroll bar stands
// for: the codes the panel's scroll handlers take. Keys are mapped here and
// not through Qt's slider actions, whose arrow-key direction on a scroll bar
// differs between Qt versions.

#include <QAbstractSlider>
#include <optional>

namespace tq::qt {

// `action` is the QAbstractSlider::SliderAction Qt reports; `thumb_held`
// tells whether the user is dragging the thumb; `moved_by` is how far Qt
// moved the thumb for this action (position minus value). Arrows and arrow
// keys are line steps, the trough and the Page keys page steps, Home and End
// the two ends, a drag a thumb track; a wheel turn is one line step its way.
// nullopt for an action that stands for no scroll code.
std::optional<int> scroll_code_for_action(int action, bool thumb_held, int moved_by);

// A key pressed on a focused bar, as a scroll bar control of the desktop
// reads it: Left and Up a line left, Right and Down a line right, Page Up a
// page left, Page Down a page right, Home and End the two ends. nullopt for
// any other key.
std::optional<int> scroll_code_for_key(int key);

}  // namespace tq::qt

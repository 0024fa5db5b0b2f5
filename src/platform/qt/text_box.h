#pragma once
// A message box for a text taller than the screen (a device report of many
// devices): the text scrolls and can be selected and copied, and the OK
// button stays on screen.

#include <QString>

class QDialog;

namespace tq::qt {

// Whether `text` shown in a plain message box would not fit the height of
// the screen the box opens on.
bool taller_than_screen(const QString& text);

// A box with `title`, `text` in a read-only scrolling view and one OK
// button that closes it; no owner, not modal, deleted once closed. Not
// shown yet.
QDialog* new_scrolling_box(const QString& title, const QString& text);

}  // namespace tq::qt

#pragma once
// The window's dots per inch and the message font for them. The functions
// that give them per window came with Windows 10; on older systems (and
// Wines without them) the system's figures stand in, which is what those
// systems scale by.

#include <windows.h>

namespace tq {

// The DPI the window is drawn at: 96 at 100 %, 144 at 150 %.
int dpi_of_window(HWND window);

// The font of message boxes and dialogs (the message font of the
// non-client metrics) at `dpi`; the caller deletes it. nullptr if the
// system gives none, in which case controls keep their own font.
HFONT create_message_font(int dpi);

}  // namespace tq

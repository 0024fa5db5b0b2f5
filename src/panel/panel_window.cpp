#include "panel/panel_window.h"

#include "panel/level_control.h"

#include "panel/frequency_control.h"

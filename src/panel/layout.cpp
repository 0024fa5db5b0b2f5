#include "panel/layout.h"

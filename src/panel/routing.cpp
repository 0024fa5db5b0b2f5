#include "panel/routing.h"

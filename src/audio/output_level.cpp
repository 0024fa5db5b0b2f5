#include "audio/output_level.h"

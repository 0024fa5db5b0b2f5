#include "synth/numeric.h"

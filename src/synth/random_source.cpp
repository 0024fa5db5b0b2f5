#include "synth/random_source.h"

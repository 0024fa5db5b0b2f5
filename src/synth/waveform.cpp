#include "synth/waveform.h"

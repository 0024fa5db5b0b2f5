#include "audio/output_stream.h"

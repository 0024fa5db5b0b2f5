#include "panel/text_exchange.h"

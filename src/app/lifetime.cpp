#include "app/lifetime.h"

#include "info/info_commands.h"

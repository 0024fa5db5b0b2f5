#include "info/device_report.h"

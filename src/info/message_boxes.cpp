#include "info/message_boxes.h"

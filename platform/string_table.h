// The component's string table (the string resources), looked up by id.
#pragma once

#include "platform/wintypes.h"

// The text of string resource `id`, or null when there is none.
const char* FindStringResource(UINT id);

// What loading and unloading the library run (the application object's
// InitInstance and ExitInstance), callable again from tests. Not part of
// the installed interface.
#pragma once

#include "platform/wintypes.h"

BOOL VantrelLibraryLoad();
void VantrelLibraryUnload();

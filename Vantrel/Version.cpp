#include "Vantrel/Version.h"

// VANTREL_VERSION_TEXT comes from the build (the project's version).
const char* VantrelLibraryVersion() { return VANTREL_VERSION_TEXT; }

#include "Vantrel/Version.h"

#include <string_view>

// VANTREL_VERSION_TEXT comes from the build (the project's version); the
// headers' macros must say the same.
static_assert(std::string_view(VANTREL_VERSION_TEXT) == VANTREL_VERSION_STRING,
              "Vantrel/Version.h's version differs from the project's version in CMakeLists.txt");

const char* VantrelLibraryVersion() { return VANTREL_VERSION_TEXT; }

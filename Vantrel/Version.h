// The version of the library: the headers' at compile time (the macros) and
// the one a program runs with (VantrelLibraryVersion, the package version,
// as in vantrel.pc and the CMake package), which may differ from the headers
// it was built against within one SONAME.
//     #if VANTREL_VERSION_MAJOR > 5 || (VANTREL_VERSION_MAJOR == 5 && VANTREL_VERSION_MINOR >= 1)
#pragma once

#define VANTREL_VERSION_MAJOR 5
#define VANTREL_VERSION_MINOR 1
#define VANTREL_VERSION_PATCH 0
// "major.minor", as VantrelLibraryVersion gives it.
#define VANTREL_VERSION_STRING "5.1"

// "5.1": major.minor.
const char* VantrelLibraryVersion();

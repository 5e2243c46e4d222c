// The version of the library a program runs with (the package version, as
// in vantrel.pc and the CMake package), which may differ from the headers
// it was built against within one SONAME.
#pragma once

// "5.1": major.minor.
const char* VantrelLibraryVersion();

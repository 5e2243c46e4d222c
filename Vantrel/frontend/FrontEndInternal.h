// Marks the front end's implementation classes as the library's own:
// callers reach the stages through their interfaces, so these names stay
// out of the shared library's exports and calls to them bind inside it.
#pragma once

#define FRONT_END_INTERNAL __attribute__((visibility("hidden")))

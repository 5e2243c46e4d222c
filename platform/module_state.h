// The switch to the library's own module state. The library has one set of
// resources and one application object, so the switch does nothing.
#pragma once

struct AFX_MODULE_STATE {};

AFX_MODULE_STATE* AfxGetStaticModuleState();

#define AFX_MANAGE_STATE(state) ((void)(state))

#include "platform/module_state.h"

AFX_MODULE_STATE* AfxGetStaticModuleState() {
  static AFX_MODULE_STATE state;
  return &state;
}

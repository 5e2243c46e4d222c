#include "Vantrel/PluginInterface.h"

int CTalvoPluginOEMInterface::GetResultVector(CFormatedResultVector** out, int /*index*/) {
  if (out != nullptr) *out = nullptr;
  return 0;
}

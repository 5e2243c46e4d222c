#include "Vantrel/RegistryTransfer.h"

#include "Vantrel/VantrelTrace.h"
#include "platform/app.h"

namespace {

void TraceBadType(int type) {
  VANTREL_TRACE(TRACE_ORDINARY, "CMsystem::RegistryTransfer(), ERROR: Illegal registry parameter type (%d)!\n", type);
}

void TraceMissingVariable(const char* name) {
  VANTREL_TRACE(TRACE_ERRORS, "CMsystem::RegistryTransfer(), ERROR: no variable for entry %s!\n", name);
}

}  // namespace

void TransferRegistryTable(int read, const CString& section, const REGPARA* table) {
  if (table == nullptr) return;
  CWinApp* app = AfxGetApp();
  if (app == nullptr) {
    // Without an application object there is no profile to use. Writing
    // then quietly does nothing; reading is reported, since the caller's
    // variables keep whatever they held.
    if (read && table->name != nullptr)
      VANTREL_TRACE(TRACE_ERRORS, "CMsystem::RegistryTransfer(), ERROR: no application object!\n");
    return;
  }
  for (const REGPARA* row = table; row->name != nullptr; ++row) {
    switch (row->type) {
      case REGPARA_INT:
        if (row->intValue == nullptr)
          TraceMissingVariable(row->name);
        else if (read)
          *row->intValue = static_cast<int>(app->GetProfileInt(section, row->name, row->defaultInt));
        else
          app->WriteProfileInt(section, row->name, *row->intValue);
        break;
      case REGPARA_STRING:
        if (row->stringValue == nullptr)
          TraceMissingVariable(row->name);
        else if (read)
          *row->stringValue = app->GetProfileString(section, row->name, row->defaultString);
        else
          app->WriteProfileString(section, row->name, *row->stringValue);
        break;
      default: TraceBadType(row->type); break;
    }
  }
}

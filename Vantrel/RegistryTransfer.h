// Moves a table of integer and string settings to or from the
// application's profile (CWinApp profile functions), one row per setting.
#pragma once

#include "platform/CString.h"

// One row of a transfer table; a null name ends the table.
struct REGPARA {
  const char* name;           // profile entry name
  int type;                   // REGPARA_INT or REGPARA_STRING
  int* intValue;              // variable of an integer row
  CString* stringValue;       // variable of a string row
  int defaultInt;             // default of an integer row on reading
  const char* defaultString;  // default of a string row on reading
};

constexpr int REGPARA_INT = 0;
constexpr int REGPARA_STRING = 1;

// read non-zero: each variable receives its profile value (or default);
// read zero: each variable is written to the profile. A row of another type
// is traced and skipped; without an application object nothing happens
// (a read is traced, a write is not). CMsystem::RegistryTransfer forwards here.
void TransferRegistryTable(int read, const CString& section, const REGPARA* table);

// CMsystem::RegistryTransfer: settings tables through the application's profile.
#include "Vantrel/MSystem.h"
#include "Vantrel/RegistryTransfer.h"

void CMsystem::RegistryTransfer(int read, CString section, REGPARA* table) {
  TransferRegistryTable(read, section, table);
}

#include "Vantrel/MeasurementApp.h"

#include "Vantrel/DebugTrace.h"
#include "Vantrel/LibraryLifetime.h"
#include "Vantrel/Registry.h"

CMeasurementApp::CMeasurementApp() : CWinApp(nullptr) {}

CMeasurementApp::~CMeasurementApp() = default;

BOOL CMeasurementApp::InitInstance() {
  uint32_t mask = 0;
  m_traceLevelWasStored = RegistryValueExists(TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE);
  ReadFromRegistry(TRACE_LEVEL_KEY, TRACE_LEVEL_VALUE, mask, 0u, 0);
  SetTraceMask(mask);
  return CWinApp::InitInstance();
}

namespace {
CMeasurementApp theApp;
}  // namespace

CMeasurementApp& GetMeasurementApp() { return theApp; }

BOOL VantrelLibraryLoad() { return theApp.InitInstance(); }

void VantrelLibraryUnload() { theApp.ExitInstance(); }

namespace {

// Defined after theApp in this file, so it is constructed after it and
// destroyed before it: load and unload of the shared library run here.
struct LibraryLifetime {
  LibraryLifetime() { VantrelLibraryLoad(); }
  ~LibraryLifetime() { VantrelLibraryUnload(); }
} g_libraryLifetime;

}  // namespace

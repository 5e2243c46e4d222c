#include "Vantrel/TapiWaveIO.h"

CTapiWaveIO::CTapiWaveIO(CStdStr<char> /*className*/) {}

CTapiWaveIO::~CTapiWaveIO() = default;

unsigned int CTapiWaveIO::ThreadFunc(void* /*argument*/) { return 0; }

// Chief header of the measurement framework: everything an algorithm module
// and a host need to derive from CMsystem and drive a measurement.
#pragma once

#include "Vantrel/FrameData.h"
#include "Vantrel/MSystem.h"
#include "Vantrel/PluginInterface.h"
#include "Vantrel/QueryResult.h"
#include "Vantrel/RegistryTransfer.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/TapiWaveIO.h"
#include "Vantrel/TriggerEvent.h"
#include "Vantrel/Version.h"

// CMsystem: new parameter records, their defaults and the component's capabilities.
#include <new>

#include "Vantrel/MSystem.h"

namespace {

constexpr int kDefaultZeroSettings[] = {0, 1, 2, 3, 13, 14, 23, 24};
constexpr int kAllModes = 0xFFFF;

}  // namespace

void* CMsystem::CreateSysPara() {
  SYSPARA* sys = new (std::nothrow) SYSPARA(m_parentWindow);
  if (sys == nullptr) return nullptr;
  SetDefaultPara(sys, 0);
  return sys;
}

void CMsystem::SetDefaultPara(SYSPARA* sys, uint32_t /*flags*/) {
  if (sys == nullptr) return;
  for (int index : kDefaultZeroSettings) sys->settings[index] = 0;
  sys->realtime = 0;
  sys->modeWordD = 0;
  for (INPUTPARAEXT& input : sys->inputPara) {
    input.mode = INPUT_MODE_FILE;
    input.fileOption = 1;
  }
  DELAYPARAEXT& delay = sys->delayPara;
  delay.hold = 0;
  delay.snapEnable = 0;
  delay.spare1 = 0;
  delay.tracking = 0;
  delay.allowPadding = 0;
  delay.inputOffsetMs = 0;
  delay.snapTimeMs = 500;
  delay.maxDelayFileMs = 1000;
  delay.maxDelayRealtimeMs = 500;
  delay.maxTrackingStep = 512;
  for (OUTPUTPARA& output : sys->output) {
    output.mode = 0;
    output.option = 0;
  }
}

void CMsystem::GetCapabilities(SYSPARA* caps, float** curves) {
  for (int k = 0; k < 2; ++k) {
    if (curves != nullptr) curves[k] = nullptr;
    if (caps == nullptr) continue;
    SYSPARA& sys = caps[k];
    for (INPUTPARAEXT& input : sys.inputPara) input.mode = kAllModes;
    sys.channels = 2;
    sys.delayPara.compensationOn = 1;
    sys.delayPara.trackVariableDelay = 1;
    sys.delayPara.maxDelayFileMs = 1000;
    sys.delayPara.maxDelayRealtimeMs = 500;
    sys.delayPara.inputOffsetMs = 10000;
    sys.levelPara.levelAlign = 1;
    sys.levelPara.useFiltered = 1;
    for (OUTPUTPARA& output : sys.output) {
      output.mode = kAllModes;
      output.option = kAllModes;
    }
    for (CTriggerEvent* event = sys.triggers.head; event != nullptr; event = event->next) event->SetDefaults();
    sys.realtime = 1;
    sys.modeWordD = 0;
    sys.modeWordB = k;
  }
}

// The stage factories: installed makers first, else the built-in stages.
#include <mutex>
#include <new>

#include "Vantrel/frontend/BuiltInStages.h"
#include "Vantrel/frontend/StageMakers.h"
#include "Vantrel/stages/DelayBuffer.h"
#include "Vantrel/stages/DelayCompensation.h"
#include "Vantrel/stages/InputMux.h"

namespace {

std::mutex g_makersMutex;
StageMakers g_makers;

StageMakers CurrentMakers() {
  std::lock_guard<std::mutex> lock(g_makersMutex);
  return g_makers;
}

}  // namespace

StageMakers SetStageMakers(StageMakers makers) {
  std::lock_guard<std::mutex> lock(g_makersMutex);
  StageMakers previous = std::move(g_makers);
  g_makers = std::move(makers);
  return previous;
}

CInputMux* CInputMux::Create() {
  const StageMakers makers = CurrentMakers();
  return makers.inputMux ? makers.inputMux() : NewBuiltInInputMux();
}

CDelayBuffer* CDelayBuffer::Create() {
  const StageMakers makers = CurrentMakers();
  return makers.delayBuffer ? makers.delayBuffer() : NewBuiltInDelayBuffer();
}

CDelayCompensation* CDelayCompensation::Create() {
  const StageMakers makers = CurrentMakers();
  return makers.delayCompensation ? makers.delayCompensation() : NewBuiltInDelayCompensation();
}

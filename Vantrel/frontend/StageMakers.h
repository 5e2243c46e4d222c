// Which implementation the front end's stage factories (CInputMux::Create,
// CDelayBuffer::Create, CDelayCompensation::Create) build. Without makers
// installed they build the component's own stages (BuiltInStages.h); tests
// install makers of scripted stages.
#pragma once

#include <functional>
#include <utility>

class CInputMux;
class CDelayBuffer;
class CDelayCompensation;

struct StageMakers {
  std::function<CInputMux*()> inputMux;
  std::function<CDelayBuffer*()> delayBuffer;
  std::function<CDelayCompensation*()> delayCompensation;
};

// Installs makers (an empty member: the built-in stage); returns the previous set.
StageMakers SetStageMakers(StageMakers makers);

// Installs makers for its lifetime.
class ScopedStageMakers {
 public:
  explicit ScopedStageMakers(StageMakers makers) : m_previous(SetStageMakers(std::move(makers))) {}
  ~ScopedStageMakers() { SetStageMakers(std::move(m_previous)); }
  ScopedStageMakers(const ScopedStageMakers&) = delete;
  ScopedStageMakers& operator=(const ScopedStageMakers&) = delete;

 private:
  StageMakers m_previous;
};

#include "platform/events.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/kernel_object.h"

namespace {

class Event final : public KernelObject {
 public:
  Event(bool manualReset, bool initialState) : m_manualReset(manualReset), m_signalled(initialState) {}

  void Set() {
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_signalled = true;
    }
    if (m_manualReset)
      m_changed.notify_all();
    else
      m_changed.notify_one();
  }

  void Reset() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_signalled = false;
  }

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock<std::mutex> guard(m_lock);
    auto signalled = [this] { return m_signalled; };
    if (milliseconds == INFINITE) {
      m_changed.wait(guard, signalled);
    } else if (milliseconds == 0) {
      // A poll: a timed wait would sleep out the timer slack (tens of
      // microseconds) even when its deadline has already passed.
      if (!signalled()) return WAIT_TIMEOUT;
    } else if (!m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds), signalled)) {
      return WAIT_TIMEOUT;
    }
    if (!m_manualReset) m_signalled = false;  // one waiter per Set
    return WAIT_OBJECT_0;
  }

 private:
  const bool m_manualReset;
  bool m_signalled;
  std::mutex m_lock;
  std::condition_variable m_changed;
};

std::shared_ptr<Event> FindEvent(HANDLE handle) {
  auto event = std::dynamic_pointer_cast<Event>(FindKernelObject(handle));
  if (!event) SetLastError(ERROR_INVALID_HANDLE);
  return event;
}

}  // namespace

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  return RegisterKernelObject(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
  auto target = FindEvent(event);
  if (!target) return FALSE;
  target->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  auto target = FindEvent(event);
  if (!target) return FALSE;
  target->Reset();
  return TRUE;
}

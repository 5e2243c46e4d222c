// Internal: the handle table behind HANDLE. Every event and mutex is a
// KernelObject held by shared pointer, so a handle closed on one thread
// while another waits on it cannot leave the waiter with a dangling object.
#pragma once

#include <memory>

#include "platform/wintypes.h"

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_ABANDONED.
  virtual DWORD Wait(DWORD milliseconds) = 0;
};

HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle);
// Removes the handle; false when it was not registered.
bool UnregisterKernelObject(HANDLE handle);

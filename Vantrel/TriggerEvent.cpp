#include "Vantrel/TriggerEvent.h"

#include <new>

#include "Vantrel/FrameData.h"

CTriggerEvent::CTriggerEvent(HWND parentWindow) : parent(parentWindow) {}

CTriggerEvent::CTriggerEvent(const CTriggerEvent& other)
    : name(other.name),
      state(other.state),
      startAction(other.startAction),
      endAction(other.endAction),
      mask(other.mask) {}

CTriggerEvent& CTriggerEvent::operator=(const CTriggerEvent& other) {
  Copy(other);
  return *this;
}

void CTriggerEvent::Copy(const CTriggerEvent& other) {
  if (this == &other) return;
  if (next != nullptr && other.next != nullptr) *next = *other.next;  // through the successor's own slot
  name = other.name;
  state = other.state;
  startAction = other.startAction;
  endAction = other.endAction;
  mask = other.mask;
}

CTriggerEvent::~CTriggerEvent() {
  // Unlinked one by one so a long chain does not recurse.
  CTriggerEvent* rest = next;
  next = nullptr;
  while (rest != nullptr) {
    CTriggerEvent* following = rest->next;
    rest->next = nullptr;
    delete rest;
    rest = following;
  }
}

int CTriggerEvent::CheckNewEvent(void* /*frame*/) { return 1; }

int CTriggerEvent::StandardAction(void* frame) {
  if (frame == nullptr) return 1;
  FRAMEHEADER& header = static_cast<FRAMEDATA*>(frame)->header;
  switch (state) {
    case TRIGGER_ARMED:
      header.delayValid = 0;
      header.resetAverage = 1;
      break;
    case TRIGGER_STARTED:
    case TRIGGER_RUNNING: header.delayValid = 1; break;
    case TRIGGER_ENDED:
    case TRIGGER_AFTER_END:
    case TRIGGER_DONE:
      header.delayValid = 1;
      header.endOfMeasurement = 1;
      break;
    default: break;
  }
  return 1;
}

int CTriggerEvent::Action(void* /*frame*/, int /*code*/) { return 1; }

void CTriggerEvent::InputDialog(void* /*unused*/) {}

void CTriggerEvent::SetDefaults() {
  name = "Unknown";
  state = TRIGGER_OFF;
  startAction = 0;
  endAction = 0;
}

void CTriggerEvent::Archive(int /*mode*/, char* /*buffer*/, uint32_t /*size*/) {}

CTriggerPara::CTriggerPara(HWND parentWindow) : parent(parentWindow) {
  head = new (std::nothrow) CTimeEvent(parentWindow);
}

CTriggerPara::CTriggerPara(const CTriggerPara& other) : CTriggerPara(other.parent) { *this = other; }

CTriggerPara& CTriggerPara::operator=(const CTriggerPara& other) {
  if (this == &other) return *this;
  parent = other.parent;
  if (other.head == nullptr) {
    delete head;
    head = nullptr;
    return *this;
  }
  if (head == nullptr) head = new (std::nothrow) CTimeEvent(parent);
  if (head != nullptr) *head = *other.head;  // slot 0: the event's own assignment
  return *this;
}

CTriggerPara::~CTriggerPara() {
  delete head;
  head = nullptr;
}

int CTriggerPara::GetNrActiveTriggerEvents() const {
  int active = 0;
  for (const CTriggerEvent* event = head; event != nullptr; event = event->next)
    if (event->state != TRIGGER_OFF) ++active;
  return active;
}

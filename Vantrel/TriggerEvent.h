// Trigger events: they decide which frames belong to a measurement.
// A CTriggerPara owns a chain of events; CMsystem runs the chain twice per
// frame (before the samples are fetched and after), and each event moves
// through its states on the frame's sample position and marks the frame
// header. CTimeEvent gates the measurement by a start and an end time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/wintypes.h"

// Event states; bit values so that a mask can test several at once.
constexpr int TRIGGER_OFF = 0;
constexpr int TRIGGER_ARMED = 1;
constexpr int TRIGGER_STARTED = 2;
constexpr int TRIGGER_RUNNING = 4;
constexpr int TRIGGER_ENDED = 0x20;
constexpr int TRIGGER_AFTER_END = 0x40;
constexpr int TRIGGER_DONE = 0x80;

// Moments at which an event runs (its `mask`).
constexpr int TRIGGER_BEFORE_SAMPLES = 1;
constexpr int TRIGGER_AFTER_SAMPLES = 2;

// Time relations of a CTimeEvent.
constexpr int TRIGGER_RELATION_REFERENCE = 0;
constexpr int TRIGGER_RELATION_TEST = 1;

class CTriggerEvent {
 public:
  explicit CTriggerEvent(HWND parentWindow = nullptr);
  // The copy has no successor and no parent window.
  CTriggerEvent(const CTriggerEvent& other);
  // Assigns the successors first, as far as both chains reach, then name,
  // state, actions and mask. Successor and parent window stay.
  virtual CTriggerEvent& operator=(const CTriggerEvent& other);
  // Deletes the rest of the chain.
  virtual ~CTriggerEvent();

  // Moves the state on by the frame (a FRAMEDATA); 1 when something was
  // reached in this call. The base reaches nothing and returns 1.
  virtual int CheckNewEvent(void* frame);
  // Marks the frame header by the state; returns 1.
  virtual int StandardAction(void* frame);
  virtual int Action(void* frame, int code);
  // Lets the user edit the event; nothing in the base.
  virtual void InputDialog(void* unused);
  // Name "Unknown", state and actions 0; the mask stays.
  virtual void SetDefaults();
  virtual void Archive(int mode, char* buffer, uint32_t size);

  // The work of the assignment, not virtual.
  void Copy(const CTriggerEvent& other);

  std::string name;
  int state = TRIGGER_OFF;
  int startAction = 0;
  int endAction = 0;
  int mask = 0;
  CTriggerEvent* next = nullptr;  // successor, owned
  HWND parent = nullptr;          // parent window of the settings dialog
};

class CTimeEvent : public CTriggerEvent {
 public:
  explicit CTimeEvent(HWND parentWindow = nullptr);  // with its defaults
  CTimeEvent(const CTimeEvent& other) = default;
  // Copies the time fields too, but only from another time event.
  CTriggerEvent& operator=(const CTriggerEvent& other) override;
  CTimeEvent& operator=(const CTimeEvent& other) = default;
  ~CTimeEvent() override;

  int CheckNewEvent(void* frame) override;
  void InputDialog(void* unused) override;
  // Start 0 ms, end one hour, relation reference, off, runs after the samples.
  void SetDefaults() override;

  float startMs = 0.0f;
  float endMs = 0.0f;
  int relation = TRIGGER_RELATION_REFERENCE;
};

// The trigger list of a parameter record; owns its chain of events.
class CTriggerPara {
 public:
  // Creates one time event with its defaults (none when memory is short).
  explicit CTriggerPara(HWND parentWindow = nullptr);
  CTriggerPara(const CTriggerPara& other);
  // Takes the parent window and assigns the chains event by event. An
  // empty source empties this list; an empty list gets a time event
  // first so that it can take the source's head.
  CTriggerPara& operator=(const CTriggerPara& other);
  ~CTriggerPara();

  // Events whose state is not off.
  int GetNrActiveTriggerEvents() const;

  CTriggerEvent* head = nullptr;
  HWND parent = nullptr;
};

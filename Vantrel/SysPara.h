// The parameter records of a measurement. A SYSPARA describes how many
// channels each signal has, where the two inputs come from, how signal
// channels are routed to inputs, how delay compensation and level alignment
// behave, four outputs and the trigger list. The host gets one from
// CMsystem::CreateSysPara, edits it and hands it to Init, which copies it;
// the front end reads the copy through the record's pointer table, which
// always points into the record itself. Tables of two indices are
// [direction][channel]: direction 0 the reference, 1 the test signal.
// Every integer starts at 0; CMsystem::SetDefaultPara gives the defaults.
// Init and UpdateSysPara apply SetDefaultPara to their copy of the record,
// so a field marked "defaults: v" below is v in the measurement whatever
// the caller's record held: set such a field in an override of
// SetDefaultPara, after the base's (a device measurement set on the record
// alone becomes a file measurement).
#pragma once

#include <string>

#include "Vantrel/TriggerEvent.h"
#include "platform/wintypes.h"

// Input modes of INPUTPARAEXT::mode.
//
// Two channels of one sound device (reference on one, test on the other)
// are read as ONE device input of two channels, routed to both signals by
// the routing table, with the other input synchronous: it opens nothing,
// and both signals come from one stream, sample for sample, so the delay
// measured is the one between the signals. Two device inputs on the same
// device open two streams, which start a few blocks apart; that offset is
// part of the delay they measure, and nothing fixes it. A delay
// between two separate devices likewise includes the difference of their
// start moments and input latencies, and drifts with the difference of
// their clocks (variable-delay tracking follows a slow drift).
constexpr int INPUT_MODE_SOUND_DEVICE = 0;
constexpr int INPUT_MODE_FILE = 1;
constexpr int INPUT_MODE_TELEPHONE = 2;
constexpr int INPUT_MODE_SYNCHRONOUS = 3;  // reads nothing; see above

constexpr int SYSPARA_SETTINGS_COUNT = 27;
// settings[] entry of the device count: device ids below it are accepted.
// 0 (the defaults' value) takes the machine's count of sound input devices.
constexpr int SYSPARA_SETTING_DEVICE_COUNT = 0;
constexpr int SYSPARA_OUTPUT_COUNT = 4;

// A wave format.
struct WAVEPARA {
  int formatWord = 0;  // not read by the component
  int sampleRate = 0;  // Hz
  int bitsPerSample = 0;
  int channels = 0;
  int outputWord = 0;  // fourth value of an output's format preset
  int spareWord = 0;
};

// Routing of one signal channel to a physical input and channel.
struct INPUTMUXPARA {
  int input = 0;    // 0 or 1: which INPUTPARAEXT supplies the channel
  int channel = 0;  // channel of that input
};

// Level alignment takes a new gain only while both mean block energies
// exceed the floor and the gain lies strictly between the bounds; else the
// last gain stays.
constexpr double LEVEL_ALIGN_ENERGY_FLOOR = 12800.0;
constexpr float LEVEL_ALIGN_MIN_GAIN = 1e-6f;
constexpr float LEVEL_ALIGN_MAX_GAIN = 1e6f;

struct LEVELPARA {
  double referencePower = 0.0;  // mean block energies found at start-up
  double testPower = 0.0;
  int levelAlign = 0;   // align the test level to the reference
  int useFiltered = 0;  // measure levels on the DC-filtered signals
  int invertTest = 0;
  int invertOnNegative = 0;  // invert the test when the correlation is negative
};

struct DELAYPARAEXT {
  int compensationOn = 0;
  int estimationChannel = 0;
  int channelSwapAllowed = 0;
  int fixedDelay = 0;
  int trackVariableDelay = 0;
  int hold = 0;        // defaults: 0
  int snapEnable = 0;  // defaults: 0
  int unsnapRequest = 0;
  int snapTimeMs = 0;  // defaults: 500
  int spare1 = 0;      // defaults: 0
  // Search range on files; Init narrows it to what the files and the
  // memory allow (Vantrel/DelaySearchRange.h).
  int maxDelayFileMs = 0;      // defaults: 1000
  int maxDelayRealtimeMs = 0;  // defaults: 500; likewise on live inputs
  int maxTrackingStep = 0;     // samples; defaults: 512
  int tracking = 0;            // defaults: 0; set again for real-time inputs
  int allowPadding = 0;        // defaults: 0
  int inputOffsetMs = 0;       // fixed offset between the inputs; defaults: 0
};

// One input.
struct INPUTPARAEXT {
  int mode = 0;  // INPUT_MODE_...; defaults: INPUT_MODE_FILE
  std::string fileName;
  WAVEPARA wave;
  int deviceId = 0;
  int line[6] = {};  // telephone-line settings
  std::string dialString;
  int syncOwnDevice = 0;  // a synchronous input has its own device
  int fileOption = 0;     // defaults: 1
};

// One of four outputs; described, never opened by the component.
struct OUTPUTPARA {
  int mode = 0;    // 0 off; defaults: 0
  int option = 0;  // defaults: 0
  std::string name1;
  std::string name2;
  WAVEPARA wave;
  int settings[7] = {};
  std::string name3;
};

// Exported records the component itself does not use.
struct INPUTPARA {
  int mode = 0;
  std::string fileName;
  WAVEPARA wave;
};

struct DELAYPARA {
  int param1 = 0;
  int param2 = 0;
  int param3 = 0;
  int param4 = 0;
  int param5 = 0;
};

// The base of SYSPARA: the table of pointers to the record's own
// sub-records and the channel count.
class BASICSYSPARA {
 public:
  BASICSYSPARA() = default;
  BASICSYSPARA(const BASICSYSPARA&) = default;
  BASICSYSPARA& operator=(const BASICSYSPARA&) = default;
  virtual ~BASICSYSPARA() = default;

  virtual void Destroy() = 0;

  INPUTPARAEXT* input[2] = {};
  INPUTMUXPARA* routing[2][2] = {};
  DELAYPARAEXT* delay = nullptr;
  LEVELPARA* level = nullptr;
  int channels = 0;  // channels per signal, 1 or 2
};

// Everything a SYSPARA holds after its base, in field order. Copies are the
// compiler's member-by-member ones, so a new field is copied with the rest;
// SYSPARA then points the copied pointer table back at its own records.
class SysParaFields : public BASICSYSPARA {
 public:
  int modeWordA = 0;
  int realtime = 0;  // real-time processing with delay tracking allowed; defaults: 0
  int modeWordB = 0;
  int modeWordC = 0;  // handed on by the input multiplexer when it starts
  int modeWordD = 0;  // defaults: 0
  // Entry 0: the number of sound devices, which a device id must be below;
  // 0 takes the machine's (SYSPARA_SETTING_DEVICE_COUNT above).
  // Defaults: entries 0, 1, 2, 3, 13, 14, 23 and 24 are 0.
  int settings[SYSPARA_SETTINGS_COUNT] = {};
  OUTPUTPARA output[SYSPARA_OUTPUT_COUNT];
  INPUTMUXPARA routingTable[2][2];
  LEVELPARA levelPara;
  INPUTPARAEXT inputPara[2];
  DELAYPARAEXT delayPara;
  CTriggerPara triggers;

 protected:
  explicit SysParaFields(HWND parent) : triggers(parent) {}
  SysParaFields(const SysParaFields&) = default;
  SysParaFields& operator=(const SysParaFields&) = default;
  ~SysParaFields() override = default;
};

class SYSPARA : public SysParaFields {
 public:
  explicit SYSPARA(HWND parent = nullptr);
  // A record of its own: the pointer table points into the copy.
  SYSPARA(const SYSPARA& other);
  // Copies every field; the pointer table keeps pointing into this record.
  SYSPARA& operator=(const SYSPARA& other);
  ~SYSPARA() override;

  // Destroys and releases a record made with new (CreateSysPara).
  // Callers holding a possibly null record use SafeDestroy.
  void Destroy() override;

 private:
  void PointAtOwnRecords();
};

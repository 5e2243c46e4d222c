// The telephone-line wave input interface exported for the host. The
// component implements no telephone input: the class is declared here with
// its slot layout so that a host can supply one; the input multiplexer calls
// it by these slots (open, dial, wait for the connection, hang up).
#pragma once

#include "Vantrel/StdStr.h"

class CTapiWaveIO {
 public:
  // Takes the class-name text and keeps nothing of it.
  CTapiWaveIO(CStdStr<char> className = CStdStr<char>("CTapiWaveIO"));
  CTapiWaveIO(const CTapiWaveIO&) {}
  CTapiWaveIO& operator=(const CTapiWaveIO&) { return *this; }
  virtual ~CTapiWaveIO();

  virtual int OpenLine(int lineId) = 0;  // slot 2
  virtual int GetLineCount() = 0;
  virtual int GetLineName(int lineId, char* name, int size) = 0;
  virtual int SetWaveFormat(int sampleRate, int bitsPerSample, int channels) = 0;
  virtual int GetLineStatus() = 0;
  virtual int SetRingCount(int rings) = 0;
  virtual int Dial(const char* dialString, int param1, int param3, int param2) = 0;  // slot 8
  virtual int DropCall() = 0;                                                        // hang-up step 2
  virtual int WaitForConnection(int milliseconds, int flags) = 0;                    // slot 10
  virtual int WaitForLineIdle(int milliseconds) = 0;                                 // hang-up step 3
  virtual int AnswerCall() = 0;
  virtual int StartPlayback(const char* fileName) = 0;
  virtual int StopPlayback() = 0;
  virtual int StartRecording() = 0;
  virtual int StopRecording() = 0;
  virtual int IsConnected() = 0;
  virtual int CloseLine() = 0;           // hang-up step 4
  virtual int StopCallMonitoring() = 0;  // hang-up step 1
  // Worker of a line object that runs its own thread; nothing to do here.
  virtual unsigned int ThreadFunc(void* argument);
  virtual int SendDigits(const char* digits) = 0;
  virtual int GetCallerId(char* text, int size) = 0;
  virtual int SetVolume(int volume) = 0;
  virtual int GetLineError() = 0;
  virtual int ResetLine() = 0;
};

// Factory class of telephone inputs; the component has none to make.
class CTapiWaveIOFactory {
 public:
  CTapiWaveIOFactory& operator=(const CTapiWaveIOFactory&) { return *this; }
};

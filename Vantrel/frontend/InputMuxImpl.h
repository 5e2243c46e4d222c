// The component's input multiplexer: two wave objects (one per physical
// input) opened in a fixed order of passes, polled reads routed through the
// record's routing table, and one release per block that also refreshes
// the used-buffer percentages of each input.
#pragma once

#include <cstdint>

#include "Vantrel/frontend/FrontEndInternal.h"
#include "Vantrel/stages/InputMux.h"

class CWaveIO;
struct INPUTPARAEXT;

class FRONT_END_INTERNAL CInputMuxImpl : public CInputMux {
 public:
  CInputMuxImpl();
  ~CInputMuxImpl() override;
  CInputMuxImpl(const CInputMuxImpl&) = delete;
  CInputMuxImpl& operator=(const CInputMuxImpl&) = delete;

  int Init(SYSPARA* sysPara) override;
  void Free() override;
  int Stop() override;
  int GetSamples(int count, int direction, int channel, float* dest, int* got) override;
  // dest, when not null, takes count frames of every channel of the input.
  int GetSamplesPhys(int count, float* dest, int input, int* got) override;
  int SkipSamples(int input, int count) override;
  void ConsumeSamples(int direction, int channel) override;
  void ConsumeAll() override;
  int32_t* GetUsedBufferPercent() override { return m_usedPercent; }
  int32_t* GetUsedBufferPercent2() override { return m_usedPercent2; }
  int Go(int bufferBytes) override;
  int64_t NonFiniteSamples(int input) const override;
  bool FinishFileInput(int input, DecodeProgress* progress, std::string* change) override;
  bool FileProgress(int input, DecodeProgress* progress) const override;

 private:
  // Input 0 or 1 is a file input with its wave object.
  bool IsOpenFile(int input) const;
  // The physical input and channel a signal channel is routed to; false
  // (traced) when the record names none that exists.
  bool Route(int direction, int channel, int* input, int* inputChannel, const char* operation) const;
  bool IsSynchronous(int input) const;
  // Polls, then reads blocking: the common body of both reads.
  int PolledRead(int input, int count, float* dest, int inputChannel, const char* operation);
  void Release(int input);
  int OpenInputs();
  int Open(CWaveIO* wave, const INPUTPARAEXT& record, int input);
  int StartDevice(CWaveIO* wave, const INPUTPARAEXT& record, int input, const char* rangeMessage);
  bool RoutedChannelsExist() const;
  bool FileRatesAgree() const;
  void Close();
  bool SyncInputHasOwnDevice(const INPUTPARAEXT& record) const;

  CWaveIO* m_waveIO[2] = {};
  int m_released[2] = {1, 1};
  int m_readCount[2] = {};
  SYSPARA* m_sysPara = nullptr;
  int32_t m_usedPercent[2] = {};
  int32_t m_usedPercent2[2] = {};
  int m_sharedSyncDevice = 0;
  int m_bufferBytes = 0;
  // Non-finite samples each input delivered as 0, kept when it closes.
  int64_t m_nonFinite[2] = {};
};

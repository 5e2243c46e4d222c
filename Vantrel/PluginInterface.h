// The plug-in interface through which the host drives a measurement
// algorithm. CMsystem implements it; the algorithm module derives from
// CMsystem and supplies the operations left pure there.
#pragma once

#include <cstdint>

class CFormatedResultVector;  // the host's result vector, known by name only

class CTalvoPluginOEMInterface {
 public:
  CTalvoPluginOEMInterface() = default;
  CTalvoPluginOEMInterface(const CTalvoPluginOEMInterface&) {}
  // Copies nothing: the interface has no data.
  CTalvoPluginOEMInterface& operator=(const CTalvoPluginOEMInterface&) { return *this; }
  virtual ~CTalvoPluginOEMInterface() = default;

  // Slot order matters to hosts that call by slot; keep it.
  virtual int ProcessFrame(void* frame, float* (*samples)[2][2]) = 0;
  virtual void Free() = 0;
  virtual int ResetAverage() = 0;
  virtual int Reset() = 0;
  // Two operations whose meaning belongs to the algorithm module and host.
  virtual int AlgorithmOperationA() = 0;
  virtual int AlgorithmOperationB() = 0;
  virtual int Go() = 0;
  virtual int Stop() = 0;
  virtual int UpdateSysPara(void* sysPara) = 0;
  virtual int SetParameters(const char* parameters) = 0;
  virtual void* CreateSysPara() = 0;
  // The base has no result vector: nulls *out and returns 0.
  virtual int GetResultVector(CFormatedResultVector** out, int index);
  virtual uint32_t GetWorkBufferSize() = 0;
};

// What the delay state machine reads of a frame: the record's asks, whether
// a real-time input is busy, and the estimation channel's newest blocks in
// the delay buffer.
#include <cstdlib>

#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"

namespace {

// A real-time input this busy (percent) holds the search back.
constexpr int32_t kBusyPercent = 9;

}  // namespace

EstimationBlocks CDelayCompensationImpl::NewestBlocks() const {
  const int channel = m_estimationChannel;
  EstimationBlocks blocks;
  blocks.refEnergy = float(m_energy.Previous(0, channel));
  blocks.testEnergy = float(m_energy.Previous(1, channel));
  blocks.streamEnd = m_samplesRead;
  int fill = 0;
  int write = 0;
  int testLength = 0;
  m_delayBuffer->GetBufferInfo(0, channel, 1, &blocks.refRing, &fill, &write, &blocks.ringLength, &blocks.refEnd);
  m_delayBuffer->GetBufferInfo(1, channel, 1, &blocks.testRing, &fill, &write, &testLength, &blocks.testEnd);
  return blocks;
}

bool CDelayCompensationImpl::RealtimeInputBusy() {
  const int32_t* used = GetUsedInputs();
  if (used == nullptr) return false;
  for (int input = 0; input < 2; ++input) {
    const int mode = m_sys->inputPara[input].mode;
    if (IsRealtimeInput(mode) && used[input] > kBusyPercent) return true;
  }
  return false;
}

FrameFacts CDelayCompensationImpl::ReadFrameFacts(bool inputEnded, bool handsOut, MONITORDATA* monitor) {
  const SYSPARA& sys = *m_sys;
  const DELAYPARAEXT& delay = sys.delayPara;
  FrameFacts facts;
  DelayAsks& asks = facts.asks;
  asks.hold = delay.hold != 0;
  asks.unsnap = delay.unsnapRequest != 0;
  asks.tracker = delay.trackVariableDelay != 0;
  asks.snap = delay.snapEnable != 0;
  // Frames in the reliable state after which a tracked delay snaps.
  asks.snapFrames = uint64_t(uint32_t(sys.inputPara[0].wave.sampleRate)) * uint32_t(delay.snapTimeMs) /
                    (uint64_t(m_frameLen) * 1000u);
  asks.anySign = sys.levelPara.invertOnNegative != 0 || sys.levelPara.invertTest != 0;
  asks.fixedDelay = delay.fixedDelay;
  asks.maxTrackingStep = int64_t(delay.maxTrackingStep);
  facts.busy = RealtimeInputBusy();
  facts.inputEnded = inputEnded;
  int fill = 0;
  int ring = 0;
  m_delayBuffer->GetFill(&fill, &ring);
  facts.ringFull = fill >= ring;
  facts.handsOut = handsOut;
  facts.blocks = NewestBlocks();
  facts.ringRoom = int64_t(m_delayBuffer->GetFreeSpace());
  facts.monitor = monitor;
  return facts;
}

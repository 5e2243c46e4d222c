// The delay compensation's decisions about the delay: what the search, the
// re-check and the tracker read from the delay buffer, handed to the
// objects that decide.
#include <cstdlib>

#include "Vantrel/FrameData.h"
#include "Vantrel/SysPara.h"
#include "Vantrel/frontend/DelayCompensationImpl.h"
#include "Vantrel/stages/DelayBuffer.h"

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

int CDelayCompensationImpl::DetermineDelay() {
  const LEVELPARA& level = m_sys->levelPara;
  const bool anySign = level.invertOnNegative != 0 || level.invertTest != 0;
  return m_estimator.Search(NewestBlocks(), anySign, m_maxDelaySamples) ? DELCOMP_DELAYRELIABLE : m_state;
}

int CDelayCompensationImpl::RecheckDelay(int* quality, MONITORDATA* monitor) {
  return m_estimator.Recheck(NewestBlocks(), m_frameLen, m_state, quality, monitor);
}

TrackReport CDelayCompensationImpl::TrackVariableDelay(FRAMEDATA*, MONITORDATA* monitor) {
  const EstimationBlocks blocks = NewestBlocks();
  CDelayTracker::NameMonitorEntry(monitor);
  // The tracker reads the re-check's newest block: the re-check is fed in
  // this frame, whatever it answers.
  if (!m_estimator.RecheckRan()) m_estimator.Recheck(blocks, m_frameLen, m_state, &m_reading.quality, monitor);
  TrackingLimits limits;
  limits.maxStep = int64_t(m_sys->delayPara.maxTrackingStep);
  limits.maxDelay = m_maxDelaySamples;
  limits.ringRoom = int64_t(m_delayBuffer->GetFreeSpace());
  return m_tracker.Track(blocks.refEnergy, blocks.testEnergy, limits, &m_reading, monitor);
}

// The start-up search's last word on its delay. The search goes on while
// each pick improves on the best so far and ends at the first that does
// not; but successive picks share all but one of their blocks, so that
// pick has not looked again. On voiced speech under an echo, half a
// second's blocks can peak a sample or two off the delay the whole signal
// peaks at (the echo's lobe leans on the peak by the local pitch), and the
// pick carries that stretch's bias.
#pragma once

#include <cstdint>
#include <functional>

#include "Vantrel/frontend/DelayStateMachine.h"
#include "Vantrel/frontend/FrontEndInternal.h"

// Reads one more frame of both signals into the ring, without the search,
// and gives its newest blocks; false when the input ended or the start was
// stopped.
using SettleFrameReader = std::function<bool(EstimationBlocks*)>;

// The machine stands at the search's first pick that did not improve. The
// frames that follow, kSettleSeconds of them, are correlated in the time
// domain at the delays within kSettleBias of the pick. Where a delay other
// than the pick's correlates best over the whole stretch and over each of
// its halves (a delay that moves does not peak at one place in both), and
// lies inside that span (not at its edge, beyond which it may peak on),
// the pick moves to it; else it stands exactly as it was. A stretch cut
// short by the input's end decides on what it holds, a stretch of under a
// quarter of it not at all.
//
// Where the later half of the stretch correlates at no delay of that span
// above CDelayCheck::kCollapse of the pick's correlation (over its frames
// with energy in both signals, as a search block needs), and the earlier
// half does not either or already peaks at an edge of the span, the delay
// has left the pick within seconds of the search: its blocks averaged a
// delay that moves (a drift carries it further across them, or from the
// first frame to them, than a frame may lie off), or it stepped far right
// after them. Then the pick vouches for no frame without the tracker
// (CDelayStateMachine::SearchDelayLeft). An echo, a room or a background
// lowers the correlation of the stretch about as much as the search's; a
// close echo leans its peak toward the echo, even to the edge of the span,
// so the edge alone says nothing.
constexpr double kSettleSeconds = 5.0;
constexpr int32_t kSettleBias = 3;
FRONT_END_INTERNAL void SettleSearchDelay(CDelayStateMachine& machine, int sampleRate,
                                          const SettleFrameReader& readFrame);

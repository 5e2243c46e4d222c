// The start-up search's last word on its delay. The search goes on while
// each pick improves on the best so far and ends at the first that does
// not; but successive picks share all but one of their blocks, so that
// pick has not looked again. On voiced speech under an echo, half a
// second's blocks can peak a sample or two off the delay the whole signal
// peaks at (the echo's lobe leans on the peak by the local pitch), and the
// pick carries that stretch's bias.
#pragma once

#include <functional>

#include "Vantrel/frontend/DelayStateMachine.h"
#include "Vantrel/frontend/FrontEndInternal.h"

// Reads one more frame of the search; false when the search must end (the
// input ended, the block limit, a failed transform, the stop event).
using SearchFrameReader = std::function<bool()>;

// The machine stands at the search's first pick that did not improve. It
// looks again at up to kSettleLooks stretches of blocks, none of which an
// earlier look correlated, each with a reliable pick of its own, and sums
// every stretch's mean correlation at the delays within an echo's bias of
// the pick. Where the pick's delay has the largest sum, or a look peaks
// further from it than that bias (a delay that moves), the pick stands
// exactly as it was. Else the delay with the largest sum stands, with its mean
// over the stretches as its quality. A look that cannot be had (the input
// ends, no reliable pick there) ends the looking: the stretches so far
// decide.
constexpr int kSettleLooks = 3;
FRONT_END_INTERNAL void SettleSearchDelay(CDelayStateMachine& machine, const SearchFrameReader& readFrame);

// Results of the input multiplexer's reads (GetSamples, GetSamplesPhys).
#pragma once

constexpr int MUX_READ_COMPLETE = 4;  // every sample asked for was read
constexpr int MUX_READ_SHORT = 2;     // fewer; the count read tells how many

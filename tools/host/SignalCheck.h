// Why two files gave no more than a chance correlation: the estimation
// channel may be silent in one or both, or one or both signals may be too
// quiet for the delay search. Read only after a measurement found nothing.
#pragma once

#include <cstdint>
#include <string>

// The sentence that explains a pair without correlation, or "" when the
// levels do not explain it. `searchBlock` is the delay search's block length.
std::string ExplainNoCorrelation(const std::string& reference, const std::string& test, int channel, int channels,
                                 uint32_t frameLength, uint32_t searchBlock);

// Maximum and minimum of the generic set: the scalar rules, element by element.
#pragma once
#include "primitives/vector/minmax_rules.h"

#if SP_SET_INDEX == SP_SET_GENERIC
namespace SP_SET_NS::vminmax {
namespace {

template <Dir D>
int32_t PlainI32(const int32_t* src, int64_t n) {
  return GenericExtreme<D>(src, n);
}
template <Dir D>
float PlainF32(const float* src, int64_t n) {
  return GenericExtreme<D>(src, n);
}
template <Dir D>
double PlainF64(const double* src, int64_t n) {
  return GenericExtreme<D>(src, n);
}
template <Dir D>
int32_t IndexI32(const int32_t* src, int64_t n, int64_t& index) {
  return GenericExtremeIndex<D>(src, n, index);
}
template <Dir D>
float IndexF32(const float* src, int64_t n, int64_t& index) {
  return GenericExtremeIndex<D>(src, n, index);
}
template <Dir D>
double IndexF64(const double* src, int64_t n, int64_t& index) {
  return GenericExtremeIndex<D>(src, n, index);
}

}  // namespace
}  // namespace SP_SET_NS::vminmax
#endif

#include "Mathlib/MathlibPrim.h"
#include "primitives/vector/sp_dot.h"
#include "primitives/vector/sp_mean_stddev.h"
#include "primitives/vector/sp_minmax.h"
#include "primitives/vector/sp_sum.h"

namespace {

// The value a primitive writes to its result location, which starts at 0, so
// a failing primitive yields 0.
template <class T, class Call>
T ResultOf(Call call) {
  T result = 0;
  call(&result);
  return result;
}

}  // namespace

float duvuvSumF32(const float* src, int32_t n) {
  return ResultOf<float>([&](float* r) { spSumF32(src, n, r, 0); });
}
double duvuvSumF64(const double* src, int32_t n) {
  return ResultOf<double>([&](double* r) { spSumF64(src, n, r); });
}
float duvuvMeanF32(const float* src, int32_t n) {
  return ResultOf<float>([&](float* r) { spMeanF32(src, n, r, 0); });
}
double duvuvMeanF64(const double* src, int32_t n) {
  return ResultOf<double>([&](double* r) { spMeanF64(src, n, r); });
}
float duvuvStdDevF32(const float* src, int32_t n) {
  return ResultOf<float>([&](float* r) { spStdDevF32(src, n, r, 1); });
}
double duvuvStdDevF64(const double* src, int32_t n) {
  return ResultOf<double>([&](double* r) { spStdDevF64(src, n, r); });
}

int32_t duvuvMaxI32(const int32_t* src, int32_t n) {
  return ResultOf<int32_t>([&](int32_t* r) { spMaxI32(src, n, r); });
}
float duvuvMaxF32(const float* src, int32_t n) {
  return ResultOf<float>([&](float* r) { spMaxF32(src, n, r); });
}
double duvuvMaxF64(const double* src, int32_t n) {
  return ResultOf<double>([&](double* r) { spMaxF64(src, n, r); });
}
int32_t duvuvMinI32(const int32_t* src, int32_t n) {
  return ResultOf<int32_t>([&](int32_t* r) { spMinI32(src, n, r); });
}
float duvuvMinF32(const float* src, int32_t n) {
  return ResultOf<float>([&](float* r) { spMinF32(src, n, r); });
}
double duvuvMinF64(const double* src, int32_t n) {
  return ResultOf<double>([&](double* r) { spMinF64(src, n, r); });
}

int32_t duvuvMaxIndexI32(const int32_t* src, int32_t n, int32_t* index) {
  return ResultOf<int32_t>([&](int32_t* r) { spMaxIndexI32(src, n, r, index); });
}
float duvuvMaxIndexF32(const float* src, int32_t n, int32_t* index) {
  return ResultOf<float>([&](float* r) { spMaxIndexF32(src, n, r, index); });
}
double duvuvMaxIndexF64(const double* src, int32_t n, int32_t* index) {
  return ResultOf<double>([&](double* r) { spMaxIndexF64(src, n, r, index); });
}
int32_t duvuvMinIndexI32(const int32_t* src, int32_t n, int32_t* index) {
  return ResultOf<int32_t>([&](int32_t* r) { spMinIndexI32(src, n, r, index); });
}
float duvuvMinIndexF32(const float* src, int32_t n, int32_t* index) {
  return ResultOf<float>([&](float* r) { spMinIndexF32(src, n, r, index); });
}
double duvuvMinIndexF64(const double* src, int32_t n, int32_t* index) {
  return ResultOf<double>([&](double* r) { spMinIndexF64(src, n, r, index); });
}

float duvuvDotF32(const float* a, const float* b, int32_t n) {
  return ResultOf<float>([&](float* r) { spDotF32(a, b, n, r); });
}
double duvuvDotF64(const double* a, const double* b, int32_t n) {
  return ResultOf<double>([&](double* r) { spDotF64(a, b, n, r); });
}

#include "Mathlib/MathlibPrim.h"
#include "primitives/vector/sp_dot.h"
#include "primitives/vector/sp_mean_stddev.h"
#include "primitives/vector/sp_minmax.h"
#include "primitives/vector/sp_sum.h"

// The result locations start at 0, so a failing primitive yields 0.

float duvuvSumF32(const float* src, int32_t n) {
  float r = 0;
  spSumF32(src, n, &r, 0);
  return r;
}
double duvuvSumF64(const double* src, int32_t n) {
  double r = 0;
  spSumF64(src, n, &r);
  return r;
}
float duvuvMeanF32(const float* src, int32_t n) {
  float r = 0;
  spMeanF32(src, n, &r, 0);
  return r;
}
double duvuvMeanF64(const double* src, int32_t n) {
  double r = 0;
  spMeanF64(src, n, &r);
  return r;
}
float duvuvStdDevF32(const float* src, int32_t n) {
  float r = 0;
  spStdDevF32(src, n, &r, 1);
  return r;
}
double duvuvStdDevF64(const double* src, int32_t n) {
  double r = 0;
  spStdDevF64(src, n, &r);
  return r;
}

int32_t duvuvMaxI32(const int32_t* src, int32_t n) {
  int32_t r = 0;
  spMaxI32(src, n, &r);
  return r;
}
float duvuvMaxF32(const float* src, int32_t n) {
  float r = 0;
  spMaxF32(src, n, &r);
  return r;
}
double duvuvMaxF64(const double* src, int32_t n) {
  double r = 0;
  spMaxF64(src, n, &r);
  return r;
}
int32_t duvuvMinI32(const int32_t* src, int32_t n) {
  int32_t r = 0;
  spMinI32(src, n, &r);
  return r;
}
float duvuvMinF32(const float* src, int32_t n) {
  float r = 0;
  spMinF32(src, n, &r);
  return r;
}
double duvuvMinF64(const double* src, int32_t n) {
  double r = 0;
  spMinF64(src, n, &r);
  return r;
}

int32_t duvuvMaxIndexI32(const int32_t* src, int32_t n, int32_t* index) {
  int32_t r = 0;
  spMaxIndexI32(src, n, &r, index);
  return r;
}
float duvuvMaxIndexF32(const float* src, int32_t n, int32_t* index) {
  float r = 0;
  spMaxIndexF32(src, n, &r, index);
  return r;
}
double duvuvMaxIndexF64(const double* src, int32_t n, int32_t* index) {
  double r = 0;
  spMaxIndexF64(src, n, &r, index);
  return r;
}
int32_t duvuvMinIndexI32(const int32_t* src, int32_t n, int32_t* index) {
  int32_t r = 0;
  spMinIndexI32(src, n, &r, index);
  return r;
}
float duvuvMinIndexF32(const float* src, int32_t n, int32_t* index) {
  float r = 0;
  spMinIndexF32(src, n, &r, index);
  return r;
}
double duvuvMinIndexF64(const double* src, int32_t n, int32_t* index) {
  double r = 0;
  spMinIndexF64(src, n, &r, index);
  return r;
}

float duvuvDotF32(const float* a, const float* b, int32_t n) {
  float r = 0;
  spDotF32(a, b, n, &r);
  return r;
}
double duvuvDotF64(const double* a, const double* b, int32_t n) {
  double r = 0;
  spDotF64(a, b, n, &r);
  return r;
}

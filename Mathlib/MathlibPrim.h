// The duvuv wrappers: one per primitive the layer's clients use, each calling
// its primitive once through the dispatch entry, with the layer's argument
// order, the fixed arguments its clients never vary, value returns for the
// statistics and a trace line for three warnings. Statuses pass through
// unchanged; a value-returning wrapper whose primitive fails returns 0.
#pragma once
#include <cstdint>

#include "primitives/frame/sp_status.h"

// Elementwise arithmetic. duvuvSubF32/F64 give dst = a - b; the in-place
// subtractions give srcDst = srcDst - src.
spStatus duvuvAbsF32(const float* src, float* dst, int32_t n);
spStatus duvuvAbsF64(const double* src, double* dst, int32_t n);
spStatus duvuvAddConstInPlaceF32(float val, float* srcDst, int32_t n);
spStatus duvuvAddConstInPlaceF64(double val, double* srcDst, int32_t n);
spStatus duvuvAddInPlaceF32(const float* src, float* srcDst, int32_t n);
spStatus duvuvAddInPlaceF64(const double* src, double* srcDst, int32_t n);
spStatus duvuvAddF32(const float* a, const float* b, float* dst, int32_t n);
spStatus duvuvAddF64(const double* a, const double* b, double* dst, int32_t n);
spStatus duvuvSubInPlaceF32(const float* src, float* srcDst, int32_t n);
spStatus duvuvSubInPlaceF64(const double* src, double* srcDst, int32_t n);
spStatus duvuvSubF32(const float* a, const float* b, float* dst, int32_t n);
spStatus duvuvSubF64(const double* a, const double* b, double* dst, int32_t n);
spStatus duvuvMulConstInPlaceF32(float val, float* srcDst, int32_t n);
spStatus duvuvMulConstInPlaceF64(double val, double* srcDst, int32_t n);
spStatus duvuvMulInPlaceF32(const float* src, float* srcDst, int32_t n);
spStatus duvuvMulInPlaceF64(const double* src, double* srcDst, int32_t n);
spStatus duvuvMulF32(const float* a, const float* b, float* dst, int32_t n);
spStatus duvuvMulF64(const double* a, const double* b, double* dst, int32_t n);
spStatus duvuvMulC32(const float* a, const float* b, float* dst, int32_t n);
spStatus duvuvMulC64(const double* a, const double* b, double* dst, int32_t n);

// Statistics returning their value (0 when the primitive fails).
float duvuvSumF32(const float* src, int32_t n);
double duvuvSumF64(const double* src, int32_t n);
float duvuvMeanF32(const float* src, int32_t n);
double duvuvMeanF64(const double* src, int32_t n);
float duvuvStdDevF32(const float* src, int32_t n);
double duvuvStdDevF64(const double* src, int32_t n);
int32_t duvuvMaxI32(const int32_t* src, int32_t n);
float duvuvMaxF32(const float* src, int32_t n);
double duvuvMaxF64(const double* src, int32_t n);
int32_t duvuvMinI32(const int32_t* src, int32_t n);
float duvuvMinF32(const float* src, int32_t n);
double duvuvMinF64(const double* src, int32_t n);
// The first index of the extreme goes through index, which may be null.
int32_t duvuvMaxIndexI32(const int32_t* src, int32_t n, int32_t* index);
float duvuvMaxIndexF32(const float* src, int32_t n, int32_t* index);
double duvuvMaxIndexF64(const double* src, int32_t n, int32_t* index);
int32_t duvuvMinIndexI32(const int32_t* src, int32_t n, int32_t* index);
float duvuvMinIndexF32(const float* src, int32_t n, int32_t* index);
double duvuvMinIndexF64(const double* src, int32_t n, int32_t* index);
float duvuvDotF32(const float* a, const float* b, int32_t n);
double duvuvDotF64(const double* a, const double* b, int32_t n);

// Memory.
spStatus duvuvCopyF32(const float* src, float* dst, int32_t n);
spStatus duvuvCopyF64(const double* src, double* dst, int32_t n);
spStatus duvuvSetF32(float val, float* dst, int32_t n);
spStatus duvuvSetF64(double val, double* dst, int32_t n);
spStatus duvuvZeroF32(float* dst, int32_t n);
spStatus duvuvZeroF64(double* dst, int32_t n);

// Elementary functions. duvuvSqrt2/duvuvSqrt2F64 trace a line on warning 3,
// duvuvInvThresh on warning 4, once per call.
spStatus duvuvExpInPlaceF32(float* srcDst, int32_t n);
spStatus duvuvExpF32(const float* src, float* dst, int32_t n);
spStatus duvuvLnInPlaceF32(float* srcDst, int32_t n);
spStatus duvuvLnF32(const float* src, float* dst, int32_t n);
spStatus duvuvLnInPlaceF64(double* srcDst, int32_t n);
spStatus duvuvLnF64(const double* src, double* dst, int32_t n);
spStatus duvuvSqrF32(const float* src, float* dst, int32_t n);
spStatus duvuvSqrF64(const double* src, double* dst, int32_t n);
spStatus duvuvSqrInPlaceF32(float* srcDst, int32_t n);
spStatus duvuvSqrInPlaceF64(double* srcDst, int32_t n);
spStatus duvuvSqrt2(const float* src, float* dst, int32_t n);
spStatus duvuvSqrt2F64(const double* src, double* dst, int32_t n);
spStatus duvuvInvThresh(float* srcDst, int32_t n, float threshold);

// Thresholds: mode 1 clips values above level, any other mode values below.
spStatus duvuvThresholdF32(float* srcDst, int32_t n, float level, int32_t mode);
spStatus duvuvThresholdF64(double* srcDst, int32_t n, double level, int32_t mode);

// Random numbers and windows.
spStatus duvuvRandGaussF32(float* dst, int32_t n, float mean, float stdDev, int32_t* seed);
spStatus duvuvRandGaussF64(double* dst, int32_t n, double mean, double stdDev, int32_t* seed);
spStatus duvuvWinHammingF32(const float* src, float* dst, int32_t n);
spStatus duvuvWinHammingF64(const double* src, double* dst, int32_t n);
spStatus duvuvWinHannF32(const float* src, float* dst, int32_t n);
spStatus duvuvWinHannF64(const double* src, double* dst, int32_t n);

// Complex layout.
spStatus duvuvConjInPlaceC32(float* srcDst, int32_t n);
spStatus duvuvConjInPlaceC64(double* srcDst, int32_t n);
spStatus duvuvSplitComplexC32(const float* src, float* dstRe, float* dstIm, int32_t n);

// FIR design (always the Hann window, normalised to unit gain) and FIR
// filtering over the caller's delay line and index (see sp_fir.h).
spStatus duvuvFirLowpassTapsF64(double cutoff, double* taps, int32_t n);
spStatus duvuvFirHighpassTapsF64(double cutoff, double* taps, int32_t n);
spStatus duvuvFirF32(const float* src, float* dst, int32_t n, const double* taps, int32_t tapsLen, float* delayLine,
                     int32_t* delayIndex);
spStatus duvuvFirF64(const double* src, double* dst, int32_t n, const double* taps, int32_t tapsLen, double* delayLine,
                     int32_t* delayIndex);
// Matrices. Vectors and elements are contiguous (one-element strides); the
// caller gives the row strides of the factors in bytes, and a product's rows
// are laid out back to back (bCols elements apart). The 2-D copies take
// every stride in bytes.
spStatus duvuvMulConstStridedF32(const float* src, float val, float* dst, int32_t n);
spStatus duvuvMulConstStridedF64(const double* src, double val, double* dst, int32_t n);
spStatus duvuvMatMulVecF32(const float* mat, int32_t matRowStride, int32_t cols, int32_t rows, const float* vec,
                           int32_t vecLen, float* dst);
spStatus duvuvMatMulVecF64(const double* mat, int32_t matRowStride, int32_t cols, int32_t rows, const double* vec,
                           int32_t vecLen, double* dst);
spStatus duvuvMatMulMatF32(const float* a, int32_t aRowStride, int32_t aCols, int32_t aRows, const float* b,
                           int32_t bRowStride, int32_t bCols, int32_t bRows, float* dst);
spStatus duvuvMatMulMatF64(const double* a, int32_t aRowStride, int32_t aCols, int32_t aRows, const double* b,
                           int32_t bRowStride, int32_t bCols, int32_t bRows, double* dst);
spStatus duvuvCopy2DStridedF32(const float* src, int32_t srcRowStride, int32_t srcElemStride, float* dst,
                               int32_t dstRowStride, int32_t dstElemStride, int32_t width, int32_t height);
spStatus duvuvCopy2DStridedF64(const double* src, int32_t srcRowStride, int32_t srcElemStride, double* dst,
                               int32_t dstRowStride, int32_t dstElemStride, int32_t width, int32_t height);

// Correlation (see sp_correlation.h). The leading argument is accepted and
// ignored. duvuvAutoCorrF32: flags bit 0 the biased estimate, else bit 1 the
// unbiased one; flags with neither bit compute nothing, leave dst as it was
// and give -16 (no scaling chosen).
spStatus duvuvCrossCorrF64(int32_t reserved, const double* a, int32_t aLen, const double* b, int32_t bLen, double* dst,
                           int32_t dstLen, int32_t lowLag);
spStatus duvuvCrossCorrF32(int32_t reserved, const float* a, int32_t aLen, const float* b, int32_t bLen, float* dst,
                           int32_t dstLen, int32_t lowLag);
spStatus duvuvAutoCorrF32(int32_t reserved, const float* src, int32_t srcLen, float* dst, int32_t dstLen,
                          int32_t flags);

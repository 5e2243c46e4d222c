// Arithmetic shared by the small-transform kernels. Include only from
// *_variant.cpp. The kernels evaluate in double whatever the element type
// (the x87 working precision their results are defined at) and round to the
// element type only where a value is stored, so every set gives the same bits.
#pragma once
#include "primitives/frame/variant_set.h"

namespace SP_SET_NS::small_dft {

using Work = double;

// Constants held in the element type, as the nearest value of that type.
template <class T>
struct Consts;
template <>
struct Consts<float> {
  static constexpr float c = 0.70710677f;  // sqrt(1/2)
  static constexpr float minusC = -c;
  static constexpr float q = 1.4142135f;  // sqrt(2)
  static constexpr float minusQ = -q;
};
template <>
struct Consts<double> {
  static constexpr double c = 0.7071067811865476;
  static constexpr double minusC = -c;
  static constexpr double q = 1.4142135623730951;
  static constexpr double minusQ = -q;
};

// A first-stage value, times the scale in the scaled members only.
template <bool kScaled>
inline Work First(Work v, Work s) {
  if constexpr (kScaled)
    return v * s;
  else
    return v;
}

// A value kept in a variable of the element type.
template <class T>
inline Work Held(Work v) {
  return static_cast<Work>(static_cast<T>(v));
}

}  // namespace SP_SET_NS::small_dft

#include "primitives/frame/plan_record.h"

#include <limits>

int64_t spPlanLayout::Reserve(int64_t count, int64_t itemBytes) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (!usable_ || count < 0 || itemBytes < 1 || count > (kMax - kAlignment - bytes_) / itemBytes) {
    usable_ = false;
    return 0;
  }
  const int64_t offset = bytes_;
  bytes_ = (offset + count * itemBytes + kAlignment - 1) & ~(kAlignment - 1);
  return offset;
}

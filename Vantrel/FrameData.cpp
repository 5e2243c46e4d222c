#include "Vantrel/FrameData.h"

#include <cstring>

void MONITORDATA::Add(float entryValue, float entryMinimum, float entryMaximum, const char* entryName) {
  int32_t index = count;
  if (index < 0) index = 0;
  if (index > MONITOR_SLOTS - 1) index = MONITOR_SLOTS - 1;

  value[index] = entryValue;
  minimum[index] = entryMinimum;
  maximum[index] = entryMaximum;

  char* field = name[index];
  std::memset(field, 0, MONITOR_NAME_SIZE);
  if (entryName != nullptr) std::strncpy(field, entryName, MONITOR_NAME_SIZE - 1);

  count = index < MONITOR_LAST_ENTRY ? index + 1 : index;
}

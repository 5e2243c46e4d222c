// CMsystem: the typed forms of the algorithm's Query.
#include "Vantrel/MSystem.h"

namespace {

// Asks the algorithm; on an answer copies the chosen field to the output.
template <class Output, class Field>
int AskAndTake(CMsystem& system, uint32_t id, Output* output, Field field) {
  CQueryResult result = {};
  if (system.Query(id, result) == 0) return 0;
  if (output != nullptr) *output = static_cast<Output>(result.*field);
  return 1;
}

}  // namespace

int CMsystem::Query(uint32_t id, float& value) { return AskAndTake(*this, id, &value, &CQueryResult::floatValue); }

int CMsystem::Query(uint32_t id, uint32_t& value) { return AskAndTake(*this, id, &value, &CQueryResult::ulongValue); }

int CMsystem::Query(uint32_t id, short& value) { return AskAndTake(*this, id, &value, &CQueryResult::ulongValue); }

int CMsystem::Query(uint32_t id, int32_t& value) { return AskAndTake(*this, id, &value, &CQueryResult::longValue); }

int CMsystem::Query(uint32_t id, void** value) { return AskAndTake(*this, id, value, &CQueryResult::pointerValue); }

int CMsystem::Query(uint32_t id, CString** value) { return AskAndTake(*this, id, value, &CQueryResult::stringValue); }

int CMsystem::Query(uint32_t id, CPropertyPage** value) {
  return AskAndTake(*this, id, value, &CQueryResult::pageValue);
}

uint32_t CMsystem::GetWorkBufferSize() {
  uint32_t size = 0;  // stays 0 when the algorithm does not answer
  Query(QUERY_WORK_BUFFER_SIZE, size);
  return size;
}

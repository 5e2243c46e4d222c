#include "platform/string_table.h"

#include "resources/string_ids.h"

namespace {

struct StringResource {
  UINT id;
  const char* text;
};

const StringResource kStringTable[] = {
#include "resources/string_table.inc"
};

}  // namespace

const char* FindStringResource(UINT id) {
  for (const StringResource& row : kStringTable)
    if (row.id == id) return row.text;
  return nullptr;
}

#include "Vantrel/SysPara.h"

SYSPARA::SYSPARA(HWND parent) : SysParaFields(parent) { PointAtOwnRecords(); }

SYSPARA::SYSPARA(const SYSPARA& other) : SysParaFields(other) { PointAtOwnRecords(); }

SYSPARA& SYSPARA::operator=(const SYSPARA& other) {
  SysParaFields::operator=(other);
  PointAtOwnRecords();
  return *this;
}

SYSPARA::~SYSPARA() = default;

void SYSPARA::Destroy() { delete this; }

void SYSPARA::PointAtOwnRecords() {
  input[0] = &inputPara[0];
  input[1] = &inputPara[1];
  for (int d = 0; d < 2; ++d)
    for (int c = 0; c < 2; ++c) routing[d][c] = &routingTable[d][c];
  delay = &delayPara;
  level = &levelPara;
}

// Small plain records exchanged with the algorithm: the answer of one query
// (one field per result type) and the two lengths handed to Init.
#pragma once

#include <cstdint>

class CString;
class CPropertyPage;  // a property page of the host's user interface

// One field per result type of CMsystem::Query. Plain data: the algorithm
// fills the field of the query it answers and leaves the others alone.
struct CQueryResult {
  float floatValue;
  uint32_t ulongValue;  // Windows unsigned long: 32 bits
  int32_t longValue;    // Windows long: 32 bits
  void* pointerValue;
  CString* stringValue;
  CPropertyPage* pageValue;
};

// Lengths given to CMsystem::Init.
struct CAlgorithmPara {
  // Samples per frame the delay compensation delivers when delay tracking
  // or real-time processing is active.
  uint32_t outputLength;
  // Samples per frame.
  uint32_t frameLength;
};

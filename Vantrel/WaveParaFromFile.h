// The wave format of a file input as its file has it. Go refuses a file
// whose rate or channel count differs from its input's WAVEPARA, so a
// caller that does not know the files fills the records from them:
//     for (INPUTPARAEXT& input : sys->inputPara)
//       if (!FillWaveParaFromFile(input, &why)) ...
#pragma once

#include <string>

#include "Vantrel/SysPara.h"

// Sets input.wave to the format of the file input.fileName: format word 1,
// its sample rate, bits per sample (16 for compressed encodings) and
// channel count; the output and spare words stay. false, with the reason in
// *why when given, and input.wave untouched, when the file cannot be read
// as sound.
bool FillWaveParaFromFile(INPUTPARAEXT& input, std::string* why = nullptr);

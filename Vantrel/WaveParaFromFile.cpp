#include "Vantrel/WaveParaFromFile.h"

#include "wavio/SoundFile.h"

bool FillWaveParaFromFile(INPUTPARAEXT& input, std::string* why) {
  SoundFileReader reader;
  if (!reader.Open(input.fileName)) {
    if (why != nullptr) *why = reader.Error();
    return false;
  }
  const SoundFileFormat& format = reader.Format();
  input.wave.formatWord = 1;
  input.wave.sampleRate = format.sampleRate;
  input.wave.bitsPerSample = format.bitsPerSample;
  input.wave.channels = format.channels;
  return true;
}

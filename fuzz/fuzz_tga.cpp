// Fuzz target: the TGA decoder (raw and run-length) takes any bytes and either gives a whole
// picture or a message.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckImageResult(DecodeTga({data, size}, "fuzz.tga"));
  return 0;
}

// Fuzz target: the BMP decoder takes any bytes and either gives a whole picture or a message.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckImageResult(DecodeBmp({data, size}, "fuzz.bmp"));
  return 0;
}

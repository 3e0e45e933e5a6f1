// Fuzz target: the JPEG path (libjpeg behind our error handling and size limits) takes any bytes
// and either gives a whole picture or a message.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckImageResult(DecodeJpeg({data, size}, "fuzz.jpg"));
  return 0;
}

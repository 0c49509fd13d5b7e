// libFuzzer target: params and image reads of a buffer (see FuzzOne.h).
#include "FuzzOne.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jpegtest::fuzzOne(data, size);
  return 0;
}

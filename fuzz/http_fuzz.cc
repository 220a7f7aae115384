// Random HTTP responses, requests and chunked bodies through the client's
// and the server's readers and the chunk decoder (see http_fuzz_body.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/http_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  http_fuzz::OneInput(data, size);
  return 0;
}

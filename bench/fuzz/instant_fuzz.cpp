// libFuzzer target over fuzz_instant (see instant_body.hpp); a failed check
// aborts so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "bench/fuzz/instant_body.hpp"

void quorvane::fuzz::check_failed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvane::fuzz::fuzz_instant(data, size);
  return 0;
}

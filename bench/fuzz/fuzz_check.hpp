// The one check used by the fuzz bodies. A libFuzzer target defines
// check_failed to abort (so the input is kept as a crash); the regression
// test defines it to record a test failure.
#pragma once

namespace quorvane::fuzz {

void check_failed(const char* condition, const char* file, int line);

}  // namespace quorvane::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::quorvane::fuzz::check_failed(#condition, __FILE__, __LINE__))

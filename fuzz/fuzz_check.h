#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: print what broke and abort, which libFuzzer reports
// as a crash with the input that caused it.
#define QV_FUZZ_CHECK(condition)                                                         \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#include "fuzz/FuzzCheck.h"

#include <cstdio>
#include <cstdlib>

namespace kalvero::fuzz {

void FuzzFailure(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

}  // namespace kalvero::fuzz

#pragma once

namespace kalvero::fuzz {

// Reports a broken promise of the code under test and aborts, so that the
// fuzzing engine saves the input as a crash.
[[noreturn]] void FuzzFailure(const char* condition, const char* file, int line);

}  // namespace kalvero::fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::kalvero::fuzz::FuzzFailure(#condition, __FILE__, __LINE__))

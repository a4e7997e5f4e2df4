// libFuzzer entry of one harness; KALVERO_FUZZ_HARNESS names its function
// (set by the build for each fuzzer).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    kalvero::fuzz::EnsureDecoderPixelLimit(*argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kalvero::fuzz::KALVERO_FUZZ_HARNESS(data, size);
    return 0;
}

#include "fuzz/FuzzTargets.h"

namespace kalvero::fuzz {

const std::vector<Harness>& AllHarnesses() {
    static const std::vector<Harness> harnesses = {
        {"recognize_frame", &FuzzRecognizeFrame},
        {"vote_buffer", &FuzzResultVoteBuffer},
        {"reader_options", &FuzzReaderOptions},
        {"still_image", &FuzzStillImage},
        {"read_frame", &FuzzReadFrame},
    };
    return harnesses;
}

}  // namespace kalvero::fuzz

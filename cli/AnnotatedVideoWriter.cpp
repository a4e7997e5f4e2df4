#include "cli/AnnotatedVideoWriter.h"

namespace kalvero {

bool AnnotatedVideoWriter::BeginInput(const InputStart& start) {
    std::string error;
    if (!video_.Open(path_, AnnotatedVideo::RateFor(start.framesPerSecond), start.frameSize, error)) {
        Fail(error);
        return false;
    }
    return true;
}

}  // namespace kalvero

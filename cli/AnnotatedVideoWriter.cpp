#include "cli/AnnotatedVideoWriter.h"

#include "cli/OutputCheck.h"

namespace kalvero {

bool AnnotatedVideoWriter::BeginInput(const InputStart& start) {
    std::string error;
    if (!video_.Open(path_, AnnotatedVideo::RateFor(start.framesPerSecond), start.frameSize, error)) {
        Fail(error);
        return false;
    }
    return true;
}

void AnnotatedVideoWriter::EndInput(const InputEnd& /*end*/) {
    std::string error;
    if (!video_.Close(error)) {
        Fail(OutputFailure(error));
    }
}

}  // namespace kalvero

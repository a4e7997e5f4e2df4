#include "cli/PassFileWriter.h"

#include "cli/OutputCheck.h"

namespace kalvero {

void PassFileWriter::Pass(const CarriagePass& pass) {
    std::string error;
    // After a failed write nothing more is tried: the run is ending.
    if (!Failed() && !file_.Write(pass, error)) {
        Fail(OutputFailure(error));
    }
}

}  // namespace kalvero

#include "cli/CropsWriter.h"

#include "cli/OutputCheck.h"
#include "cli/PassCrops.h"

namespace kalvero {

void CropsWriter::Pass(const CarriagePass& pass) {
    std::string error;
    if (!Failed() && !WriteCrop(dir_, pass, error)) {
        Fail(OutputFailure(error));
    }
}

}  // namespace kalvero

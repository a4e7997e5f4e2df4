#include "tools/SampleFailure.h"

namespace kalvero {

int SampleFailed(std::ostream& err, const std::string& message, int status) {
    err << "kalvero-make-sample: " << message << "\n";
    if (status == 2) {
        err << "Try 'kalvero-make-sample --help'.\n";
    }
    return status;
}

}  // namespace kalvero

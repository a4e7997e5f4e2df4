#pragma once
#include <ostream>
#include <string>

namespace kalvero {

// The sample maker's commands return an exit status (0 written, 2 usage
// error, 3 not written). SampleFailed names `message` on `err`, adds the
// hint to --help for a usage error (status 2), and returns `status`.
int SampleFailed(std::ostream& err, const std::string& message, int status);

}  // namespace kalvero

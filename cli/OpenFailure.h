#pragma once
#include <string>

namespace kalvero {

// Why an input did not open, as kalvero-read says it ("cannot open 'P':
// reason"): the system's reason when the file cannot even be read, the
// stream's timeout for a stream address, else that OpenCV cannot decode
// it. Only a regular file is opened to find out (a named pipe would wait
// for a writer).
std::string OpenFailure(const std::string& path);

}  // namespace kalvero

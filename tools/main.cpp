// kalvero-make-sample: writes a synthetic carriage video for trying the reader.
#include <iostream>
#include <string>
#include <vector>

#include "tools/SampleVideo.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kalvero::RunMakeSample(args, std::cout, std::cerr);
}

// kalvero-read: reads carriage numbers in a video without the window.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/Reader.h"

int main(int argc, char** argv) {
    // The reader takes files only. OpenCV would otherwise also offer a file
    // name it cannot decode to its gPhoto2 camera backend, which scans the
    // USB bus for cameras (slow, and memory it never releases). A value the
    // user set explicitly wins. This must happen before OpenCV's video
    // backends are first used.
    setenv("OPENCV_VIDEOIO_PRIORITY_GPHOTO2", "0", 0);

    kalvero::InstallInterruptHandler();
    kalvero::ReaderEnvironment environment;
    environment.progressOnTerminal = isatty(STDERR_FILENO) != 0;
    environment.outputOnTerminal = isatty(STDOUT_FILENO) != 0;
    environment.interruptRequested = [] { return kalvero::InterruptRequested(); };
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kalvero::RunReader(args, std::cout, std::cerr, environment);
}

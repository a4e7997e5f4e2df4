// kalvero-serve: the yard service, reading its cameras day and night.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/StandardStreams.h"
#include "serve/Service.h"

int main(int argc, char** argv) {
    // Before anything opens a file: a closed descriptor would be handed to
    // the database, and the log meant for standard error would land in it.
    kalvero::ReopenIfClosed(STDIN_FILENO);
    kalvero::ReopenIfClosed(STDOUT_FILENO);
    kalvero::ReopenIfClosed(STDERR_FILENO);
    // Cameras are files and streams: OpenCV is not to scan the USB bus for
    // gPhoto2 cameras when a file does not decode. A value set outside wins.
    setenv("OPENCV_VIDEOIO_PRIORITY_GPHOTO2", "0", 0);

    kalvero::InstallInterruptHandler();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kalvero::RunService(args, std::cout, std::cerr, [] { return kalvero::InterruptRequested(); });
}

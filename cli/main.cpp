// kalvero-read: reads carriage numbers in a video without the window.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/OutputCheck.h"
#include "cli/Reader.h"
#include "cli/StandardStreams.h"

int main(int argc, char** argv) {
    // Before anything opens a file: a closed descriptor would be handed to
    // that file, and the output meant for the terminal would land in it.
    // Closed standard output still counts as output that was not written.
    kalvero::ReopenIfClosed(STDIN_FILENO);
    const bool outputClosed = kalvero::ReopenIfClosed(STDOUT_FILENO);
    kalvero::ReopenIfClosed(STDERR_FILENO);

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
    environment.outputClosed = outputClosed;
    environment.interruptRequested = [] { return kalvero::InterruptRequested(); };
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = kalvero::RunReader(args, std::cout, std::cerr, environment);
    // The run checked every write it made; this catches anything still
    // buffered, which the exit would otherwise drop without a word.
    std::cout.flush();
    if (status != kalvero::kExitOutput && !outputClosed &&
        (std::cout.fail() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
        std::cerr << "kalvero-read: " << kalvero::OutputFailure("standard output") << "\n";
        return kalvero::kExitOutput;
    }
    return status;
}

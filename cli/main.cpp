// kalvero-read: reads carriage numbers in a video without the window.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/Reader.h"

int main(int argc, char** argv) {
    kalvero::InstallInterruptHandler();
    kalvero::ReaderEnvironment environment;
    environment.progressOnTerminal = isatty(STDERR_FILENO) != 0;
    environment.outputOnTerminal = isatty(STDOUT_FILENO) != 0;
    environment.interruptRequested = [] { return kalvero::InterruptRequested(); };
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kalvero::RunReader(args, std::cout, std::cerr, environment);
}

#include "cli/Interrupt.h"

#include <csignal>

namespace kalvero {

namespace {

// The one piece of process-wide state of the reader: a signal handler can
// reach nothing else.
volatile std::sig_atomic_t interruptFlag = 0;

extern "C" void OnInterrupt(int /*signal*/) { interruptFlag = 1; }

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return interruptFlag != 0; }

}  // namespace kalvero

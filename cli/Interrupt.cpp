#include "cli/Interrupt.h"

#include <csignal>
#include <initializer_list>

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
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool InterruptRequested() { return interruptFlag != 0; }

}  // namespace kalvero

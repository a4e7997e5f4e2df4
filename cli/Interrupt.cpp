#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace kalvero {

namespace {

// The one piece of process-wide state of the reader: a signal handler can
// reach nothing else. A lock-free atomic, as every input's thread reads it
// while the handler writes it on whichever thread the signal lands.
std::atomic<int> interruptFlag{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch a lock-free atomic");

extern "C" void OnInterrupt(int /*signal*/) { interruptFlag.store(1, std::memory_order_relaxed); }

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

bool InterruptRequested() { return interruptFlag.load(std::memory_order_relaxed) != 0; }

}  // namespace kalvero

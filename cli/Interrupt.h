#pragma once

namespace kalvero {

// Ctrl-C handling of kalvero-read: the first SIGINT only records the
// request (the run then ends after the current frame and still reports);
// the handler then steps aside, so a second Ctrl-C ends the process at once.
void InstallInterruptHandler();

// True once SIGINT arrived after InstallInterruptHandler().
bool InterruptRequested();

}  // namespace kalvero

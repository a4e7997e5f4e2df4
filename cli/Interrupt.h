#pragma once

namespace kalvero {

// Stop requests of kalvero-read: Ctrl-C (SIGINT), and SIGTERM and SIGHUP,
// which service managers, containers and a closed terminal send. The first
// of them only records the request (the run then ends after the current
// frame, closes its passes and still reports, status 0); the handler then
// steps aside, so a second one ends the process at once. SIGPIPE is
// ignored: a write to a pipe nobody reads any more fails like any other
// failed write (status 4, the summary on standard error) instead of
// killing the process.
void InstallInterruptHandler();
// True once one of those signals arrived after InstallInterruptHandler().
bool InterruptRequested();

}  // namespace kalvero

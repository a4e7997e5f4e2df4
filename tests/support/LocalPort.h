// Localhost ports for servers a test starts (ffmpeg, PostgreSQL, webhook
// receivers). The kernel hands them out, so tests running side by side
// never pick the same one, as ports derived from process ids could.
#pragma once

#include <sys/socket.h>

#include <vector>

namespace kalvero {

// `count` distinct localhost ports of the socket type (SOCK_STREAM or
// SOCK_DGRAM) that nothing was bound to a moment ago; the caller's server
// binds them next. Throws std::runtime_error when the kernel gives none.
std::vector<int> UnusedLocalPorts(int count, int type = SOCK_STREAM);

// One such port.
int UnusedLocalPort(int type = SOCK_STREAM);

}  // namespace kalvero

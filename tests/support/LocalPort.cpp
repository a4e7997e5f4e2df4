#include "LocalPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <stdexcept>

namespace kalvero {

std::vector<int> UnusedLocalPorts(int count, int type) {
    // Every probe stays bound until all are taken, so the ports differ.
    std::vector<int> probes;
    std::vector<int> ports;
    bool failed = false;
    for (int i = 0; i < count && !failed; ++i) {
        const int probe = ::socket(AF_INET, type, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (probe < 0) {
            failed = true;
            break;
        }
        probes.push_back(probe);
        if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            failed = true;
            break;
        }
        ports.push_back(ntohs(address.sin_port));
    }
    for (const int probe : probes) {
        ::close(probe);
    }
    if (failed) {
        throw std::runtime_error("no free localhost port");
    }
    return ports;
}

int UnusedLocalPort(int type) { return UnusedLocalPorts(1, type).front(); }

}  // namespace kalvero

#include "serve/WebRedactedUrl.h"

namespace kalvero {

std::string RedactedUrl(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const std::size_t hostStart = scheme + 3;
    const std::size_t pathStart = url.find_first_of("/?#", hostStart);
    const std::size_t authorityEnd = pathStart == std::string::npos ? url.size() : pathStart;
    const std::size_t at = url.rfind('@', authorityEnd == 0 ? 0 : authorityEnd - 1);
    if (at == std::string::npos || at < hostStart) return url;
    const std::size_t colon = url.find(':', hostStart);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

}  // namespace kalvero

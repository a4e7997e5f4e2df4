#include "serve/WebSignInThrottle.h"

#include <algorithm>

namespace kalvero {

long long WebSignInThrottle::SecondsToWait(const std::string& address, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = records_.find(address);
    if (found == records_.end() || found->second.blockedUntil <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::seconds>(found->second.blockedUntil - now);
    return std::max<long long>(1, left.count());
}

void WebSignInThrottle::Failed(const std::string& address, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = records_.find(address);
    if (found != records_.end() && now - found->second.last > kForgetAfter) {
        records_.erase(found);
        found = records_.end();
    }
    if (found == records_.end()) {
        if (records_.size() >= kAddresses) {
            records_.erase(std::min_element(records_.begin(), records_.end(), [](const auto& a, const auto& b) {
                return a.second.last < b.second.last;
            }));
        }
        found = records_.emplace(address, Record{}).first;
    }
    Record& record = found->second;
    ++record.failures;
    record.last = now;
    if (record.failures > kFreeTries) {
        const int doublings = std::min(record.failures - kFreeTries - 1, 16);
        const std::chrono::seconds wait = std::min<std::chrono::seconds>(kFirstWait * (1LL << doublings), kLongestWait);
        record.blockedUntil = now + wait;
    }
}

void WebSignInThrottle::Succeeded(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.erase(address);
}

}  // namespace kalvero

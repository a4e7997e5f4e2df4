#pragma once
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace kalvero {

// Slows down guessing the token: after a few wrong tokens from one address,
// that address must wait before its next try, twice as long after each
// further wrong one (up to a cap). A right token clears its count. Safe to
// call from any thread.
class WebSignInThrottle {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kFreeTries = 3;  // wrong tokens before any wait
    static constexpr std::chrono::seconds kFirstWait{1};
    static constexpr std::chrono::seconds kLongestWait{60};
    static constexpr std::chrono::minutes kForgetAfter{15};  // a quiet address starts afresh

    // Whole seconds `address` must still wait at `now`; 0 when it may try.
    long long SecondsToWait(const std::string& address, Clock::time_point now);
    void Failed(const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& address);

private:
    struct Record {
        int failures = 0;
        Clock::time_point last;
        Clock::time_point blockedUntil;
    };
    static constexpr std::size_t kAddresses = 10000;  // kept at most; the quietest go first

    std::mutex mutex_;
    std::map<std::string, Record> records_;
};

}  // namespace kalvero

#pragma once
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace kalvero {

// The page's sign-in sessions: random identifiers handed out as a cookie,
// each valid for a fixed time. Only a hash of each identifier is kept.
// Safe to call from any thread.
class WebSessions {
public:
    using Clock = std::chrono::steady_clock;

    explicit WebSessions(std::chrono::seconds lifetime = std::chrono::hours(12), std::size_t capacity = 1000);

    // A new session's identifier: 256 random bits from OpenSSL, in hex.
    // Throws std::runtime_error when no random bytes can be had. When
    // `capacity` sessions are open the one closest to expiring is ended.
    std::string Open(Clock::time_point now);
    // True when `id` names a session open at `now`.
    bool Valid(const std::string& id, Clock::time_point now);
    // Ends `id`'s session (sign-out); nothing when there is none.
    void Close(const std::string& id);

    std::chrono::seconds Lifetime() const { return lifetime_; }

private:
    void Prune(Clock::time_point now);

    const std::chrono::seconds lifetime_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::map<std::string, Clock::time_point> expiry_;  // by SHA-256 of the identifier
};

}  // namespace kalvero

#include "serve/WebSessions.h"

#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <stdexcept>

namespace kalvero {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string Hashed(const std::string& id) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(id.data()), id.size(), digest);
    return Hex(digest, sizeof digest);
}

}  // namespace

WebSessions::WebSessions(std::chrono::seconds lifetime, std::size_t capacity)
    : lifetime_(lifetime), capacity_(std::max<std::size_t>(capacity, 1)) {}

std::string WebSessions::Open(Clock::time_point now) {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        throw std::runtime_error("no random bytes for a session");
    }
    const std::string id = Hex(bytes, sizeof bytes);
    std::lock_guard<std::mutex> lock(mutex_);
    Prune(now);
    if (expiry_.size() >= capacity_) {
        const auto soonest = std::min_element(expiry_.begin(), expiry_.end(),
                                              [](const auto& a, const auto& b) { return a.second < b.second; });
        expiry_.erase(soonest);
    }
    expiry_[Hashed(id)] = now + lifetime_;
    return id;
}

bool WebSessions::Valid(const std::string& id, Clock::time_point now) {
    if (id.empty()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = expiry_.find(Hashed(id));
    if (found == expiry_.end()) return false;
    if (found->second <= now) {
        expiry_.erase(found);
        return false;
    }
    return true;
}

void WebSessions::Close(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    expiry_.erase(Hashed(id));
}

void WebSessions::Prune(Clock::time_point now) {
    for (auto it = expiry_.begin(); it != expiry_.end();) {
        it = it->second <= now ? expiry_.erase(it) : std::next(it);
    }
}

}  // namespace kalvero

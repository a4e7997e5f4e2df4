#include "cli/InputId.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "worker/FrameSource.h"

namespace kalvero {

unsigned FnvHash(const std::string& text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::string InputId(const std::string& input) {
    std::string key = input;
    if (!IsStreamAddress(input)) {
        std::error_code code;
        const std::filesystem::path absolute = std::filesystem::absolute(input, code);
        if (!code) {
            key = absolute.lexically_normal().string();
        }
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", FnvHash(key));
    return hex;
}

}  // namespace kalvero

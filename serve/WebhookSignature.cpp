#include "serve/WebhookSignature.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

namespace kalvero {

std::string WebhookSignature(const std::string& secret, const std::string& body) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
             reinterpret_cast<const unsigned char*>(body.data()), body.size(), digest, &length) == nullptr) {
        throw std::runtime_error("OpenSSL could not compute an HMAC-SHA256");
    }
    static const char hex[] = "0123456789abcdef";
    std::string text = "sha256=";
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0x0f];
    }
    return text;
}

}  // namespace kalvero

#include "serve/WebTokenCompare.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

namespace kalvero {

bool TokensEqual(const std::string& given, const std::string& token) {
    unsigned char a[SHA256_DIGEST_LENGTH];
    unsigned char b[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(given.data()), given.size(), a);
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), b);
    const bool same = CRYPTO_memcmp(a, b, sizeof a) == 0;
    return same && !token.empty();
}

}  // namespace kalvero

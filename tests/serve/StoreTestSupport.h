#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "serve/StoredPass.h"

namespace kalvero {

// A pass whose every field differs from the next one's: `seed` varies the
// numbers, texts and crop bytes (zeros and 0xFF among them).
StoredPass MakePass(const std::string& camera, const std::string& number, const std::string& start, int seed = 0,
                    size_t cropBytes = 3000);

// Every field of `actual` as in `expected` but the id (GoogleTest
// expectations); without `withCrop`, `actual` is to have no crop.
void ExpectSamePass(const StoredPass& expected, const StoredPass& actual, bool withCrop = true);

// The ids of `passes`, in their order.
std::vector<long long> Ids(const std::vector<StoredPass>& passes);

// A folder of its own for each test under /tmp, removed after it; path()
// is empty when it could not be made.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace kalvero

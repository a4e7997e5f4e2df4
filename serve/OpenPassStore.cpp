#include <string>

#include "serve/PassStore.h"
#include "serve/PostgresPassStore.h"
#include "serve/SqlitePassStore.h"

namespace kalvero {

std::unique_ptr<PassStore> OpenPassStore(const std::string& storage) {
    const auto startsWith = [&](const char* prefix) { return storage.rfind(prefix, 0) == 0; };
    if (startsWith("postgresql://") || startsWith("postgres://")) {
        return std::make_unique<PostgresPassStore>(storage);
    }
    return std::make_unique<SqlitePassStore>(storage);
}

}  // namespace kalvero

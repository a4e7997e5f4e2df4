// Storage an operator got wrong: a clear StoreError, never a crash, and
// never the password of a PostgreSQL address.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "StoreTestSupport.h"
#include "TemporaryPostgres.h"
#include "serve/PassStore.h"
#include "support/LocalPort.h"

namespace kalvero {
namespace {

const char* const kSecret = "Secr3t-Pa55";

struct BadStorage {
    std::string name;
    // The storage text, made in the test's folder.
    std::function<std::string(const std::string& folder)> storage;
    std::string said;  // words the message must hold
};

void PrintTo(const BadStorage& bad, std::ostream* out) { *out << bad.name; }

class OpenBadStorage : public ::testing::TestWithParam<BadStorage> {};

TEST_P(OpenBadStorage, FailsWithAClearMessageAndNoPassword) {
    TemporaryFolder folder;
    const std::string storage = GetParam().storage(folder.path());
    try {
        OpenPassStore(storage);
        FAIL() << "opened " << storage;
    } catch (const StoreError& error) {
        const std::string message = error.what();
        EXPECT_NE(std::string::npos, message.find(GetParam().said)) << message;
        EXPECT_EQ(std::string::npos, message.find(kSecret)) << message;
    }
}

std::string NobodyListens(const std::string& scheme) {
    return scheme + "://kalvero:" + kSecret + "@127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/yard";
}

const BadStorage kBadStorages[] = {
    {"NothingGiven", [](const std::string&) { return std::string(); }, "no storage given"},
    {"FolderMissing", [](const std::string& f) { return f + "/no-such-folder/passes.db"; }, "does not exist"},
    {"AFolder", [](const std::string& f) { return f; }, "is a folder"},
    {"NotADatabase",
     [](const std::string& f) {
         std::ofstream(f + "/notes.txt") << "these are not the passes you are looking for, "
                                            "and a database this is not either\n";
         return f + "/notes.txt";
     },
     "not a database"},
    {"PostgresqlNobodyListens", [](const std::string&) { return NobodyListens("postgresql"); }, "PostgreSQL"},
    {"PostgresNobodyListens", [](const std::string&) { return NobodyListens("postgres"); }, "127.0.0.1"},
    {"PostgresPasswordInTheQuery",
     [](const std::string&) {
         return "postgresql://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/yard?user=kalvero&password=" + kSecret;
     },
     "PostgreSQL"},
    {"PostgresBadPort",
     [](const std::string&) { return "postgresql://kalvero:" + std::string(kSecret) + "@127.0.0.1:notaport/yard"; },
     "PostgreSQL"},
};

INSTANTIATE_TEST_SUITE_P(Storages, OpenBadStorage, ::testing::ValuesIn(kBadStorages),
                         [](const ::testing::TestParamInfo<BadStorage>& info) { return info.param.name; });

}  // namespace
}  // namespace kalvero

// What libkalvero.so.1 shows the dynamic linker: its SONAME and the C
// interface's symbols only.
#include <sstream>

#include <gtest/gtest.h>

#include "SdkFixtures.h"

namespace kalvero::testing_sdk {
namespace {

std::string Library() { return BuildDir() + "/sdk/libkalvero.so.1"; }

TEST(Exports, OnlyTheCInterfaceIsExported) {
    const ShellResult symbols = RunShell("nm -D --defined-only " + Quoted(Library()));
    ASSERT_EQ(symbols.status, 0) << symbols.output;
    std::istringstream lines(symbols.output);
    std::string line;
    int exported = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        // The version script's own node is listed as an absolute symbol.
        if (type == "A" && name == "KALVERO_1") continue;
        EXPECT_EQ(name.rfind("kalvero_", 0), 0u) << line;
        ++exported;
    }
    // Everything the header declares is there (a few, by name).
    EXPECT_GE(exported, 30);
    for (const char* name : {"kalvero_read_frame", "kalvero_reader_new", "kalvero_read_file", "kalvero_last_error"}) {
        EXPECT_NE(symbols.output.find(std::string(" ") + name + "@@KALVERO_1"), std::string::npos) << name;
    }
}

TEST(Exports, TheLibraryIsNamedByItsSoname) {
    const ShellResult dynamic = RunShell("readelf -d " + Quoted(Library()));
    ASSERT_EQ(dynamic.status, 0) << dynamic.output;
    EXPECT_NE(dynamic.output.find("Library soname: [libkalvero.so.1]"), std::string::npos) << dynamic.output;
}

}  // namespace
}  // namespace kalvero::testing_sdk

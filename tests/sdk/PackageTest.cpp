// The Debian package: cpack -G DEB in the build folder, unpacked with
// dpkg-deb -x into a temporary root, runs from there; its Depends line
// names the libraries it links.
#include <gtest/gtest.h>

#include "SdkFixtures.h"

namespace kalvero::testing_sdk {
namespace {

class DebianPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#ifdef KALVERO_TESTS_UNDER_SANITIZER
        return;
#endif
        packages_ = ScratchDir() + "/packages";
        const ShellResult made = RunShell("cd " + Quoted(BuildDir()) + " && cpack -G DEB -B " + Quoted(packages_));
        madeStatus_ = made.status;
        madeOutput_ = made.output;
        root_ = ScratchDir() + "/root";
        deb_ = packages_ + "/kalvero_1.0_amd64.deb";
        if (madeStatus_ == 0) {
            const ShellResult unpacked = RunShell("dpkg-deb -x " + Quoted(deb_) + " " + Quoted(root_));
            madeStatus_ = unpacked.status;
            madeOutput_ += unpacked.output;
        }
    }

    void SetUp() override {
#ifdef KALVERO_TESTS_UNDER_SANITIZER
        // A sanitizer build's library needs the sanitizer's runtime loaded
        // first, which a plain program or python3 does not do: the
        // installed files are checked in the plain build (the C example
        // under AddressSanitizer included).
        GTEST_SKIP() << "the installed library is instrumented in this build";
#endif
        ASSERT_EQ(madeStatus_, 0) << madeOutput_;
    }

    static std::string packages_;
    static std::string root_;
    static std::string deb_;
    static int madeStatus_;
    static std::string madeOutput_;
};

std::string DebianPackage::packages_;
std::string DebianPackage::root_;
std::string DebianPackage::deb_;
int DebianPackage::madeStatus_ = -1;
std::string DebianPackage::madeOutput_;

TEST_F(DebianPackage, ItsProgramsAndLibraryRunFromTheUnpackedRoot) {
    const std::string environment = "LD_LIBRARY_PATH=" + Quoted(root_ + "/usr/lib");
    const ShellResult version = RunShell(environment + " " + Quoted(root_ + "/usr/bin/kalvero-read") + " --version");
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_NE(version.output.find("1.0"), std::string::npos) << version.output;

    const std::string program = ScratchDir() + "/read_still_from_package";
    const ShellResult built = RunShell("cc " + Quoted(std::string(KALVERO_SOURCE_DIR) + "/examples/read_still.c") +
                                       " -I" + Quoted(root_ + "/usr/include") + " -L" + Quoted(root_ + "/usr/lib") +
                                       " -lkalvero -o " + Quoted(program));
    ASSERT_EQ(built.status, 0) << built.output;
    const ShellResult run = RunShell(environment + " " + Quoted(program) + " " + Quoted(DefaultSample("sample.png")));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "52473063\n");
    const ShellResult linked = RunShell(environment + " ldd " + Quoted(program));
    EXPECT_NE(linked.output.find(root_ + "/usr/lib/libkalvero.so.1"), std::string::npos) << linked.output;
}

TEST_F(DebianPackage, DependsNamesTheLibrariesItLinks) {
    const ShellResult depends = RunShell("dpkg-deb -f " + Quoted(deb_) + " Depends");
    ASSERT_EQ(depends.status, 0) << depends.output;
    for (const char* package : {"libopencv-core406", "libopencv-dnn406", "libopencv-videoio406", "libavformat59",
                                "libstdc++6", "python3"}) {
        EXPECT_NE(depends.output.find(package), std::string::npos) << package << " missing from " << depends.output;
    }
    const ShellResult name = RunShell("dpkg-deb -f " + Quoted(deb_) + " Package Version Architecture");
    EXPECT_EQ(name.output, "Package: kalvero\nVersion: 1.0\nArchitecture: amd64\n");
}

}  // namespace
}  // namespace kalvero::testing_sdk

// The installed files: `cmake --install` into a temporary prefix, the
// examples built there with pkg-config and with find_package(Kalvero) and
// run on the default sample, the Python module and example through that
// prefix only, and the C example under AddressSanitizer.
#include <fstream>

#include <gtest/gtest.h>

#include "SdkFixtures.h"

namespace kalvero::testing_sdk {
namespace {

constexpr const char* kSampleNumber = "52473063";

std::string SourceDir() { return KALVERO_SOURCE_DIR; }

class Installed : public ::testing::Test {
protected:
    // Installed once for the whole suite.
    static void SetUpTestSuite() {
#ifdef KALVERO_TESTS_UNDER_SANITIZER
        return;
#endif
        prefix_ = ScratchDir() + "/prefix";
        const ShellResult install =
            RunShell("cmake --install " + Quoted(BuildDir()) + " --prefix " + Quoted(prefix_));
        installStatus_ = install.status;
        installOutput_ = install.output;
    }

    void SetUp() override {
#ifdef KALVERO_TESTS_UNDER_SANITIZER
        // A sanitizer build's library needs the sanitizer's runtime loaded
        // first, which a plain program or python3 does not do: the
        // installed files are checked in the plain build (the C example
        // under AddressSanitizer included).
        GTEST_SKIP() << "the installed library is instrumented in this build";
#endif
        ASSERT_EQ(installStatus_, 0) << installOutput_;
    }

    static std::string Prefix() { return prefix_; }
    // The environment that finds the installed files and nothing of the build.
    static std::string InstalledEnvironment() {
        return "LD_LIBRARY_PATH=" + Quoted(prefix_ + "/lib") + " PKG_CONFIG_PATH=" +
               Quoted(prefix_ + "/lib/pkgconfig");
    }

    static std::string prefix_;
    static int installStatus_;
    static std::string installOutput_;
};

std::string Installed::prefix_;
int Installed::installStatus_ = -1;
std::string Installed::installOutput_;

TEST_F(Installed, PutsEveryPartUnderThePrefix) {
    for (const char* part : {"bin/kalvero-read", "bin/kalvero-make-sample", "lib/libkalvero.so.1", "lib/libkalvero.so",
                             "include/kalvero/kalvero.h", "lib/pkgconfig/kalvero.pc",
                             "lib/cmake/Kalvero/KalveroConfig.cmake", "lib/cmake/Kalvero/KalveroConfigVersion.cmake",
                             "lib/python3/dist-packages/kalvero.pyi", "share/man/man1/kalvero-read.1.gz",
                             "share/man/man1/kalvero-make-sample.1.gz"}) {
        EXPECT_TRUE(std::ifstream(Prefix() + "/" + part).good()) << part;
    }
    const ShellResult module = RunShell("ls " + Quoted(Prefix() + "/lib/python3/dist-packages"));
    EXPECT_NE(module.output.find("kalvero.cpython-"), std::string::npos) << module.output;
    const ShellResult manual = RunShell("man -l -Tutf8 " + Quoted(Prefix() + "/share/man/man1/kalvero-read.1.gz"));
    EXPECT_EQ(manual.status, 0) << manual.output;
    EXPECT_NE(manual.output.find("kalvero-read"), std::string::npos);
}

TEST_F(Installed, ExamplesBuiltWithPkgConfigReadTheSample) {
    const std::string out = ScratchDir() + "/pkg";
    const ShellResult built = RunShell(
        "mkdir -p " + Quoted(out) + " && export " + InstalledEnvironment() + " && cc -Wall -Wextra -Werror " +
        Quoted(SourceDir() + "/examples/read_still.c") + " $(pkg-config --cflags --libs kalvero) -o " +
        Quoted(out + "/read_still") + " && c++ -std=c++17 -Wall -Wextra -Werror " +
        Quoted(SourceDir() + "/examples/read_video.cpp") + " $(pkg-config --cflags --libs kalvero opencv4) -o " +
        Quoted(out + "/read_video"));
    ASSERT_EQ(built.status, 0) << built.output;
    // The library the examples load is the installed one.
    const ShellResult linked = RunShell(InstalledEnvironment() + " ldd " + Quoted(out + "/read_still"));
    EXPECT_NE(linked.output.find(Prefix() + "/lib/libkalvero.so.1"), std::string::npos) << linked.output;

    const ShellResult still =
        RunShell(InstalledEnvironment() + " " + Quoted(out + "/read_still") + " " + Quoted(DefaultSample("sample.png")));
    EXPECT_EQ(still.status, 0) << still.output;
    EXPECT_EQ(still.output, std::string(kSampleNumber) + "\n");
    const ShellResult video =
        RunShell(InstalledEnvironment() + " " + Quoted(out + "/read_video") + " " + Quoted(DefaultSample("sample.mkv")));
    EXPECT_EQ(video.status, 0) << video.output;
    EXPECT_EQ(video.output, std::string(kSampleNumber) + "\n");
    // A file that does not open: a message and a status.
    const ShellResult missing = RunShell(InstalledEnvironment() + " " + Quoted(out + "/read_still") + " /nonexistent.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("read_still: cannot open"), std::string::npos) << missing.output;
}

TEST_F(Installed, ExamplesBuiltWithFindPackageReadTheSample) {
    const std::string out = ScratchDir() + "/cmake-examples";
    const ShellResult built = RunShell("cmake -S " + Quoted(SourceDir() + "/examples") + " -B " + Quoted(out) +
                                       " -DCMAKE_PREFIX_PATH=" + Quoted(Prefix()) + " >/dev/null && cmake --build " +
                                       Quoted(out) + " -j2");
    ASSERT_EQ(built.status, 0) << built.output;
    const ShellResult found = RunShell("grep -h Kalvero_DIR " + Quoted(out + "/CMakeCache.txt"));
    EXPECT_NE(found.output.find(Prefix() + "/lib/cmake/Kalvero"), std::string::npos) << found.output;
    const ShellResult still = RunShell(Quoted(out + "/read_still") + " " + Quoted(DefaultSample("sample.png")));
    EXPECT_EQ(still.output, std::string(kSampleNumber) + "\n");
    const ShellResult video = RunShell(Quoted(out + "/read_video") + " " + Quoted(DefaultSample("sample.mkv")));
    EXPECT_EQ(video.output, std::string(kSampleNumber) + "\n");
}

TEST_F(Installed, TheCExampleRunsCleanUnderAddressSanitizer) {
    const std::string program = ScratchDir() + "/read_still_asan";
    const ShellResult built = RunShell(
        "export " + InstalledEnvironment() + " && cc -g -fsanitize=address -fno-omit-frame-pointer " +
        Quoted(SourceDir() + "/examples/read_still.c") + " $(pkg-config --cflags --libs kalvero) -o " + Quoted(program));
    ASSERT_EQ(built.status, 0) << built.output;
    // Leaks inside system libraries the program cannot release are
    // suppressed as in CI; anything else fails the run.
    const std::string sanitizer = "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 LSAN_OPTIONS=suppressions=" +
                                  Quoted(SourceDir() + "/.ci/lsan.supp");
    for (const std::string& sample : {DefaultSample("sample.png"), DefaultSample("sample.mkv")}) {
        const ShellResult run = RunShell(InstalledEnvironment() + " " + sanitizer + " " + Quoted(program) + " " +
                                         Quoted(sample));
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output, std::string(kSampleNumber) + "\n");
    }
}

TEST_F(Installed, ThePythonModuleAndExampleWorkFromThePrefix) {
    // The sample's frames as raw BGR bytes for the module's own checks.
    const std::vector<cv::Mat> frames = DecodedFrames(DefaultSample("sample.mkv"));
    ASSERT_FALSE(frames.empty());
    const std::string raw = ScratchDir() + "/frames.bgr";
    {
        std::ofstream file(raw, std::ios::binary);
        for (const cv::Mat& frame : frames) {
            for (int y = 0; y < frame.rows; ++y) {
                file.write(reinterpret_cast<const char*>(frame.ptr(y)), static_cast<std::streamsize>(frame.cols * 3));
            }
        }
    }
    // Run from / so that nothing of the source or build folder is imported.
    const std::string python = "PYTHONPATH=" + Quoted(Prefix() + "/lib/python3/dist-packages") + " /usr/bin/python3 ";
    const ShellResult module = RunShell(
        "cd / && KALVERO_FRAMES=" + Quoted(raw) + " KALVERO_FRAME_SHAPE=" + std::to_string(frames.size()) + "," +
        std::to_string(frames[0].rows) + "," + std::to_string(frames[0].cols) + " KALVERO_SAMPLE=" +
        Quoted(DefaultSample("sample.mkv")) + " " + python + Quoted(SourceDir() + "/tests/sdk/kalvero_module_check.py"));
    EXPECT_EQ(module.status, 0) << module.output;

    // The folder example: both the still and the video.
    const std::string folder = ScratchDir() + "/folder";
    ASSERT_EQ(RunShell("mkdir -p " + Quoted(folder) + " && cp " + Quoted(DefaultSample("sample.png")) + " " +
                       Quoted(DefaultSample("sample.mkv")) + " " + Quoted(folder))
                  .status,
              0);
    const ShellResult example = RunShell("cd / && " + python + Quoted(SourceDir() + "/examples/read_folder.py") + " " + Quoted(folder));
    EXPECT_EQ(example.status, 0) << example.output;
    EXPECT_EQ(example.output, "sample.mkv\t52473063\t1-60\nsample.png\t52473063\t1-1\n");
}

}  // namespace
}  // namespace kalvero::testing_sdk

// kalvero-read over several files and folders, with --jobs, damaged files
// and long paths, run as a separate process.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <regex>

#include <gtest/gtest.h>

#include "ReaderProcess.h"

namespace kalvero {
namespace {

using namespace testing_cli;
namespace fs = std::filesystem;

SampleOptions Small(const std::string& number, std::uint64_t seed) {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 12, 20);
    sample.number = number;
    sample.seed = seed;
    return sample;
}

void Copy(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// A folder of good videos (one in a subfolder, one a still), damaged ones
// and files that are not media at all.
std::string YardFolder() {
    const std::string dir = ScratchDir() + "/yard";
    if (fs::exists(dir)) return dir;
    Copy(SampleFile("many-a.avi", Small("52473063", 1)), dir + "/a.avi");
    Copy(SampleFile("many-b.avi", Small("58241837", 2)), dir + "/cam2/b.avi");
    Copy(SampleFile("many-c.png", Small("52413069", 3)), dir + "/c.png");
    const std::string good = ReadFile(dir + "/a.avi");
    std::ofstream(dir + "/b-cut.avi") << good.substr(0, 2000);  // cut off inside its header
    std::ofstream(dir + "/d-noise.mp4") << std::string(5000, 'x');
    std::ofstream(dir + "/notes.txt") << "not a video\n";
    std::ofstream(dir + "/.hidden.avi") << "skipped\n";
    return dir;
}

TEST(ReaderManyInputs, AFolderIsReadInNameOrderAndItsDamagedFilesAreNamed) {
    const std::string dir = YardFolder();
    const std::string passes = ScratchDir() + "/yard.jsonl";
    const ProcessResult r = RunReaderProcess(
        {dir, "--digit-height", "20", "--threshold", "1", "--passes", passes, "--jobs", "2"});
    EXPECT_EQ(r.status, 3) << r.err;
    // Every good file is read, in name order; the damaged ones are named.
    const std::size_t a = r.out.find("File " + dir + "/a.avi:\n");
    const std::size_t cut = r.out.find("File " + dir + "/b-cut.avi:\n");
    const std::size_t c = r.out.find("File " + dir + "/c.png:\n");
    const std::size_t b = r.out.find("File " + dir + "/cam2/b.avi:\n");
    ASSERT_NE(a, std::string::npos) << r.out;
    ASSERT_NE(b, std::string::npos) << r.out;
    ASSERT_NE(c, std::string::npos) << r.out;
    EXPECT_LT(a, cut);
    EXPECT_LT(cut, c);
    EXPECT_LT(c, b);
    EXPECT_EQ(r.out.find("notes.txt"), std::string::npos);
    EXPECT_EQ(r.out.find(".hidden"), std::string::npos);
    EXPECT_NE(r.out.find("confirmed 52473063", a), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("confirmed 58241837", b), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("cannot open '" + dir + "/b-cut.avi'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot open '" + dir + "/d-noise.mp4'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Files: 5 given, 3 read, 2 could not be opened: '" + dir + "/b-cut.avi', '" +
                         dir + "/d-noise.mp4'"),
              std::string::npos)
        << r.err;
    // The pass records name their files.
    const std::string records = ReadFile(passes);
    EXPECT_NE(records.find("{\"file\": \"" + dir + "/a.avi\", \"number\": \"52473063\""),
              std::string::npos)
        << records;
    EXPECT_NE(records.find("{\"file\": \"" + dir + "/cam2/b.avi\", \"number\": \"58241837\""),
              std::string::npos)
        << records;

    // Only good files: status 0.
    const ProcessResult good =
        RunReaderProcess({dir + "/a.avi", dir + "/cam2", "--digit-height", "20"});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_NE(good.err.find("Files: 2 given, 2 read\n"), std::string::npos) << good.err;
}

TEST(ReaderManyInputs, ReadingSeveralAtOnceGivesTheSameOutputAsOneByOne) {
    std::vector<std::string> files;
    for (int i = 1; i <= 4; ++i) {
        files.push_back(SampleFile("jobs-" + std::to_string(i) + ".avi",
                                   Small(i % 2 ? "52473063" : "58241837", static_cast<std::uint64_t>(i))));
    }
    for (const bool json : {false, true}) {
        std::vector<std::string> outputs;
        std::vector<std::string> passFiles;
        for (const char* jobs : {"1", "3"}) {
            const std::string passes = ScratchDir() + "/jobs" + jobs + (json ? "j" : "t") + ".csv";
            std::vector<std::string> args = files;
            args.insert(args.end(), {"--digit-height", "20", "--jobs", jobs, "--passes", passes});
            if (json) args.push_back("--json");
            const ProcessResult r = RunReaderProcess(args);
            ASSERT_EQ(r.status, 0) << r.err;
            // Only the measured recognition times may differ.
            outputs.push_back(std::regex_replace(r.out, std::regex("\"time_ms\": [0-9.]+"), "T"));
            passFiles.push_back(ReadFile(passes));
        }
        EXPECT_EQ(outputs[0], outputs[1]);
        EXPECT_EQ(passFiles[0], passFiles[1]);
        EXPECT_EQ(Lines(passFiles[0]).size(), 5u) << passFiles[0];
        if (json) {
            // Frames of every file, each line naming its file, in input order.
            const std::vector<std::string> lines = Lines(outputs[0]);
            ASSERT_EQ(lines.size(), 48u);
            EXPECT_NE(lines[0].find("\"file\": \"" + files[0] + "\"}"), std::string::npos) << lines[0];
            EXPECT_NE(lines[47].find("\"file\": \"" + files[3] + "\"}"), std::string::npos) << lines[47];
        }
    }
}

TEST(ReaderManyInputs, APathLongerThanTheWindowTakesIsRead) {
    std::string dir = ScratchDir() + "/long";
    while (dir.size() < 900) dir += "/" + std::string(120, 'd');
    const std::string video = dir + "/v.avi";
    Copy(SampleFile("long-path.avi", Small("52473063", 1)), video);
    const std::string tmp = ScratchDir() + "/tmp-for-long";
    fs::create_directories(tmp);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    const ProcessResult r = RunReaderProcess({video, "--digit-height", "20"});
    ::unsetenv("TMPDIR");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("confirmed 52473063"), std::string::npos) << r.out;
    // The short link the run used is gone.
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST(ReaderManyInputs, AFolderWithNothingToReadIsAnError) {
    const std::string empty = ScratchDir() + "/empty-folder";
    fs::create_directories(empty);
    std::ofstream(empty + "/readme.txt") << "x";
    const ProcessResult r = RunReaderProcess({empty});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "kalvero-read: cannot open '" + empty + "': Is a directory\n");
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace kalvero

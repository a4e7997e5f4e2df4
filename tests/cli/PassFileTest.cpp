#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "cli/PassFile.h"
#include "cli/PassSummary.h"
#include "ReaderProcess.h"

namespace kalvero {
namespace {

using testing_cli::ReadFile;
using testing_cli::ScratchDir;

CarriagePass Sample() {
    CarriagePass p;
    p.file = "yard/cam 1,\"east\".mp4";
    p.number = "52473063";
    p.checkDigit = true;
    p.firstFrame = 3;
    p.lastFrame = 25;
    p.startSeconds = 0.08;
    p.endSeconds = 0.96;
    p.firstConfirmedFrame = 7;
    p.readFrames = {{3, 10}, {12, 25}};
    for (int f = 3; f <= 25; ++f) {
        if (f != 11) p.scores.emplace_back(f, 0.5f);
    }
    p.bestScore = 0.998f;
    p.bestFrame = 12;
    p.direction = TravelDirection::Left;
    return p;
}

TEST(PassFile, RecordsCarryEveryFigureInBothForms) {
    const CarriagePass p = Sample();
    EXPECT_EQ(PassFile::JsonRecord(p),
              "{\"file\": \"yard/cam 1,\\\"east\\\".mp4\", \"number\": \"52473063\", "
              "\"check_digit\": true, \"first_frame\": 3, \"last_frame\": 25, \"start_s\": 0.080, "
              "\"end_s\": 0.960, \"start_time\": null, \"end_time\": null, \"first_confirmed_frame\": 7, "
              "\"frames_read\": 22, "
              "\"frames\": [[3, 10], [12, 25]], \"best_score\": 0.998, \"best_frame\": 12, "
              "\"direction\": \"left\", \"damaged_frames\": 0, \"damaged\": []}");
    // The file name's comma and quotes are quoted the CSV way.
    EXPECT_EQ(PassFile::CsvRecord(p),
              "\"yard/cam 1,\"\"east\"\".mp4\",52473063,holds,3,25,0.080,0.960,,,7,22,3-10 12-25,"
              "0.998,12,left,0,");
    PassFile::Form form;
    ASSERT_TRUE(PassFile::FormFor("a/B.CSV", form));
    EXPECT_EQ(form, PassFile::Form::Csv);
    ASSERT_TRUE(PassFile::FormFor("b.jsonl", form));
    EXPECT_EQ(form, PassFile::Form::JsonLines);
    EXPECT_FALSE(PassFile::FormFor("passes.txt", form));
    EXPECT_FALSE(PassFile::FormFor("csv", form));
}

TEST(PassFile, EachPassIsOnDiskAsSoonAsItIsWritten) {
    const std::string path = ScratchDir() + "/passes.csv";
    PassFile file;
    std::string error;
    ASSERT_TRUE(file.Open(path, error)) << error;
    EXPECT_EQ(ReadFile(path), std::string(PassFile::CsvHeader()) + "\n");
    ASSERT_TRUE(file.Write(Sample(), error)) << error;
    // Read back while the file is still open: nothing waits in a buffer.
    EXPECT_EQ(ReadFile(path), std::string(PassFile::CsvHeader()) + "\n" +
                                 PassFile::CsvRecord(Sample()) + "\n");
}

TEST(PassFile, NamesThatCannotBeWrittenAndAFullDiskAreRefusedWithTheReason) {
    PassFile file;
    std::string error;
    EXPECT_FALSE(file.Open(ScratchDir() + "/no-such-folder/p.csv", error));
    EXPECT_EQ(error, "cannot write passes to '" + ScratchDir() +
                         "/no-such-folder/p.csv': No such file or directory");
    EXPECT_FALSE(file.Open(ScratchDir() + "/p.txt", error));
    EXPECT_NE(error.find("must end in .csv"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(ScratchDir() + "/p.txt"));

    // /dev/full takes the open and refuses every write; the link gives it
    // an extension.
    const std::string link = ScratchDir() + "/full.jsonl";
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/dev/full", link);
    PassFile full;
    ASSERT_TRUE(full.Open(link, error)) << error;
    EXPECT_FALSE(full.Write(Sample(), error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_FALSE(full.Write(Sample(), error));
}

// Writes `text` as the whole content of `path`.
void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(PassFile, ARestartAppendsAndCutsOffTheLineAKilledReaderLeftUnfinished) {
    const std::string header = std::string(PassFile::CsvHeader()) + "\n";
    const std::string record = PassFile::CsvRecord(Sample()) + "\n";
    const std::string csv = ScratchDir() + "/restart.csv";
    const std::string jsonl = ScratchDir() + "/restart.jsonl";
    std::string error;

    // An earlier run's passes stay, and the header is not written again.
    WriteText(csv, header + record);
    {
        PassFile file;
        ASSERT_TRUE(file.Open(csv, error)) << error;
        ASSERT_TRUE(file.Write(Sample(), error)) << error;
    }
    EXPECT_EQ(ReadFile(csv), header + record + record);

    // A record cut short by kill -9 or a full disk goes; the whole ones stay.
    const std::string json = PassFile::JsonRecord(Sample()) + "\n";
    WriteText(jsonl, json + json.substr(0, 40));
    {
        PassFile file;
        ASSERT_TRUE(file.Open(jsonl, error)) << error;
        EXPECT_EQ(ReadFile(jsonl), json);
        ASSERT_TRUE(file.Write(Sample(), error)) << error;
    }
    EXPECT_EQ(ReadFile(jsonl), json + json);

    // Nothing whole at all: the file starts afresh, with its header.
    WriteText(csv, "file,num");
    {
        PassFile file;
        ASSERT_TRUE(file.Open(csv, error)) << error;
    }
    EXPECT_EQ(ReadFile(csv), header);
}

TEST(PassFile, ARecordTheDiskHasNoRoomForLeavesNoPartOfItBehind) {
    const std::string path = ScratchDir() + "/no-room.jsonl";
    std::filesystem::remove(path);
    const std::string record = PassFile::JsonRecord(Sample()) + "\n";
    PassFile file;
    std::string error;
    ASSERT_TRUE(file.Open(path, error)) << error;
    ASSERT_TRUE(file.Write(Sample(), error)) << error;
    // A file size limit a little past the first record stands in for a full
    // disk: the second record's write stops part way (EFBIG).
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = record.size() + 50;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool wrote = file.Write(Sample(), error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(wrote);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), record);
    EXPECT_FALSE(file.Write(Sample(), error));
    EXPECT_EQ(ReadFile(path), record);
}

TEST(PassSummary, ListsEachPassAndNothingWithoutOne) {
    EXPECT_EQ(PassSummary({}, false), "");
    CarriagePass still = Sample();
    still.direction = TravelDirection::None;
    still.checkDigit = false;
    still.scores.resize(1);
    EXPECT_EQ(PassSummary({Sample(), still}, false),
              "Carriage passes: 2\n"
              "  1. 52473063  frames 3-25, 0.080-0.960 s, confirmed in frame 7, read in 22 frames, "
              "best score 0.998 in frame 12, moving left, check digit holds\n"
              "  2. 52473063  frames 3-25, 0.080-0.960 s, confirmed in frame 7, read in 1 frame, "
              "best score 0.998 in frame 12, not moving, check digit fails\n");
    EXPECT_NE(PassSummary({Sample()}, true).find("52473063  yard/cam 1,\"east\".mp4  frames 3-25"),
              std::string::npos);
}

}  // namespace
}  // namespace kalvero

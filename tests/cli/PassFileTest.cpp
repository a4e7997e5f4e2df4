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
              "\"end_s\": 0.960, \"first_confirmed_frame\": 7, \"frames_read\": 22, "
              "\"frames\": [[3, 10], [12, 25]], \"best_score\": 0.998, \"best_frame\": 12, "
              "\"direction\": \"left\"}");
    // The file name's comma and quotes are quoted the CSV way.
    EXPECT_EQ(PassFile::CsvRecord(p),
              "\"yard/cam 1,\"\"east\"\".mp4\",52473063,holds,3,25,0.080,0.960,7,22,3-10 12-25,"
              "0.998,12,left");
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

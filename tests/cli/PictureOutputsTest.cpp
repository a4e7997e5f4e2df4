// kalvero-read's pictures and pages: crops cut from the frame as decoded,
// crop names that keep inputs apart, the annotated video's codec, and the
// report and video written whole or not at all.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "ReaderProcess.h"
#include "cli/AtomicFile.h"
#include "cli/InputId.h"

namespace kalvero {
namespace {

using namespace testing_cli;
namespace fs = std::filesystem;

// Every file in `dir` whose name matches `pattern`.
std::vector<fs::path> FilesIn(const std::string& dir, const std::string& pattern = ".*") {
    std::vector<fs::path> found;
    std::error_code code;
    for (const auto& entry : fs::directory_iterator(dir, code)) {
        if (std::regex_match(entry.path().filename().string(), std::regex(pattern))) {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Leftovers of an atomic write: the temporary files beside the outputs.
std::vector<fs::path> Temporaries(const std::string& dir) { return FilesIn(dir, "\\..*\\.tmp-.*"); }

// A file size limit (in bytes) for the processes started while it lives, a
// full disk's stand-in; SIGXFSZ is ignored, so a write past it fails with
// EFBIG instead of killing the writer.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit tight = old_;
        tight.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &tight) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

void WriteText(const std::string& path, const std::string& text) {
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, text, error)) << error;
}

TEST(InputId, IsTheFnvHashOfTheAbsolutePathAndKeepsSameNamedFilesApart) {
    // The published FNV-1a test values: no hash that differs between
    // machines or library versions.
    EXPECT_EQ(FnvHash(""), 0x811c9dc5u);
    EXPECT_EQ(FnvHash("a"), 0xe40c292cu);
    EXPECT_EQ(InputId("/data/cams/east.mp4"), "f47967d4");
    EXPECT_EQ(InputId("/data/cams/../cams/./east.mp4"), "f47967d4");
    EXPECT_EQ(InputId("clip.avi"), InputId((fs::current_path() / "clip.avi").string()));
    EXPECT_NE(InputId("north/clip.avi"), InputId("south/clip.avi"));
}

TEST(AtomicFile, ANewFileReplacesTheOldWholeAndAFailedOneLeavesItAsItWas) {
    const std::string dir = ScratchDir() + "/atomic";
    fs::create_directories(dir);
    const std::string path = dir + "/page.html";
    WriteText(path, "old page");
    std::string error;
    EXPECT_TRUE(CanCreateBeside(path, error)) << error;
    EXPECT_EQ(ReadFile(path), "old page");
    EXPECT_FALSE(CanCreateBeside(dir + "/missing/page.html", error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(CanCreateBeside(dir, error));

    const std::string big(64 * 1024, 'x');
    {
        FileSizeLimit limit(16 * 1024);
        ASSERT_TRUE(limit.Ok());
        EXPECT_FALSE(WriteFileAtomically(path, big, error));
    }
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), "old page");
    EXPECT_TRUE(Temporaries(dir).empty());

    ASSERT_TRUE(WriteFileAtomically(path, big, error)) << error;
    EXPECT_EQ(ReadFile(path), big);
    EXPECT_TRUE(Temporaries(dir).empty());
}

// A still scene at 1280x720 with dark digits on a light grey panel: any
// strongly coloured pixel in a crop is an overlay.
std::string GreyScene() {
    SampleOptions sample = SmallSample(cv::Size(1280, 720), 10, 75);
    sample.lightDigits = false;
    return SampleFile("grey-scene.avi", sample);
}

// Pixels whose channels differ by more than 60: the box (yellow), the
// labels (magenta, purple, red), the zone's colours; never the grey scene.
int ColouredPixels(const cv::Mat& bgr) {
    int count = 0;
    for (int y = 0; y < bgr.rows; ++y) {
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b p = bgr.at<cv::Vec3b>(y, x);
            const int spread = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            count += spread > 60 ? 1 : 0;
        }
    }
    return count;
}

// The crop of a run with `zoom`, and the width of the box the reader gave
// in the crop's frame (scaled-frame pixels).
struct CropOfRun {
    cv::Mat crop;
    int boxWidth = 0;
    int boxHeight = 0;
};

CropOfRun RunWithZoom(const std::string& video, const std::string& zoom) {
    const std::string crops = ScratchDir() + "/zoom-" + zoom;
    const ProcessResult r = RunReaderProcess({video, "--zoom", zoom, "--json", "--crops", crops});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<fs::path> files = FilesIn(crops);
    EXPECT_EQ(files.size(), 1u) << zoom;
    CropOfRun run;
    if (files.size() != 1) {
        return run;
    }
    run.crop = cv::imread(files[0].string());
    std::smatch m;
    const std::string name = files[0].filename().string();
    EXPECT_TRUE(std::regex_match(name, m, std::regex("grey-scene-[0-9a-f]{8}_52473063_f([0-9]{4})\\.png"))) << name;
    const int frame = std::stoi(m[1]);
    const std::string line = Lines(r.out).at(frame - 1);
    EXPECT_TRUE(std::regex_search(line, m, std::regex("\"width\": ([0-9]+), \"height\": ([0-9]+)"))) << line;
    run.boxWidth = std::stoi(m[1]);
    run.boxHeight = std::stoi(m[2]);
    return run;
}

TEST(PictureOutputs, CropsAreCutFromTheDecodedFrameAtItsFullResolutionWithoutOverlays) {
    const std::string video = GreyScene();
    const CropOfRun full = RunWithZoom(video, "1");
    const CropOfRun third = RunWithZoom(video, "0.33");
    ASSERT_FALSE(full.crop.empty());
    ASSERT_FALSE(third.crop.empty());
    EXPECT_EQ(ColouredPixels(full.crop), 0);
    EXPECT_EQ(ColouredPixels(third.crop), 0);
    // At a third of the size the reader's box is a third as wide, and the
    // crop is still cut at the source's resolution: about three times the
    // box grown by half its height either side.
    EXPECT_LT(third.boxWidth * 2, full.boxWidth);
    EXPECT_GT(third.crop.cols, 2.7 * (third.boxWidth + third.boxHeight)) << third.crop.size();
    EXPECT_NEAR(third.crop.cols, full.crop.cols, full.crop.cols * 0.08);
    EXPECT_GT(third.crop.rows, 2.7 * (third.boxHeight * 1.5 - 1)) << third.crop.size();
}

TEST(PictureOutputs, SameNamedFilesInTwoFoldersKeepTheirOwnCrops) {
    SampleOptions a = SmallSample(cv::Size(320, 180), 8, 20);
    SampleOptions b = a;
    b.number = "58241837";
    const std::string dir = ScratchDir() + "/same-name";
    fs::create_directories(dir + "/north");
    fs::create_directories(dir + "/south");
    fs::copy_file(SampleFile("same-a.avi", a), dir + "/north/clip.avi", fs::copy_options::overwrite_existing);
    fs::copy_file(SampleFile("same-b.avi", b), dir + "/south/clip.avi", fs::copy_options::overwrite_existing);
    const std::string crops = dir + "/crops";
    const ProcessResult r = RunReaderProcess(
        {dir + "/north/clip.avi", dir + "/south/clip.avi", "--digit-height", "20", "--crops", crops});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<fs::path> files = FilesIn(crops);
    ASSERT_EQ(files.size(), 2u);
    const std::string north = "clip-" + InputId(dir + "/north/clip.avi") + "_52473063_f";
    const std::string south = "clip-" + InputId(dir + "/south/clip.avi") + "_58241837_f";
    int found = 0;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        found += name.rfind(north, 0) == 0 || name.rfind(south, 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(found, 2) << files[0] << " " << files[1];
}

// ffprobe's "codec,pix_fmt,frames" of the first video stream.
std::string Probe(const std::string& video) {
    const std::string out = ScratchDir() + "/probe.txt";
    const std::string command = "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                "stream=codec_name,pix_fmt,nb_read_frames -of csv=p=0 '" + video + "' > '" + out + "'";
    if (std::system(command.c_str()) != 0) {
        return "ffprobe failed";
    }
    std::string text = ReadFile(out);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

TEST(PictureOutputs, TheAnnotatedVideoIsH264ThatBrowsersPlayOrMotionJpegInAvi) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    // 320x180 at --zoom 0.33 is 105x59: odd sides, which 4:2:0 cannot take.
    const std::string video = SampleFile("annotate-odd.avi", SmallSample(cv::Size(320, 180), 12, 20));
    const struct {
        const char* name;
        const char* zoom;
        const char* probe;
    } cases[] = {
        {"plain.mp4", "1", "h264,yuv420p,12"},
        {"odd.mp4", "0.33", "h264,yuv420p,12"},
        {"plain.mkv", "1", "h264,yuv420p,12"},
        {"plain.avi", "1", "mjpeg,yuvj420p,12"},
    };
    for (const auto& c : cases) {
        const std::string out = ScratchDir() + "/annotate-" + c.name;
        const ProcessResult r = RunReaderProcess({video, "--zoom", c.zoom, "--annotate", out});
        ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
        EXPECT_EQ(Probe(out), c.probe) << c.name;
    }
    EXPECT_TRUE(Temporaries(ScratchDir()).empty());
}

TEST(PictureOutputs, AReportOrVideoTheDiskHasNoRoomForIsStatus4AndLeavesNoPartBehind) {
    const std::string video = SampleFile("no-room.avi", SmallSample(cv::Size(640, 360), 40, 29));
    const std::string dir = ScratchDir() + "/no-room";
    fs::create_directories(dir);
    const std::string annotated = dir + "/a.mp4";
    const std::string report = dir + "/r.html";
    WriteText(annotated, "the previous video");

    ProcessResult videoRun, reportRun;
    {
        FileSizeLimit limit(24 * 1024);
        ASSERT_TRUE(limit.Ok());
        videoRun = RunReaderProcess({video, "--digit-height", "29", "--annotate", annotated});
        reportRun = RunReaderProcess({video, "--digit-height", "29", "--report", report});
    }
    EXPECT_EQ(videoRun.status, 4) << videoRun.err;
    EXPECT_NE(videoRun.err.find("cannot write the annotated video"), std::string::npos) << videoRun.err;
    EXPECT_EQ(ReadFile(annotated), "the previous video");
    EXPECT_EQ(reportRun.status, 4) << reportRun.err;
    EXPECT_NE(reportRun.err.find("cannot write the report"), std::string::npos) << reportRun.err;
    // The page written before the pass came (small enough) is still whole.
    const std::string page = ReadFile(report);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(page.substr(page.size() - 15), "</body></html>\n");
    EXPECT_TRUE(Temporaries(dir).empty());

    // With room, the same runs replace both.
    ASSERT_EQ(RunReaderProcess({video, "--digit-height", "29", "--annotate", annotated}).status, 0);
    EXPECT_NE(ReadFile(annotated), "the previous video");
    EXPECT_EQ(Probe(annotated).rfind("h264,yuv420p,", 0), 0u);
}

}  // namespace
}  // namespace kalvero

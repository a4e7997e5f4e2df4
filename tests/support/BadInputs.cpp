#include "BadInputs.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "VideoFixtures.h"
#include "tools/NumberPainter.h"

namespace kalvero::testing {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian RIFF writing.
class Riff {
public:
    Bytes bytes;

    void FourCc(const char* code) { bytes.insert(bytes.end(), code, code + 4); }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U16(std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    // Starts a chunk (or a LIST when `listType` is set); returns the place
    // of its size field for End.
    std::size_t Begin(const char* code, const char* listType = nullptr) {
        FourCc(code);
        const std::size_t sizeAt = bytes.size();
        U32(0);
        if (listType != nullptr) FourCc(listType);
        return sizeAt;
    }
    void End(std::size_t sizeAt) {
        const std::uint32_t size = static_cast<std::uint32_t>(bytes.size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i) bytes[sizeAt + i] = static_cast<std::uint8_t>(size >> (8 * i));
        if (bytes.size() % 2 != 0) bytes.push_back(0);  // chunks are word-aligned
    }
};

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.good();
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

cv::Mat NumberPanel(cv::Size size, int digitHeight) {
    PanelStyle style;
    style.number = "52473063";
    style.digitHeight = digitHeight;
    style.contrast = 130.0;
    style.textureAmplitude = 6.0;
    return MakeNumberPanel(size, cv::Point(8, (size.height - digitHeight) / 2), style);
}

std::vector<cv::Mat> Repeat(const cv::Mat& frame, int count) {
    std::vector<cv::Mat> frames;
    for (int i = 0; i < count; ++i) {
        cv::Mat copy = frame.clone();
        // A mark that moves, so that frames differ.
        if (copy.cols > 4 && copy.rows > 4) {
            cv::rectangle(copy, cv::Rect(i % (copy.cols - 2), 0, 2, 2), cv::Scalar::all(255), cv::FILLED);
        }
        frames.push_back(copy);
    }
    return frames;
}

}  // namespace

bool WriteMjpegAvi(const std::string& path, const std::vector<cv::Mat>& frames, int framesPerSecond) {
    if (frames.empty() || framesPerSecond <= 0) return false;
    std::vector<Bytes> jpegs;
    std::uint32_t largest = 0;
    for (const cv::Mat& frame : frames) {
        Bytes jpeg;
        if (!cv::imencode(".jpg", frame, jpeg, {cv::IMWRITE_JPEG_QUALITY, 95})) return false;
        largest = std::max(largest, static_cast<std::uint32_t>(jpeg.size()));
        jpegs.push_back(std::move(jpeg));
    }
    const auto width = static_cast<std::uint32_t>(frames.front().cols);
    const auto height = static_cast<std::uint32_t>(frames.front().rows);
    const auto count = static_cast<std::uint32_t>(frames.size());

    Riff riff;
    const std::size_t file = riff.Begin("RIFF", "AVI ");
    const std::size_t hdrl = riff.Begin("LIST", "hdrl");
    const std::size_t avih = riff.Begin("avih");
    riff.U32(1000000u / static_cast<std::uint32_t>(framesPerSecond));
    riff.U32(largest * static_cast<std::uint32_t>(framesPerSecond));
    riff.U32(0);
    riff.U32(0x10);  // has an index
    riff.U32(count);
    riff.U32(0);
    riff.U32(1);  // one stream
    riff.U32(largest);
    riff.U32(width);
    riff.U32(height);
    for (int i = 0; i < 4; ++i) riff.U32(0);
    riff.End(avih);
    const std::size_t strl = riff.Begin("LIST", "strl");
    const std::size_t strh = riff.Begin("strh");
    riff.FourCc("vids");
    riff.FourCc("MJPG");
    riff.U32(0);
    riff.U16(0);
    riff.U16(0);
    riff.U32(0);
    riff.U32(1);
    riff.U32(static_cast<std::uint32_t>(framesPerSecond));
    riff.U32(0);
    riff.U32(count);
    riff.U32(largest);
    riff.U32(0xFFFFFFFFu);
    riff.U32(0);
    riff.U16(0);
    riff.U16(0);
    riff.U16(static_cast<std::uint16_t>(width));
    riff.U16(static_cast<std::uint16_t>(height));
    riff.End(strh);
    const std::size_t strf = riff.Begin("strf");
    riff.U32(40);
    riff.U32(width);
    riff.U32(height);
    riff.U16(1);
    riff.U16(24);
    riff.FourCc("MJPG");
    riff.U32(width * height * 3);
    for (int i = 0; i < 4; ++i) riff.U32(0);
    riff.End(strf);
    riff.End(strl);
    riff.End(hdrl);

    const std::size_t movi = riff.Begin("LIST", "movi");
    const std::size_t moviStart = movi + 4;  // index offsets count from the "movi" code
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    for (const Bytes& jpeg : jpegs) {
        index.emplace_back(static_cast<std::uint32_t>(riff.bytes.size() - moviStart),
                           static_cast<std::uint32_t>(jpeg.size()));
        const std::size_t chunk = riff.Begin("00dc");
        riff.bytes.insert(riff.bytes.end(), jpeg.begin(), jpeg.end());
        riff.End(chunk);
    }
    riff.End(movi);
    const std::size_t idx1 = riff.Begin("idx1");
    for (const auto& [offset, size] : index) {
        riff.FourCc("00dc");
        riff.U32(0x10);  // key frame
        riff.U32(offset);
        riff.U32(size);
    }
    riff.End(idx1);
    riff.End(file);
    return WriteBytes(path, riff.bytes);
}

std::vector<BadInput> WriteBadInputs(const std::string& folder) {
    std::vector<BadInput> inputs;
    auto add = [&](const std::string& name, BadInputOutcome outcome, int frames = 0) -> const std::string& {
        inputs.push_back(BadInput{name, folder + "/" + name, outcome, frames});
        return inputs.back().path;
    };

    // Sources that the damaged files are cut from: a Motion-JPEG AVI as the
    // program's own tests write them, and an MPEG-4 MP4 (index at its end).
    const int sourceFrames = 12;
    const std::vector<cv::Mat> source = Repeat(NumberPanel(cv::Size(160, 90), 16), sourceFrames);
    const std::string avi = folder + "/source.avi";
    WriteVideo(avi, source);
    const std::string mp4 = folder + "/source.mp4";
    {
        cv::VideoWriter writer(mp4, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('m', 'p', '4', 'v'), 25.0,
                               source.front().size(), true);
        for (const cv::Mat& frame : source) writer.write(frame);
    }
    const Bytes aviBytes = ReadBytes(avi);
    const Bytes mp4Bytes = ReadBytes(mp4);

    WriteBytes(add("empty.avi", BadInputOutcome::Refused), {});

    // Everything before the first frame chunk.
    const char frameChunk[] = {'0', '0', 'd', 'c'};
    const auto firstFrame = std::search(aviBytes.begin(), aviBytes.end(), std::begin(frameChunk), std::end(frameChunk));
    WriteBytes(add("header_only.avi", BadInputOutcome::Refused), Bytes(aviBytes.begin(), firstFrame));

    for (int cut = 1; cut <= 10; ++cut) {
        const std::string tag = std::to_string(cut * 100 / 11);
        const std::size_t aviCut = aviBytes.size() * static_cast<std::size_t>(cut) / 11;
        WriteBytes(add("truncated_" + tag + "pct.avi", BadInputOutcome::Either),
                   Bytes(aviBytes.begin(), aviBytes.begin() + static_cast<std::ptrdiff_t>(aviCut)));
        const std::size_t mp4Cut = mp4Bytes.size() * static_cast<std::size_t>(cut) / 11;
        WriteBytes(add("truncated_" + tag + "pct.mp4", BadInputOutcome::Either),
                   Bytes(mp4Bytes.begin(), mp4Bytes.begin() + static_cast<std::ptrdiff_t>(mp4Cut)));
    }

    // About one byte in a hundred replaced, anywhere in the file.
    for (int seed = 1; seed <= 5; ++seed) {
        Bytes flipped = aviBytes;
        cv::RNG rng(static_cast<std::uint64_t>(seed) * 7919u);
        for (std::size_t n = 0; n < flipped.size() / 100; ++n) {
            const auto at = static_cast<std::size_t>(rng.uniform(0, static_cast<int>(flipped.size())));
            flipped[at] ^= static_cast<std::uint8_t>(rng.uniform(1, 256));
        }
        WriteBytes(add("flipped_" + std::to_string(seed) + ".avi", BadInputOutcome::Either), flipped);
    }

    const cv::Mat still = NumberPanel(cv::Size(170, 40), 20);
    cv::imwrite(add("picture_named.avi", BadInputOutcome::Either) + ".png", still);
    std::rename((inputs.back().path + ".png").c_str(), inputs.back().path.c_str());
    {
        std::ofstream text(add("text_named.mp4", BadInputOutcome::Refused));
        text << "Kalvero test input: this is plain text, not a video.\n";
    }

    WriteVideo(add("one_pixel.avi", BadInputOutcome::Played, 6),
               std::vector<cv::Mat>(6, cv::Mat(1, 1, CV_8UC3, cv::Scalar(40, 90, 200))));
    WriteVideo(add("sixteen_pixels.avi", BadInputOutcome::Played, 6), Repeat(NumberPanel(cv::Size(16, 16), 10), 6));

    std::vector<cv::Mat> grey;
    for (const cv::Mat& frame : Repeat(NumberPanel(cv::Size(160, 90), 16), 6)) {
        cv::Mat one;
        cv::cvtColor(frame, one, cv::COLOR_BGR2GRAY);
        grey.push_back(one);
    }
    WriteMjpegAvi(add("grey_frames.avi", BadInputOutcome::Played, 6), grey);

    std::vector<cv::Mat> changing = Repeat(NumberPanel(cv::Size(160, 90), 16), 4);
    for (const cv::Mat& frame : Repeat(NumberPanel(cv::Size(96, 200), 20), 4)) changing.push_back(frame);
    for (const cv::Mat& frame : Repeat(NumberPanel(cv::Size(24, 12), 10), 4)) changing.push_back(frame);
    WriteMjpegAvi(add("size_changes.avi", BadInputOutcome::Played, 12), changing);

    cv::Mat wide;
    still.convertTo(wide, CV_16U, 257.0);
    cv::imwrite(add("sixteen_bit.png", BadInputOutcome::Played, 1), wide);
    cv::Mat wideGrey;
    cv::cvtColor(wide, wideGrey, cv::COLOR_BGR2GRAY);
    cv::imwrite(add("sixteen_bit_grey.png", BadInputOutcome::Played, 1), wideGrey);
    cv::Mat alpha;
    cv::cvtColor(still, alpha, cv::COLOR_BGR2BGRA);
    for (int y = 0; y < alpha.rows; ++y) {
        for (int x = 0; x < alpha.cols; ++x) {
            alpha.at<cv::Vec4b>(y, x)[3] = static_cast<std::uint8_t>(x * 255 / (alpha.cols - 1));
        }
    }
    cv::imwrite(add("alpha.png", BadInputOutcome::Played, 1), alpha);

    // Still pictures cut off, and one whose header claims a height beyond
    // what OpenCV's decoders take (they refuse it by throwing).
    for (const char* extension : {".png", ".jpg"}) {
        Bytes encoded;
        cv::imencode(extension, still, encoded);
        encoded.resize(encoded.size() * 6 / 10);
        WriteBytes(add(std::string("truncated") + extension, BadInputOutcome::Either), encoded);
    }
    Bytes bitmap;
    cv::Mat greyStill;
    cv::cvtColor(still, greyStill, cv::COLOR_BGR2GRAY);
    cv::imencode(".bmp", greyStill, bitmap);
    const std::uint32_t height = 0x01000014u;  // 16,777,236 rows
    for (int i = 0; i < 4; ++i) bitmap[22 + i] = static_cast<std::uint8_t>(height >> (8 * i));
    WriteBytes(add("huge_height.bmp", BadInputOutcome::Refused), bitmap);
    return inputs;
}

}  // namespace kalvero::testing

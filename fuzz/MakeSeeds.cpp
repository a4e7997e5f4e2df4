// kalvero-fuzz-seeds FOLDER: writes the seed inputs of the fuzz harnesses
// into FOLDER/<harness>/ (the committed corpus in fuzz/corpus was made with
// it). The seeds are valid inputs that reach deep into each harness: images
// that hold a readable number, vote sequences that confirm, argument lists
// of every option, and small image files of each format the reader takes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/NumberPainter.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void Write(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder);
    std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

cv::Mat Panel(cv::Size size, int digitHeight, bool lightDigits, const std::string& number) {
    kalvero::PanelStyle panel;
    panel.number = number;
    panel.digitHeight = digitHeight;
    panel.lightDigits = lightDigits;
    panel.contrast = 130.0;
    panel.textureAmplitude = 6.0;
    return kalvero::MakeNumberPanel(size, cv::Point(6, (size.height - digitHeight) / 2), panel);
}

// RecognizeFrame input: width - 1, height - 1, flags, digit height - 16,
// pixels. Flag 8 (large image) is added when a side is above 64.
Bytes FrameInput(const cv::Mat& image, std::uint8_t flags, int digitHeight) {
    if (image.cols > 64 || image.rows > 64) flags |= 8;
    Bytes bytes = {static_cast<std::uint8_t>(image.cols - 1), static_cast<std::uint8_t>(image.rows - 1), flags,
                   static_cast<std::uint8_t>(digitHeight - 16)};
    for (int y = 0; y < image.rows; ++y) {
        const std::uint8_t* row = image.ptr<std::uint8_t>(y);
        bytes.insert(bytes.end(), row, row + image.cols * image.elemSize());
    }
    return bytes;
}

cv::Mat Grey(const cv::Mat& bgr) {
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

void RecognizeFrameSeeds(const fs::path& folder) {
    Write(folder, "grey_light_h20", FrameInput(Grey(Panel({170, 56}, 20, true, "52473063")), 0, 20));
    Write(folder, "bgr_dark_h16_view_two_threads",
          FrameInput(Panel({130, 40}, 16, false, "52473063"), 1 | 4 | 16, 16));
    Write(folder, "grey_any_length_h18", FrameInput(Grey(Panel({150, 40}, 18, true, "52473063")), 2, 18));
    Write(folder, "small_h16", FrameInput(Grey(Panel({64, 40}, 16, true, "5247")), 2 | 4, 16));
    Write(folder, "too_small_for_h99", FrameInput(Grey(Panel({64, 20}, 16, true, "1234")), 0, 99));
    Write(folder, "tiny", Bytes{7, 7, 1, 0, 0, 255, 0, 255, 17, 200});
    // The same through the learned engine (flag 32).
    Write(folder, "learned_grey_light_h20", FrameInput(Grey(Panel({170, 56}, 20, true, "52473063")), 32, 20));
    Write(folder, "learned_bgr_dark_h16_view",
          FrameInput(Panel({130, 40}, 16, false, "52473063"), 1 | 4 | 16 | 32, 16));
    Write(folder, "learned_tiny", Bytes{7, 7, 1 | 32, 0, 0, 255, 0, 255, 17, 200});
}

// Vote input: depth and threshold words, then votes (length + 4,
// capacity + 4, text).
void AddVote(Bytes& bytes, const std::string& text, int capacity = 20) {
    bytes.push_back(static_cast<std::uint8_t>(text.size() + 4));
    bytes.push_back(static_cast<std::uint8_t>(capacity + 4));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

Bytes VoteHeader(std::uint16_t depth, std::uint16_t threshold) {
    return {static_cast<std::uint8_t>(depth + 8), static_cast<std::uint8_t>((depth + 8) >> 8),
            static_cast<std::uint8_t>(threshold + 8), static_cast<std::uint8_t>((threshold + 8) >> 8)};
}

void VoteBufferSeeds(const fs::path& folder) {
    Bytes aba = VoteHeader(5, 2);
    for (const char* text : {"A", "B", "A", "", "B", "B"}) AddVote(aba, text);
    Write(folder, "depth5_threshold2", aba);

    Bytes ring = VoteHeader(5, 1);
    for (const char* text : {"", "", "", "X", "Y", "Y", "1234567890123456789", "12345678901234567890"})
        AddVote(ring, text);
    AddVote(ring, "52473063", 8);  // confirmed text too long for the output
    AddVote(ring, "52473063", 7);  // capacity refused
    Write(folder, "depth5_threshold1_edges", ring);

    Bytes deep = VoteHeader(500, 20);
    for (int i = 0; i < 64; ++i) AddVote(deep, i % 3 == 0 ? "52473063" : std::to_string(i % 7));
    Write(folder, "depth500", deep);

    Write(folder, "refused_depth", VoteHeader(4, 1));
}

Bytes Arguments(const std::vector<std::string>& args) {
    Bytes bytes;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) bytes.push_back(0);
        bytes.insert(bytes.end(), args[i].begin(), args[i].end());
    }
    return bytes;
}

void ReaderOptionsSeeds(const fs::path& folder) {
    Write(folder, "all_options",
          Arguments({"video.avi", "--digit-height", "20", "--zone", "0,110,640,80", "--zoom", "0.5", "--depth",
                     "30", "--threshold", "5", "--json", "--explain", "--verbose"}));
    Write(folder, "inline_values", Arguments({"--zoom=1.0", "--sign=10,20,30,40", "--", "-file.png"}));
    Write(folder, "help_version", Arguments({"--help", "--version", "-h"}));
    Write(folder, "missing_value", Arguments({"a.mp4", "--depth"}));
    Write(folder, "bad_numbers", Arguments({"a.mp4", "--threshold", "2147483648", "--zone", "1,2,3"}));
}

Bytes Encode(const cv::Mat& image, const std::string& extension, std::uint8_t flags, int digitHeight,
             int zoomTenths) {
    std::vector<std::uint8_t> file;
    cv::imencode("." + extension, image, file);
    Bytes bytes = {flags, static_cast<std::uint8_t>(digitHeight - 16), static_cast<std::uint8_t>(zoomTenths - 3)};
    bytes.insert(bytes.end(), file.begin(), file.end());
    return bytes;
}

void StillImageSeeds(const fs::path& folder) {
    // Flags: extension index in bits 0-2 (0 png, 1 jpg, 3 bmp, 4 tif),
    // 8 --json, 16 --explain, 32 --verbose.
    const cv::Mat colour = Panel({170, 56}, 20, true, "52473063");
    Write(folder, "png_colour", Encode(colour, "png", 0, 20, 10));
    Write(folder, "png_grey_json_explain", Encode(Grey(colour), "png", 8 | 16, 20, 10));
    cv::Mat wide;
    colour.convertTo(wide, CV_16U, 257.0);
    Write(folder, "png_16bit", Encode(wide, "png", 32, 20, 10));
    cv::Mat alpha;
    cv::cvtColor(colour, alpha, cv::COLOR_BGR2BGRA);
    Write(folder, "png_alpha", Encode(alpha, "png", 0, 20, 10));
    Write(folder, "jpg_dark", Encode(Panel({150, 40}, 16, false, "52473063"), "jpg", 1 | 8, 16, 10));
    Write(folder, "bmp_small", Encode(Grey(Panel({40, 20}, 16, true, "52")), "bmp", 3, 16, 5));
    Write(folder, "tif_zoom", Encode(Panel({150, 40}, 18, true, "52473063"), "tif", 4 | 16, 18, 10));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kalvero-fuzz-seeds FOLDER\n";
        return 2;
    }
    const fs::path root(argv[1]);
    RecognizeFrameSeeds(root / "recognize_frame");
    VoteBufferSeeds(root / "vote_buffer");
    ReaderOptionsSeeds(root / "reader_options");
    StillImageSeeds(root / "still_image");
    return 0;
}

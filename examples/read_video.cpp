// Reads the frames of a video with its own cv::VideoCapture and hands each
// to libkalvero, printing the number of every carriage pass as it ends.
//
//   c++ -std=c++17 read_video.cpp $(pkg-config --cflags --libs kalvero opencv4) -o read_video
//   ./read_video train.mkv
#include <cstdio>
#include <memory>

#include <opencv2/videoio.hpp>

#include <kalvero/kalvero.h>

namespace {

void PrintPasses(const kalvero_frame* frame) {
    for (int i = 0; i < kalvero_frame_pass_count(frame); ++i) {
        std::printf("%s\n", kalvero_pass_number(kalvero_frame_pass(frame, i)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s VIDEO\n", argv[0]);
        return 2;
    }
    cv::VideoCapture capture(argv[1]);
    if (!capture.isOpened()) {
        std::fprintf(stderr, "read_video: cannot open %s\n", argv[1]);
        return 1;
    }
    std::unique_ptr<kalvero_reader, decltype(&kalvero_reader_free)> reader(kalvero_reader_new(nullptr),
                                                                           &kalvero_reader_free);
    if (!reader) {
        std::fprintf(stderr, "read_video: %s\n", kalvero_last_error());
        return 1;
    }
    cv::Mat frame;
    while (capture.read(frame)) {
        const kalvero_image image{frame.data, frame.cols, frame.rows, static_cast<int>(frame.step), KALVERO_BGR8};
        kalvero_frame* result = nullptr;
        if (kalvero_read_frame(reader.get(), &image, capture.get(cv::CAP_PROP_POS_MSEC) / 1000.0, &result) !=
            KALVERO_OK) {
            std::fprintf(stderr, "read_video: %s\n", kalvero_last_error());
            return 1;
        }
        PrintPasses(result);
        kalvero_frame_free(result);
    }
    kalvero_frame* rest = nullptr;
    if (kalvero_reader_finish(reader.get(), &rest) != KALVERO_OK) {
        std::fprintf(stderr, "read_video: %s\n", kalvero_last_error());
        return 1;
    }
    PrintPasses(rest);
    kalvero_frame_free(rest);
    return 0;
}

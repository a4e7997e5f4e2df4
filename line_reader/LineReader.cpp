#include "line_reader/LineReader.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>

#include "line_reader/EmbeddedLineModel.h"
#include "line_reader/LineCrop.h"

namespace kalvero {

namespace {

// Classes of the line model's output (blank and ten digits), fixed when it
// was trained; a model of any other shape is refused on loading.
constexpr int kClassCount = 11;
// Fewest output columns that can carry eight digits, each repeated digit
// needing a blank column between its two runs.
constexpr int kMinColumns = 16;

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string LoadError(const std::string& name, const std::string& reason) {
    return "line reader model " + name + " cannot be loaded: " + OneLine(reason);
}

// Reads the whole file; false with a reason when it is not a readable
// regular file.
bool ReadModelFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        reason = "no such file";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = "the file cannot be opened";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        reason = "the file cannot be read";
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<LineReader> LineReader::Create(std::string& error) {
    const char* path = std::getenv(kLineModelVariable);
    if (path != nullptr && path[0] != '\0') {
        return Create(std::string(path), error);
    }
    if (EmbeddedLineModelSize() == 0) {
        error = LoadError("(built in)", "the library was built without line_reader/model/line_reader.onnx");
        return nullptr;
    }
    return CreateFromBuffer(EmbeddedLineModelData(), EmbeddedLineModelSize(), "(built in)", error);
}

std::unique_ptr<LineReader> LineReader::Create(const std::string& modelPath, std::string& error) {
    std::vector<unsigned char> bytes;
    std::string reason;
    if (!ReadModelFile(modelPath, bytes, reason)) {
        error = LoadError(modelPath, reason);
        return nullptr;
    }
    return CreateFromBuffer(bytes.data(), bytes.size(), modelPath, error);
}

std::unique_ptr<LineReader> LineReader::CreateFromBuffer(const unsigned char* data, std::size_t size,
                                                         const std::string& name, std::string& error) {
    if (data == nullptr || size == 0) {
        error = LoadError(name, "the model is empty");
        return nullptr;
    }
    try {
        cv::dnn::Net net = cv::dnn::readNetFromONNX(reinterpret_cast<const char*>(data), size);
        if (net.empty()) {
            error = LoadError(name, "OpenCV found no network in it");
            return nullptr;
        }
        net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
        std::unique_ptr<LineReader> reader(new LineReader(std::move(net)));

        // One forward of a plain grey crop proves that the graph runs and
        // gives the shape the decoder expects.
        const cv::Mat blank(kLineInputHeight, kLineInputWidth, CV_8UC1, cv::Scalar(128));
        reader->net_.setInput(cv::dnn::blobFromImage(blank, 1.0 / 255.0));
        const cv::Mat out = reader->net_.forward();
        if (out.dims != 4 || out.size[0] != 1 || out.size[1] != kClassCount || out.size[2] != 1 ||
            out.size[3] < kMinColumns || out.type() != CV_32F) {
            std::string shape;
            for (int i = 0; i < out.dims; ++i) shape += (i ? " x " : "") + std::to_string(out.size[i]);
            error = LoadError(name, "its output is " + (shape.empty() ? std::string("empty") : shape) +
                                        ", not 1 x 11 x 1 x T with T >= 16");
            return nullptr;
        }
        reader->columns_ = out.size[3];
        return reader;
    } catch (const cv::Exception& e) {
        error = LoadError(name, e.err.empty() ? e.what() : e.err);
        return nullptr;
    } catch (const std::exception& e) {
        error = LoadError(name, e.what());
        return nullptr;
    }
}

std::vector<LineLogits> LineReader::Run(const std::vector<cv::Mat>& crops) {
    if (crops.empty()) {
        return {};
    }
    for (const cv::Mat& crop : crops) {
        if (crop.type() != CV_8UC1 || crop.rows != kLineInputHeight || crop.cols != kLineInputWidth) {
            throw std::invalid_argument("LineReader::Run: a crop is not 8-bit grey 160 x 32");
        }
    }
    net_.setInput(cv::dnn::blobFromImages(crops, 1.0 / 255.0));
    const cv::Mat out = net_.forward();
    const int n = static_cast<int>(crops.size());
    if (out.dims != 4 || out.size[0] != n || out.size[1] != kClassCount || out.size[3] != columns_) {
        throw std::runtime_error("LineReader::Run: the model gave an output of an unexpected shape");
    }
    std::vector<LineLogits> logits;
    logits.reserve(crops.size());
    for (int i = 0; i < n; ++i) {
        // Sample i is a contiguous kClassCount x columns block.
        const float* block = out.ptr<float>(i);
        logits.push_back(cv::Mat(kClassCount, columns_, CV_32F, const_cast<float*>(block)).clone());
    }
    return logits;
}

}  // namespace kalvero

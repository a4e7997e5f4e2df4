#pragma once
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

namespace kalvero {

// Name of the environment variable that, when set and not empty, names a
// model file the default Create loads instead of the embedded model.
constexpr const char* kLineModelVariable = "KALVERO_LINE_MODEL";

// Scores of one line crop: one row per class (class 0 is the CTC blank,
// class k + 1 the digit k), one column per position along the line, raw
// logits (not normalised), CV_32F.
using LineLogits = cv::Mat;

// The learned line model, ready to read crops made by NormaliseLine.
//
// The model (ONNX) takes "input", N x 1 x 32 x 160 float32, the crop's
// pixels divided by 255, and gives "logits", N x 11 x 1 x T raw class
// scores per column (T = 40 for the built-in model).
//
// One reader per thread: the network inside keeps per-call buffers, so two
// threads must never run the same reader at once. Distinct readers are
// independent.
class LineReader {
public:
    // The model embedded at build time, or the file named by
    // KALVERO_LINE_MODEL when that variable is set and not empty. Null when
    // the model cannot be loaded, with `error` set to one line:
    // "line reader model <name> cannot be loaded: <reason>".
    static std::unique_ptr<LineReader> Create(std::string& error);
    // The model in the file at `modelPath`; null and `error` as above.
    static std::unique_ptr<LineReader> Create(const std::string& modelPath, std::string& error);
    // The model in a memory buffer; `name` appears in the error message.
    static std::unique_ptr<LineReader> CreateFromBuffer(const unsigned char* data, std::size_t size,
                                                        const std::string& name, std::string& error);

    // The logits of every crop, in order, from one forward pass. Each crop
    // must be an 8-bit grey image of kLineInputWidth x kLineInputHeight
    // (NormaliseLine's output); an empty list gives an empty result. Throws
    // std::invalid_argument for a crop of another size or type.
    std::vector<LineLogits> Run(const std::vector<cv::Mat>& crops);

    // Number of columns of the model's output.
    int Columns() const { return columns_; }

private:
    explicit LineReader(cv::dnn::Net net) : net_(std::move(net)) {}

    cv::dnn::Net net_;
    int columns_ = 0;
};

}  // namespace kalvero

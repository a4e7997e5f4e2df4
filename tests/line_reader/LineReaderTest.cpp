#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include <opencv2/core.hpp>

#include "line_reader/EmbeddedLineModel.h"
#include "line_reader/LineCrop.h"
#include "line_reader/LineReader.h"

namespace kalvero {
namespace {

// Sets an environment variable for the life of the object, then puts the
// old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string TempPath(const std::string& name) {
    return std::string(KALVERO_BUILD_DIR) + "/line_reader_test_" + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Protocol-buffer pieces for a hand-made ONNX model.
std::string Varint(std::uint64_t value) {
    std::string bytes;
    while (value >= 0x80) {
        bytes.push_back(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    bytes.push_back(static_cast<char>(value));
    return bytes;
}
std::string IntField(int number, std::uint64_t value) { return Varint(static_cast<std::uint64_t>(number) << 3) + Varint(value); }
std::string BytesField(int number, const std::string& value) {
    return Varint((static_cast<std::uint64_t>(number) << 3) | 2) + Varint(value.size()) + value;
}
// A float tensor value of shape 1 x 1 x 32 x 160 named `name`.
std::string CropValueInfo(const std::string& name) {
    std::string shape;
    for (int d : {1, 1, 32, 160}) shape += BytesField(1, IntField(1, static_cast<std::uint64_t>(d)));
    const std::string tensor = IntField(1, 1) + BytesField(2, shape);
    return BytesField(1, name) + BytesField(2, BytesField(1, tensor));
}

// A valid ONNX model that loads and runs but hands its input back
// unchanged: 1 x 1 x 32 x 160 instead of N x 11 x 1 x T.
std::string IdentityModel() {
    const std::string node = BytesField(1, "input") + BytesField(2, "logits") + BytesField(3, "same") +
                             BytesField(4, "Identity");
    const std::string graph = BytesField(1, node) + BytesField(2, "identity") +
                              BytesField(11, CropValueInfo("input")) + BytesField(12, CropValueInfo("logits"));
    return IntField(1, 7) + BytesField(8, IntField(2, 11)) + BytesField(7, graph);
}

void ExpectLoadError(const std::string& error, const std::string& name, const std::string& reasonPart) {
    const std::string head = "line reader model " + name + " cannot be loaded: ";
    EXPECT_EQ(error.rfind(head, 0), 0u) << error;
    EXPECT_NE(error.find(reasonPart, head.size()), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST(LineReader, TheEmbeddedModelLoadsWithTheExpectedOutput) {
    ASSERT_GT(EmbeddedLineModelSize(), 0u) << "built without line_reader/model/line_reader.onnx";
    ScopedVariable noOverride(kLineModelVariable, "");
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_EQ(reader->Columns(), 40);
    const std::vector<LineLogits> logits =
        reader->Run({cv::Mat(kLineInputHeight, kLineInputWidth, CV_8UC1, cv::Scalar(90))});
    ASSERT_EQ(logits.size(), 1u);
    EXPECT_EQ(logits[0].rows, 11);
    EXPECT_EQ(logits[0].cols, 40);
    EXPECT_TRUE(reader->Run({}).empty());
}

TEST(LineReader, ABatchGivesWhatEachCropGivesAlone) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    std::vector<cv::Mat> crops;
    cv::RNG rng(5);
    for (int i = 0; i < 6; ++i) {
        cv::Mat crop(kLineInputHeight, kLineInputWidth, CV_8UC1);
        rng.fill(crop, cv::RNG::UNIFORM, 0, 256);
        crops.push_back(crop);
    }
    const std::vector<LineLogits> batch = reader->Run(crops);
    ASSERT_EQ(batch.size(), crops.size());
    for (std::size_t i = 0; i < crops.size(); ++i) {
        const std::vector<LineLogits> alone = reader->Run({crops[i]});
        ASSERT_EQ(alone.size(), 1u);
        EXPECT_LE(cv::norm(alone[0], batch[i], cv::NORM_INF), 1e-3) << "crop " << i;
    }
    // Different crops give different logits: the batch is not one crop repeated.
    EXPECT_GT(cv::norm(batch[0], batch[1], cv::NORM_INF), 1e-3);
}

TEST(LineReader, RefusesCropsOfAnotherSizeOrType) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    EXPECT_THROW(reader->Run({cv::Mat(32, 161, CV_8UC1, cv::Scalar(0))}), std::invalid_argument);
    EXPECT_THROW(reader->Run({cv::Mat(32, 160, CV_8UC3, cv::Scalar(0))}), std::invalid_argument);
    EXPECT_THROW(reader->Run({cv::Mat()}), std::invalid_argument);
}

TEST(LineReader, ModelsThatCannotBeUsedGiveNullAndOneLineSayingWhy) {
    const std::string garbage = TempPath("garbage.onnx");
    WriteFile(garbage, std::string("this is not a network\n\x01\x02\xff", 25));
    std::string error;
    EXPECT_EQ(LineReader::Create(garbage, error), nullptr);
    ExpectLoadError(error, garbage, "");

    const std::string identity = TempPath("identity.onnx");
    WriteFile(identity, IdentityModel());
    error.clear();
    EXPECT_EQ(LineReader::Create(identity, error), nullptr);
    ExpectLoadError(error, identity, "output is 1 x 1 x 32 x 160");

    const std::string missing = TempPath("no-such-model.onnx");
    std::remove(missing.c_str());
    error.clear();
    EXPECT_EQ(LineReader::Create(missing, error), nullptr);
    ExpectLoadError(error, missing, "no such file");

    error.clear();
    EXPECT_EQ(LineReader::Create(std::string(KALVERO_BUILD_DIR), error), nullptr);
    ExpectLoadError(error, KALVERO_BUILD_DIR, "not a regular file");

    const std::string empty = TempPath("empty.onnx");
    WriteFile(empty, "");
    error.clear();
    EXPECT_EQ(LineReader::Create(empty, error), nullptr);
    ExpectLoadError(error, empty, "empty");

    error.clear();
    EXPECT_EQ(LineReader::CreateFromBuffer(nullptr, 10, "buffer", error), nullptr);
    ExpectLoadError(error, "buffer", "empty");
}

TEST(LineReader, TheVariableNamesTheModelTheDefaultLoads) {
    const std::string missing = TempPath("variable-missing.onnx");
    std::remove(missing.c_str());
    {
        ScopedVariable variable(kLineModelVariable, missing.c_str());
        std::string error;
        EXPECT_EQ(LineReader::Create(error), nullptr);
        ExpectLoadError(error, missing, "no such file");
    }
    const std::string garbage = TempPath("variable-garbage.onnx");
    WriteFile(garbage, "garbage");
    {
        ScopedVariable variable(kLineModelVariable, garbage.c_str());
        std::string error;
        EXPECT_EQ(LineReader::Create(error), nullptr);
        ExpectLoadError(error, garbage, "");
    }
    // A copy of the embedded model named by the variable loads.
    const std::string copy = TempPath("variable-copy.onnx");
    WriteFile(copy, std::string(reinterpret_cast<const char*>(EmbeddedLineModelData()), EmbeddedLineModelSize()));
    {
        ScopedVariable variable(kLineModelVariable, copy.c_str());
        std::string error;
        EXPECT_NE(LineReader::Create(error), nullptr) << error;
    }
}

}  // namespace
}  // namespace kalvero

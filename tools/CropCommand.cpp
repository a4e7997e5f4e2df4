#include "tools/CropCommand.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <thread>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "command_line/CommandLine.h"
#include "command_line/OptionNumbers.h"
#include "command_line/PrintableText.h"
#include "tools/CropMaker.h"
#include "tools/DigitFonts.h"
#include "tools/SampleFailure.h"

namespace kalvero {

namespace {

namespace fs = std::filesystem;

// Ten million crops are about 50 GB of PNG, far past any training run; a
// larger count is taken for a typing error rather than started.
constexpr int kMaxCrops = 10000000;

std::string CropFileName(int index) {
    char name[32];
    std::snprintf(name, sizeof(name), "%07d.png", index);
    return name;
}

}  // namespace

bool WantsCrops(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& a) {
        return a == "--crops" || a.rfind("--crops=", 0) == 0;
    });
}

std::string ParseCropCommand(const std::vector<std::string>& args, CropCommand& command) {
    command = CropCommand{};
    bool haveDir = false;
    bool haveCount = false;
    bool haveFonts = false;
    static const OptionNames kNames{
        {}, {"--crops", "--count", "--fonts", "--seed", "--negatives-share", "--conditions", "--jobs"}};
    std::vector<CommandWord> words;
    const std::string split = SplitCommandLine(args, kNames, words);
    if (!split.empty()) {
        return split + " in crops mode";
    }
    for (const CommandWord& word : words) {
        const std::string& name = word.name;
        const std::string& value = word.value;
        if (word.IsOperand()) {
            return "unexpected argument '" + PrintableText(value) + "' in crops mode";
        }
        std::string problem;
        if (name == "--crops") {
            if (value.empty()) {
                problem = "invalid value '' for --crops (a folder)";
            }
            command.dir = value;
            haveDir = true;
        } else if (name == "--count") {
            problem = ParseWholeOption(name, value, 1, kMaxCrops, command.count);
            haveCount = true;
        } else if (name == "--fonts") {
            const std::string error = SplitFontList(value, command.fontEntries);
            if (!error.empty()) {
                problem = "invalid value '" + PrintableText(value) + "' for --fonts: " + error;
            }
            haveFonts = true;
        } else if (name == "--seed") {
            problem = ParseUnsignedOption(name, value, command.seed);
        } else if (name == "--negatives-share") {
            problem = ParseRealOption(name, value, 0.0, 1.0, command.negativesShare);
        } else if (name == "--conditions") {
            problem = ParseRealOption(name, value, 0.0, 1.0, command.conditionsShare);
        } else if (name == "--jobs") {
            problem = ParseWholeOption(name, value, 1, 64, command.jobs);
        }
        if (!problem.empty()) {
            return problem;
        }
    }
    if (!haveDir) {
        return "no crops folder given";
    }
    if (!haveCount) {
        return "crops mode needs --count N";
    }
    if (!haveFonts) {
        command.fontEntries = DefaultTrainingFontEntries();
    }
    return "";
}

std::string WriteCrops(const CropCommand& command, const CropMaker& maker, std::ostream& out) {
    const auto start = std::chrono::steady_clock::now();
    std::error_code error;
    fs::create_directories(command.dir, error);
    if (!fs::is_directory(command.dir, error)) {
        return "cannot create the folder '" + command.dir + "'";
    }
    std::vector<std::string> lines(static_cast<std::size_t>(command.count));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::string failure;  // written by the first failing job only
    std::atomic<bool> failureTaken{false};
    // The jobs run their own loops: OpenCV's pool would only oversubscribe.
    const int openCvThreads = cv::getNumThreads();
    cv::setNumThreads(1);
    const auto work = [&]() {
        for (int i = next++; i < command.count && !failed; i = next++) {
            const LineCropSample sample = maker.Make(command.seed, static_cast<std::uint64_t>(i), command.negativesShare,
                                                   command.conditionsShare);
            const std::string file = CropFileName(i);
            const std::string path = (fs::path(command.dir) / file).string();
            bool written = !sample.image.empty();
            try {
                written = written && cv::imwrite(path, sample.image);
            } catch (const cv::Exception&) {
                written = false;
            }
            if (!written) {
                if (!failureTaken.exchange(true)) {
                    failure = "cannot write '" + path + "'";
                }
                failed = true;
                return;
            }
            lines[static_cast<std::size_t>(i)] = file + "\t" + sample.label + "\t" + sample.font + "\n";
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < command.jobs; ++j) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    cv::setNumThreads(openCvThreads);
    if (failed) {
        return failure;
    }
    const std::string labelsPath = (fs::path(command.dir) / "labels.tsv").string();
    std::ofstream labels(labelsPath, std::ios::binary);
    labels << "file\ttext\tfont\n";
    for (const std::string& line : lines) {
        labels << line;
    }
    labels.close();
    if (!labels) {
        return "cannot write '" + labelsPath + "'";
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out << "Wrote " << command.count << " crops to " << command.dir << " in " << std::fixed
        << std::setprecision(2) << seconds << " s (" << std::setprecision(0)
        << command.count / std::max(seconds, 1e-6) << " crops/s, " << command.jobs << " job"
        << (command.jobs == 1 ? "" : "s") << ", " << maker.Fonts().size() << " fonts)\n";
    return "";
}

int RunMakeCrops(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CropCommand command;
    const std::string error = ParseCropCommand(args, command);
    if (!error.empty()) {
        return SampleFailed(err, error, 2);
    }
    CropMaker maker;
    const std::string loadError = maker.Load(command.fontEntries);
    if (!loadError.empty()) {
        // A font that cannot be read is the caller's mistake, like a bad option.
        return SampleFailed(err, loadError, 2);
    }
    const std::string failure = WriteCrops(command, maker, out);
    if (!failure.empty()) {
        return SampleFailed(err, failure, 3);
    }
    return 0;
}

}  // namespace kalvero

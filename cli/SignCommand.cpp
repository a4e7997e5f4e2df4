#include "cli/SignCommand.h"

#include <exception>

#include "cli/BoxText.h"
#include "cli/ExplainTrace.h"
#include "cli/JsonLine.h"
#include "cli/OpenedInput.h"
#include "cli/Reader.h"
#include "cli/SignReading.h"
#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

// Reads the box in the first frame and says what it shows.
int ReadSignInFrame(const ReaderOptions& options, const cv::Mat& frame, std::ostream& out, std::ostream& err,
                    OutputCheck* outCheck) {
    const cv::Rect inside(0, 0, frame.cols, frame.rows);
    if ((options.sign & inside) != options.sign) {
        err << "kalvero-read: --sign " << BoxText(options.sign)
            << " lies outside the first frame (" << FrameText(frame, options.zoom) << ")\n";
        return kExitUsage;
    }
    ExplainTrace trace;
    const SignReading reading =
        ReadSignBox(frame, options.sign, options.digitHeight, options.explain ? &trace : nullptr);
    if (options.explain) {
        err << trace.TakeFrameLine(1, cv::Point(0, 0)) << "\n";
    }
    if (options.json) {
        const JsonValue box = {{"x", options.sign.x},
                               {"y", options.sign.y},
                               {"width", options.sign.width},
                               {"height", options.sign.height}};
        out << JsonLine(JsonValue{{"sign", box}, {"value", reading.read ? JsonValue(reading.value) : JsonValue()}})
            << "\n";
    } else if (reading.read) {
        out << "Sign " << BoxText(options.sign) << ": speed limit " << reading.text << "\n";
    } else {
        out << "Sign " << BoxText(options.sign) << ": no speed value read\n";
    }
    if (outCheck != nullptr && !outCheck->Check()) {
        err << "kalvero-read: " << outCheck->Message() << "\n";
        return kExitOutput;
    }
    return kExitOk;
}

}  // namespace

int ReadSignCommand(const ReaderOptions& options, const std::string& file, std::ostream& out, std::ostream& err,
                    OutputCheck* outCheck) {
    try {
        if (IsStreamAddress(file)) {
            err << "kalvero-read: --sign reads a file, not a stream\n";
            return kExitUsage;
        }
        const OpenedInput input = OpenInput(file, options.zoom);
        const std::string problem = InputProblem(input, file);
        if (!problem.empty()) {
            err << "kalvero-read: " << problem << "\n";
            return kExitFile;
        }
        return ReadSignInFrame(options, input.scaledFirstFrame, out, err, outCheck);
    } catch (const std::exception& e) {
        err << "kalvero-read: error while reading '" << PrintableText(file) << "': " << e.what() << "\n";
        return kExitFailure;
    }
}

}  // namespace kalvero

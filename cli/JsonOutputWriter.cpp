#include "cli/JsonOutputWriter.h"

#include "cli/JsonOutput.h"
#include "cli/PassSummary.h"

namespace kalvero {

bool JsonOutputWriter::BeginInput(const InputStart& start) {
    file_ = start.file;
    return true;
}

void JsonOutputWriter::Frame(const FrameEvent& event) {
    std::string toErr;
    if (event.explain != nullptr) {
        toErr += *event.explain + "\n";
    }
    if (verbose_) {
        toErr += event.report.logLine + "\n";
    }
    if (!toErr.empty()) {
        streams_.progress.Print(streams_.err, toErr, true);
    }
    if (Failed()) {
        return;
    }
    streams_.progress.Print(streams_.out, FrameJsonLine(event.report, &file_) + "\n", streams_.outOnTerminal);
    if (streams_.outCheck != nullptr && !streams_.outCheck->Check()) {
        Fail(streams_.outCheck->Message());
    }
}

void JsonOutputWriter::EndInput(const InputEnd& end) {
    streams_.err << end.report.Summary() + PassSummary(end.passes, false, utcOffsetMinutes_);
    streams_.out.flush();
    ReadReport report = end.report;
    if (end.outputFailed || Failed()) {
        report.MarkOutputFailed();
    }
    streams_.err << report.SummaryJsonLine();
}

}  // namespace kalvero

#include "cli/TextOutputWriter.h"

#include "cli/PassSummary.h"

namespace kalvero {

void TextOutputWriter::Frame(const FrameEvent& event) {
    if (event.explain != nullptr) {
        streams_.progress.Print(streams_.err, *event.explain + "\n", true);
    }
    std::string toOut;
    if (verbose_) {
        toOut += event.report.logLine + "\n";
    }
    if (event.change != nullptr) {
        toOut += *event.change + "\n";
    }
    // The progress line shares the terminal: it is taken down only when
    // something is about to appear there.
    if (toOut.empty() || Failed()) {
        return;
    }
    streams_.progress.Print(streams_.out, toOut, streams_.outOnTerminal);
    if (streams_.outCheck != nullptr && !streams_.outCheck->Check()) {
        Fail(streams_.outCheck->Message());
    }
}

void TextOutputWriter::EndInput(const InputEnd& end) {
    const std::string summary = end.report.Summary() + PassSummary(end.passes, false, utcOffsetMinutes_);
    // With standard output broken the summary goes to standard error, so
    // that what was read is not lost with it.
    if (Failed()) {
        streams_.err << summary;
    } else {
        streams_.out << summary;
        if (streams_.outCheck != nullptr && !streams_.outCheck->Check()) {
            streams_.err << "kalvero-read: " << streams_.outCheck->Message() << "\n" << summary;
            FailSaid();
        }
    }
    streams_.out.flush();
}

}  // namespace kalvero

#include "cli/ReportWriter.h"

#include "cli/HtmlReport.h"
#include "cli/OutputCheck.h"

namespace kalvero {

bool ReportWriter::Prepare(std::string& error) { return WriteReportFile(path_, "", error); }

void ReportWriter::Finish() {
    std::string error;
    if (!WriteReportFile(path_, HtmlReport(passes_, "Kalvero: carriage passes"), error)) {
        Fail(OutputFailure(error));
    }
}

}  // namespace kalvero

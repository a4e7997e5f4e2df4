#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cli/OutputCheck.h"
#include "cli/PassFileWriter.h"
#include "cli/Reader.h"
#include "cli/ReaderOptions.h"
#include "cli/ReportWriter.h"
#include "cli/SharedProgress.h"

namespace kalvero {

// The status of a run over several inputs: 4 when output was lost, else 3
// when any could not be opened, else the first other failure, else 0.
int CombinedStatus(const std::vector<int>& statuses);

// Reads several inputs, options.jobs at a time (all cores when 0). Each
// file's output is gathered and printed whole, in input order, as soon as
// the files before it are done, so the output is the same whatever the
// number of jobs; its passes go to `passFile` and `report` (either may be
// null) at the same moment. A stream is read on a thread of its own,
// beside the jobs, and keeps no turn: its lines (text lines led by its
// address) and its passes are written as they happen, whatever runs beside
// it, and nothing of it is gathered. Ends with the "Files: ..." line on
// `err`.
int ReadManyInputs(const ReaderOptions& options, const std::vector<std::string>& inputs, std::ostream& out,
                   std::ostream& err, const ReaderEnvironment& environment, PassFileWriter* passFile,
                   ReportWriter* report, SharedProgress& progress, OutputCheck& outCheck);

}  // namespace kalvero

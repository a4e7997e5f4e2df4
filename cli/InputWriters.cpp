#include "cli/InputWriters.h"

#include "cli/AnnotatedVideoWriter.h"
#include "cli/CropsWriter.h"
#include "cli/JsonOutputWriter.h"
#include "cli/ProgressWriter.h"
#include "cli/TextOutputWriter.h"

namespace kalvero {

InputWriters::InputWriters(const ReaderOptions& options, const ConsoleStreams& streams, bool /*severalInputs*/) {
    if (!options.cropsDir.empty()) {
        own_.push_back(std::make_unique<CropsWriter>(options.cropsDir));
    }
    if (!options.annotateFile.empty()) {
        own_.push_back(std::make_unique<AnnotatedVideoWriter>(options.annotateFile));
    }
    if (options.json) {
        own_.push_back(std::make_unique<JsonOutputWriter>(streams, options.verbose, options.utcOffsetMinutes));
    } else {
        own_.push_back(std::make_unique<TextOutputWriter>(streams, options.verbose, options.utcOffsetMinutes));
    }
    // Last: the line is drawn again after whatever the frame printed.
    own_.push_back(std::make_unique<ProgressWriter>(streams.progress));
}

std::vector<OutputWriter*> InputWriters::List() const {
    std::vector<OutputWriter*> list = shared_;
    for (const auto& writer : own_) {
        list.push_back(writer.get());
    }
    return list;
}

}  // namespace kalvero

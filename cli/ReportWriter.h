#pragma once
#include <string>
#include <vector>

#include "cli/OutputWriter.h"

namespace kalvero {

// --report FILE: one HTML page of every input's passes, written when the
// last input is done.
class ReportWriter : public OutputWriter {
public:
    explicit ReportWriter(std::string path) : path_(std::move(path)) {}

    // Makes sure the page can be written before anything is read (an empty
    // page for now). False with `error`.
    bool Prepare(std::string& error);

    // The input's passes join the page (in the order given).
    void Add(const std::vector<CarriagePass>& passes) { passes_.insert(passes_.end(), passes.begin(), passes.end()); }
    void EndInput(const InputEnd& end) override { Add(end.passes); }
    void Finish() override;
    bool WantsImage() const override { return true; }

private:
    std::string path_;
    std::vector<CarriagePass> passes_;
};

}  // namespace kalvero

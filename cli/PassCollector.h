#pragma once
#include <vector>

#include "cli/OutputWriter.h"

namespace kalvero {

// Keeps one input's passes in the order they ended, for a run over several
// inputs that writes them when the input is printed. `wantsImage`: the
// passes need their pictures (crops or a report are written from them).
class PassCollector : public OutputWriter {
public:
    explicit PassCollector(bool wantsImage) : wantsImage_(wantsImage) {}
    void Pass(const CarriagePass& pass) override { passes_.push_back(pass); }
    bool WantsImage() const override { return wantsImage_; }
    std::vector<CarriagePass>& Passes() { return passes_; }

private:
    bool wantsImage_;
    std::vector<CarriagePass> passes_;
};

}  // namespace kalvero

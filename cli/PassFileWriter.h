#pragma once
#include <string>

#include "cli/OutputWriter.h"
#include "cli/PassFile.h"

namespace kalvero {

// --passes FILE: every pass written to the pass file as it ends.
class PassFileWriter : public OutputWriter {
public:
    // Opens (creates or empties) the file before anything is read, so that
    // a name that cannot be written costs no reading. False with `error`.
    bool Open(const std::string& path, std::string& error) { return file_.Open(path, error); }

    void Pass(const CarriagePass& pass) override;

private:
    PassFile file_;
};

}  // namespace kalvero

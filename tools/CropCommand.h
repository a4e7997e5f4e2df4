#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kalvero {

// kalvero-make-sample's crops mode: training pictures for the line reader.
struct CropCommand {
    std::string dir;                       // folder receiving NNNNNNN.png and labels.tsv
    int count = 0;
    std::vector<std::string> fontEntries;  // default: DefaultTrainingFontEntries()
    std::uint64_t seed = 1;
    double negativesShare = 0.08;
    double conditionsShare = 0.0;          // crops drawn under CropConditions
    int jobs = 1;
};

// True when the arguments ask for crops mode (they name --crops).
bool WantsCrops(const std::vector<std::string>& args);

// Parses a crops-mode command line. Returns an empty text on success,
// else a one-line message naming the faulty option or value.
std::string ParseCropCommand(const std::vector<std::string>& args, CropCommand& command);

class CropMaker;

// Writes command.count crops made by `maker` (loaded with the command's
// fonts) and DIR/labels.tsv (header "file\ttext\tfont", then one line per
// crop), and reports the count and the time taken to `out`. The same
// command always writes the same files, whatever the number of jobs.
// Returns an empty text on success, else a message.
std::string WriteCrops(const CropCommand& command, const CropMaker& maker, std::ostream& out);

// Runs crops mode: 0 written, 2 usage error (a font that cannot be loaded
// included), 3 the files could not be written.
int RunMakeCrops(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalvero

#include "cli/ExplainTrace.h"

#include <map>

#include "cli/JsonLine.h"

namespace kalvero {

namespace {

// The box's members of a candidate or region object, in frame coordinates.
JsonValue BoxJson(const CandidateRegion& r, cv::Point origin) {
    return {{"x", r.x + origin.x}, {"y", r.y + origin.y}, {"width", r.width}, {"height", r.height}};
}

// A text, or null when there is none.
JsonValue TextOrNull(const std::string& text) { return text.empty() ? JsonValue() : JsonValue(text); }

}  // namespace

void ExplainTrace::OnCandidates(const std::vector<CandidateRegion>& regions) {
    candidates_.insert(candidates_.end(), regions.begin(), regions.end());
}

void ExplainTrace::OnStrip(const CandidateRegion& /*region*/, int stripIndex, int candidateCount,
                           const std::string& digits, int assembled) {
    pendingStrips_.push_back(Strip{stripIndex, candidateCount, digits, assembled});
}

void ExplainTrace::OnRegionResult(const CandidateRegion& region, const std::string& text,
                                  const std::string& reason) {
    Region done;
    done.region = region;
    done.strips.swap(pendingStrips_);
    done.text = text;
    done.reason = reason;
    regions_.push_back(std::move(done));
}

std::string ExplainTrace::TakeFrameLine(int frameNumber, cv::Point zoneOrigin) {
    // Candidates grouped by type code, that is by scan mode, in mode order;
    // within a mode in the order recognition reads them.
    std::map<int, std::vector<const CandidateRegion*>> byType;
    for (const CandidateRegion& c : candidates_) {
        byType[c.typeCode].push_back(&c);
    }
    JsonValue modes = JsonValue::array();
    for (const auto& [type, list] : byType) {
        const int mode = type >= kNumberTypeCodeBase ? type - kNumberTypeCodeBase : -1;
        JsonValue candidates = JsonValue::array();
        for (const CandidateRegion* candidate : list) {
            candidates.push_back(BoxJson(*candidate, zoneOrigin));
        }
        modes.push_back({{"mode", mode >= 0 ? JsonValue(mode) : JsonValue()},
                         {"type", type},
                         {"candidates", std::move(candidates)}});
    }
    JsonValue regions = JsonValue::array();
    for (const Region& region : regions_) {
        JsonValue entry = BoxJson(region.region, zoneOrigin);
        entry["type"] = region.region.typeCode;
        JsonValue strips = JsonValue::array();
        for (const Strip& strip : region.strips) {
            strips.push_back({{"strip", strip.index},
                              {"digit_candidates", strip.candidates},
                              {"digits", strip.digits},
                              {"assembled", strip.assembled}});
        }
        entry["strips"] = std::move(strips);
        entry["text"] = TextOrNull(region.text);
        entry["reason"] = TextOrNull(region.reason);
        regions.push_back(std::move(entry));
    }
    const std::string line = JsonLine(
        JsonValue{{"frame", frameNumber}, {"scan_modes", std::move(modes)}, {"regions", std::move(regions)}});
    candidates_.clear();
    pendingStrips_.clear();
    regions_.clear();
    return line;
}

}  // namespace kalvero

#include "cli/ExplainTrace.h"

#include <map>

#include "cli/JsonOutput.h"

namespace kalvero {

namespace {

std::string BoxJson(const CandidateRegion& r, cv::Point origin) {
    return "\"x\": " + std::to_string(r.x + origin.x) + ", \"y\": " + std::to_string(r.y + origin.y) +
           ", \"width\": " + std::to_string(r.width) + ", \"height\": " + std::to_string(r.height);
}

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
    std::string line = "{\"frame\": " + std::to_string(frameNumber) + ", \"scan_modes\": [";
    bool firstMode = true;
    for (const auto& [type, list] : byType) {
        line += firstMode ? "" : ", ";
        firstMode = false;
        const int mode = type >= kNumberTypeCodeBase ? type - kNumberTypeCodeBase : -1;
        line += "{\"mode\": " + (mode >= 0 ? std::to_string(mode) : std::string("null")) +
                ", \"type\": " + std::to_string(type) + ", \"candidates\": [";
        for (std::size_t i = 0; i < list.size(); ++i) {
            line += (i ? ", {" : "{") + BoxJson(*list[i], zoneOrigin) + "}";
        }
        line += "]}";
    }
    line += "], \"regions\": [";
    for (std::size_t r = 0; r < regions_.size(); ++r) {
        const Region& region = regions_[r];
        line += (r ? ", {" : "{") + BoxJson(region.region, zoneOrigin) +
                ", \"type\": " + std::to_string(region.region.typeCode) + ", \"strips\": [";
        for (std::size_t s = 0; s < region.strips.size(); ++s) {
            const Strip& strip = region.strips[s];
            line += (s ? ", " : "") + std::string("{\"strip\": ") + std::to_string(strip.index) +
                    ", \"digit_candidates\": " + std::to_string(strip.candidates) +
                    ", \"digits\": " + JsonString(strip.digits) +
                    ", \"assembled\": " + std::to_string(strip.assembled) + "}";
        }
        line += "], \"text\": " + (region.text.empty() ? std::string("null") : JsonString(region.text));
        line += ", \"reason\": " +
                (region.reason.empty() ? std::string("null") : JsonString(region.reason)) + "}";
    }
    line += "]}";
    candidates_.clear();
    pendingStrips_.clear();
    regions_.clear();
    return line;
}

}  // namespace kalvero

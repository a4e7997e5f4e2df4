#include "tools/SampleTruth.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace kalvero {

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string SampleTruthJson(const SampleTruth& truth) {
    std::ostringstream json;
    json << "{\"file\": " << Quoted(truth.file) << ", \"width\": " << truth.size.width
         << ", \"height\": " << truth.size.height << ", \"frames\": " << truth.frames << ", \"fps\": ";
    char fps[32];
    std::snprintf(fps, sizeof(fps), "%.1f", truth.framesPerSecond);
    json << fps << ", \"font\": " << Quoted(truth.font) << ", \"seed\": " << truth.seed << ",\n \"numbers\": [";
    for (std::size_t i = 0; i < truth.numbers.size(); ++i) {
        json << (i ? ", " : "") << Quoted(truth.numbers[i]);
    }
    json << "],\n \"frame_truth\": [";
    for (std::size_t f = 0; f < truth.frameObjects.size(); ++f) {
        json << (f ? ",\n  " : "\n  ") << "{\"frame\": " << f + 1 << ", \"objects\": [";
        const auto& objects = truth.frameObjects[f];
        for (std::size_t i = 0; i < objects.size(); ++i) {
            const TruthObject& o = objects[i];
            json << (i ? ", " : "") << "{\"text\": " << Quoted(o.text) << ", \"kind\": \""
                 << (o.isNumber ? "number" : "distractor") << "\", \"box\": [" << o.box.x << ", " << o.box.y << ", "
                 << o.box.width << ", " << o.box.height << "], \"fully_visible\": " << (o.fullyVisible ? "true" : "false")
                 << (o.occluded ? ", \"occluded\": true" : "") << "}";
        }
        json << "]}";
    }
    json << "\n ]}\n";
    return json.str();
}

std::string WriteSampleTruth(const std::string& path, const SampleTruth& truth) {
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        return "cannot write the truth file '" + path + "'";
    }
    out << SampleTruthJson(truth);
    out.close();
    return out ? "" : "cannot write the truth file '" + path + "'";
}

}  // namespace kalvero

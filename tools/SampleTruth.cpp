#include "tools/SampleTruth.h"

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

namespace kalvero {

namespace {

using Json = nlohmann::ordered_json;

// A text as a JSON string literal, escaped by nlohmann; bytes that are not
// valid UTF-8 become U+FFFD.
std::string Quoted(const std::string& text) {
    return Json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A value on one line in our layout (", " and ": "). Strings, integers and
// booleans as nlohmann writes them; the one float, the frame rate, with one
// decimal (25.0).
std::string Line(const Json& object) {
    std::string out;
    if (object.is_object()) {
        out += "{";
        bool first = true;
        for (const auto& member : object.items()) {
            out += (first ? "" : ", ") + Quoted(member.key()) + ": " + Line(member.value());
            first = false;
        }
        return out + "}";
    }
    if (object.is_array()) {
        out += "[";
        for (std::size_t i = 0; i < object.size(); ++i) {
            out += (i ? ", " : "") + Line(object[i]);
        }
        return out + "]";
    }
    if (object.is_number_float()) {
        char number[32];
        std::snprintf(number, sizeof(number), "%.1f", object.get<double>());
        return number;
    }
    return object.is_string() ? Quoted(object.get_ref<const std::string&>()) : object.dump();
}

Json ObjectJson(const TruthObject& o) {
    Json object = {{"text", o.text},
                   {"kind", o.isNumber ? "number" : "distractor"},
                   {"box", {o.box.x, o.box.y, o.box.width, o.box.height}},
                   {"fully_visible", o.fullyVisible}};
    if (o.occluded) {
        object["occluded"] = true;
    }
    return object;
}

}  // namespace

std::string SampleTruthJson(const SampleTruth& truth) {
    const Json head = {{"file", truth.file},     {"width", truth.size.width},
                       {"height", truth.size.height}, {"frames", truth.frames},
                       {"fps", truth.framesPerSecond}, {"font", truth.font},
                       {"seed", truth.seed}};
    std::string json = Line(head);
    json.pop_back();  // the object goes on over the next lines
    json += ",\n \"numbers\": " + Line(Json(truth.numbers)) + ",\n \"frame_truth\": [";
    for (std::size_t f = 0; f < truth.frameObjects.size(); ++f) {
        Json objects = Json::array();
        for (const TruthObject& o : truth.frameObjects[f]) {
            objects.push_back(ObjectJson(o));
        }
        json += (f ? ",\n  " : "\n  ") + Line(Json{{"frame", f + 1}, {"objects", std::move(objects)}});
    }
    return json + "\n ]}\n";
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

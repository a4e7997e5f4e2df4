#include "serve/WebhookBody.h"

#include <openssl/evp.h>

#include <nlohmann/json.hpp>

namespace kalvero {

namespace {

nlohmann::json OrNull(const std::string& text) {
    return text.empty() ? nlohmann::json() : nlohmann::json(text);
}

// The pass's record; a record that is missing or not a JSON object (a store
// written by hand) gives way to what the store keeps beside it.
nlohmann::json RecordOf(const StoredPass& pass) {
    nlohmann::json record = nlohmann::json::parse(pass.record, nullptr, false);
    if (record.is_object()) return record;
    return {{"number", pass.number},         {"check_digit", pass.checkDigit},
            {"start_time", OrNull(pass.startTime)}, {"end_time", OrNull(pass.endTime)},
            {"frames_read", pass.framesRead}, {"best_score", pass.bestScore},
            {"best_frame", pass.bestFrame},  {"direction", pass.direction}};
}

}  // namespace

std::string Base64(const std::vector<unsigned char>& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                        static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(written));
    return text;
}

std::string WebhookBody(const StoredPass& pass, DeliveryKind kind) {
    nlohmann::json body = RecordOf(pass);
    body["id"] = pass.id;
    body["camera"] = pass.camera;
    body["crop_png"] = pass.cropPng.empty() ? nlohmann::json() : nlohmann::json(Base64(pass.cropPng));
    body["corrected_number"] = OrNull(pass.correctedNumber);
    body["corrected_at"] = OrNull(pass.correctedAt);
    body["event"] = kind == DeliveryKind::Correction ? "correction" : "pass";
    // Names or texts that are not UTF-8 are sent with U+FFFD in their place
    // rather than stopping the delivery.
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kalvero

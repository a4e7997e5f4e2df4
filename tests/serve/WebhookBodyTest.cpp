#include "serve/WebhookBody.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace kalvero {
namespace {

StoredPass ReadPass() {
    StoredPass pass;
    pass.id = 41;
    pass.camera = "east";
    pass.number = "52473063";
    pass.checkDigit = true;
    pass.startTime = "2026-12-08T12:34:56.789Z";
    pass.endTime = "2026-12-08T12:34:58.100Z";
    pass.framesRead = 9;
    pass.direction = "left";
    pass.bestScore = 0.93;
    pass.bestFrame = 120;
    pass.record = R"({"file":"rtsp://camera-east/stream1","number":"52473063","check_digit":true,)"
                  R"("first_frame":112,"last_frame":131,"start_time":"2026-12-08T12:34:56.789Z",)"
                  R"("end_time":"2026-12-08T12:34:58.100Z","frames_read":9,"frames":[[112,120]],)"
                  R"("best_score":0.93,"best_frame":120,"direction":"left","damaged_frames":0,"damaged":[]})";
    pass.cropPng = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0xff};
    return pass;
}

TEST(WebhookBody, IsTheRecordWithTheServicesFields) {
    const StoredPass pass = ReadPass();
    const nlohmann::json body = nlohmann::json::parse(WebhookBody(pass, DeliveryKind::Pass));
    const nlohmann::json record = nlohmann::json::parse(pass.record);
    for (const auto& [key, value] : record.items()) EXPECT_EQ(body.at(key), value) << key;
    EXPECT_EQ(body.at("id"), 41);
    EXPECT_EQ(body.at("camera"), "east");
    EXPECT_EQ(body.at("crop_png"), "iVBORw0KGgoA/w==");
    EXPECT_TRUE(body.at("corrected_number").is_null());
    EXPECT_TRUE(body.at("corrected_at").is_null());
    EXPECT_EQ(body.at("event"), "pass");
    EXPECT_EQ(body.size(), record.size() + 6);
}

TEST(WebhookBody, ACorrectionCarriesBothNumbers) {
    StoredPass pass = ReadPass();
    pass.correctedNumber = "52473064";
    pass.correctedAt = "2026-12-08T13:00:00.000Z";
    pass.cropPng.clear();
    const nlohmann::json body = nlohmann::json::parse(WebhookBody(pass, DeliveryKind::Correction));
    EXPECT_EQ(body.at("number"), "52473063");
    EXPECT_EQ(body.at("corrected_number"), "52473064");
    EXPECT_EQ(body.at("corrected_at"), "2026-12-08T13:00:00.000Z");
    EXPECT_EQ(body.at("event"), "correction");
    EXPECT_TRUE(body.at("crop_png").is_null());
}

TEST(WebhookBody, TheServicesFieldsWinOverTheRecords) {
    // The record's own "id" or "camera" (from a file named so) never hides the stored pass's.
    StoredPass pass = ReadPass();
    pass.record = R"({"number":"52473063","id":"x","camera":"file","event":"y"})";
    const nlohmann::json body = nlohmann::json::parse(WebhookBody(pass, DeliveryKind::Pass));
    EXPECT_EQ(body.at("id"), 41);
    EXPECT_EQ(body.at("camera"), "east");
    EXPECT_EQ(body.at("event"), "pass");
}

class WebhookBodyOfABrokenRecord : public ::testing::TestWithParam<const char*> {};

TEST_P(WebhookBodyOfABrokenRecord, FallsBackToTheStoredFields) {
    StoredPass pass = ReadPass();
    pass.record = GetParam();
    pass.camera = "gate \xff";  // not UTF-8: sent with a replacement character, not refused
    const nlohmann::json body = nlohmann::json::parse(WebhookBody(pass, DeliveryKind::Pass));
    EXPECT_EQ(body.at("number"), "52473063");
    EXPECT_EQ(body.at("start_time"), "2026-12-08T12:34:56.789Z");
    EXPECT_EQ(body.at("end_time"), "2026-12-08T12:34:58.100Z");
    EXPECT_EQ(body.at("frames_read"), 9);
    EXPECT_EQ(body.at("direction"), "left");
    EXPECT_EQ(body.at("check_digit"), true);
    EXPECT_EQ(body.at("camera"), "gate \xef\xbf\xbd");
    EXPECT_EQ(body.at("id"), 41);
}

INSTANTIATE_TEST_SUITE_P(Records, WebhookBodyOfABrokenRecord,
                         ::testing::Values("", "{", "[1,2]", "\"52473063\"", "null"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return "Record" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace kalvero

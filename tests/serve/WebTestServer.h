#pragma once
#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "MemoryPassStore.h"
#include "serve/CameraBoard.h"
#include "serve/WebServer.h"

namespace kalvero {

constexpr const char* kWebTestToken = "s3cret-token";

// A crop drawn here: `number` in white on dark grey, as a PNG.
inline std::vector<unsigned char> WebDrawnCrop(const std::string& number) {
    cv::Mat image(48, 200, CV_8UC3, cv::Scalar(40, 40, 40));
    cv::putText(image, number, {8, 36}, cv::FONT_HERSHEY_SIMPLEX, 1.0, cv::Scalar(240, 240, 240), 2);
    std::vector<unsigned char> png;
    cv::imencode(".png", image, png);
    return png;
}

inline StoredPass WebSamplePass(const std::string& camera, const std::string& number, const std::string& start,
                                bool withCrop = true) {
    StoredPass pass;
    pass.camera = camera;
    pass.number = number;
    pass.checkDigit = true;
    pass.startTime = start;
    pass.endTime = start;
    pass.framesRead = 3;
    pass.direction = "left";
    pass.bestScore = 0.875;
    pass.bestFrame = 11;
    pass.scores = {{10, 0.5f}, {11, 0.875f}, {12, 0.75f}};
    pass.record = "{\"file\": \"rtsp://user:pw@cam/stream\", \"number\": \"" + number +
                  "\", \"first_frame\": 10, \"last_frame\": 12, \"damaged_frames\": 0}";
    if (withCrop) pass.cropPng = WebDrawnCrop(number);
    return pass;
}

// A web server on a free port of 127.0.0.1 over an in-memory store and a
// board, for tests to talk to with httplib's client.
class WebTestServer {
public:
    explicit WebTestServer(PassStore* store = nullptr) : store_(store ? store : &memory) {}
    ~WebTestServer() { Stop(); }

    void Start() {
        server_ = std::make_unique<WebServer>(
            ServiceView{*store_, board, [this] { return counts; }, {"http://127.0.0.1:9/hook"}, kWebTestToken}, log);
        std::string error;
        ASSERT_TRUE(server_->Start("127.0.0.1:0", error)) << error;
        ASSERT_GT(server_->Port(), 0);
    }
    void Stop() {
        if (server_) server_->Stop();
    }
    int Port() const { return server_->Port(); }

    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", server_->Port());
        client.set_url_encode(false);
        client.set_connection_timeout(5, 0);
        client.set_read_timeout(10, 0);
        return client;
    }
    httplib::Headers Bearer() const { return {{"Authorization", std::string("Bearer ") + kWebTestToken}}; }

    // Signs in with the token; the cookie's "name=value", or "" on failure.
    std::string SignIn() const {
        httplib::Client client = Client();
        const auto res = client.Post("/signin", httplib::Params{{"token", kWebTestToken}});
        if (!res || res->status != 303) return {};
        const std::string cookie = res->get_header_value("Set-Cookie");
        return cookie.substr(0, cookie.find(';'));
    }

    MemoryPassStore memory;
    CameraBoard board;
    DeliveryCounts counts;
    std::ostringstream log;

private:
    PassStore* store_;
    std::unique_ptr<WebServer> server_;
};

}  // namespace kalvero

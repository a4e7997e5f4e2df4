#include "serve/MetricsText.h"

#include <cmath>
#include <cstdio>
#include <functional>

namespace kalvero {

namespace {

std::string Number(double value) {
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    if (std::isnan(value)) return "NaN";
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n";
    out += std::string("# TYPE ") + name + " " + type + "\n";
}

void PerCamera(std::string& out, const std::vector<CameraState>& cameras, const char* name, const char* type,
               const char* help, const std::function<double(const CameraState&)>& value) {
    Family(out, name, type, help);
    for (const CameraState& camera : cameras) {
        out +=
            std::string(name) + "{camera=\"" + MetricsLabelValue(camera.name) + "\"} " + Number(value(camera)) + "\n";
    }
}

}  // namespace

std::string MetricsLabelValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string MetricsText(const std::vector<CameraState>& cameras, std::optional<long long> outboxLength,
                        const DeliveryCounts& deliveries, TimeOfDay now) {
    std::string out;
    PerCamera(out, cameras, "kalvero_frames_read_total", "counter", "Frames read from the camera.",
              [](const CameraState& c) { return static_cast<double>(c.framesRead); });
    PerCamera(out, cameras, "kalvero_passes_total", "counter", "Carriage passes stored from the camera.",
              [](const CameraState& c) { return static_cast<double>(c.passesStored); });
    PerCamera(out, cameras, "kalvero_camera_connected", "gauge", "1 while frames arrive from the camera, else 0.",
              [](const CameraState& c) { return c.connected ? 1.0 : 0.0; });
    PerCamera(out, cameras, "kalvero_camera_frames_per_second", "gauge",
              "Frames read per second over the last few seconds.",
              [](const CameraState& c) { return c.framesPerSecond; });
    PerCamera(out, cameras, "kalvero_camera_seconds_since_last_frame", "gauge",
              "Seconds since the camera's last frame arrived (+Inf before the first).", [now](const CameraState& c) {
                  if (!c.lastFrame) return HUGE_VAL;
                  return std::chrono::duration<double>(now - *c.lastFrame).count();
              });
    PerCamera(out, cameras, "kalvero_recognition_seconds_total", "counter",
              "Seconds spent recognising the camera's frames (divide by frames read for the mean).",
              [](const CameraState& c) { return c.recognitionSeconds; });
    if (outboxLength) {
        Family(out, "kalvero_webhook_outbox_length", "gauge", "Webhook deliveries waiting in the outbox.");
        out += "kalvero_webhook_outbox_length " + std::to_string(*outboxLength) + "\n";
    }
    Family(out, "kalvero_webhook_delivered_total", "counter", "Webhook POSTs a receiver took (2xx).");
    out += "kalvero_webhook_delivered_total " + std::to_string(deliveries.delivered) + "\n";
    Family(out, "kalvero_webhook_failures_total", "counter", "Webhook POSTs that failed (no answer, 4xx, 5xx).");
    out += "kalvero_webhook_failures_total " + std::to_string(deliveries.failed) + "\n";
    Family(out, "kalvero_webhook_dropped_total", "counter", "Webhook deliveries given up after repeated 4xx.");
    out += "kalvero_webhook_dropped_total " + std::to_string(deliveries.dropped) + "\n";
    return out;
}

}  // namespace kalvero

#include "serve/HealthCheck.h"

#include <exception>

namespace kalvero {

std::vector<std::string> HealthProblems(PassStore& store, const std::vector<CameraState>& cameras, TimeOfDay now,
                                        TimeOfDay startedAt) {
    std::vector<std::string> problems;
    std::string reason;
    try {
        if (!store.Writable(reason)) {
            problems.push_back("store not writable: " + (reason.empty() ? std::string("no reason given") : reason));
        }
    } catch (const std::exception& error) {
        problems.push_back(std::string("store not writable: ") + error.what());
    }
    for (const CameraState& camera : cameras) {
        if (camera.isFile || camera.finished) continue;
        if (camera.lastFrame) {
            const auto silent = std::chrono::duration_cast<std::chrono::seconds>(now - *camera.lastFrame);
            if (silent > kCameraSilenceLimit) {
                problems.push_back("camera " + camera.name + ": no frame for " + std::to_string(silent.count()) + " s" +
                                   (camera.lastError.empty() ? "" : " (" + camera.lastError + ")"));
            }
        } else if (now - startedAt > kCameraSilenceLimit) {
            problems.push_back("camera " + camera.name + ": no frame since the service started" +
                               (camera.lastError.empty() ? "" : " (" + camera.lastError + ")"));
        }
    }
    return problems;
}

}  // namespace kalvero

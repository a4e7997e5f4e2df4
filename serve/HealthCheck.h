#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "cli/TimeOfDay.h"
#include "serve/CameraBoard.h"
#include "serve/PassStore.h"

namespace kalvero {

// A stream camera is unhealthy when its last frame is older than this.
constexpr std::chrono::seconds kCameraSilenceLimit{60};

// What is wrong with the service at `now`, one sentence per problem; empty
// when it is healthy. Problems: the store takes no write (its probe fails
// or throws); a stream camera (not a file) that is not finished and whose
// last frame is older than kCameraSilenceLimit, or that has delivered no
// frame at all once the service has run that long since `startedAt`.
// Files and finished cameras are never a problem.
std::vector<std::string> HealthProblems(PassStore& store, const std::vector<CameraState>& cameras, TimeOfDay now,
                                        TimeOfDay startedAt);

}  // namespace kalvero

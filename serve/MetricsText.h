#pragma once
#include <optional>
#include <string>
#include <vector>

#include "cli/TimeOfDay.h"
#include "serve/CameraBoard.h"
#include "serve/DeliveryCounts.h"

namespace kalvero {

// The service's figures in Prometheus's text format 0.0.4, each with its
// HELP and TYPE lines: per camera (label `camera`) frames read, passes
// stored, connected, frames per second, seconds since its last frame (+Inf
// before the first) and recognition seconds; the webhook outbox's length
// (left out when the store could not say) and the sender's counts.
std::string MetricsText(const std::vector<CameraState>& cameras, std::optional<long long> outboxLength,
                        const DeliveryCounts& deliveries, TimeOfDay now);

// A label value with \ " and line ends escaped as the format wants.
std::string MetricsLabelValue(const std::string& text);

}  // namespace kalvero

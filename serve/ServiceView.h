#pragma once
#include <functional>
#include <string>
#include <vector>

#include "serve/CameraBoard.h"
#include "serve/DeliveryCounts.h"
#include "serve/PassStore.h"

namespace kalvero {

// What the web server reads and changes of the running service. The
// service owns all of it and outlives the server.
struct ServiceView {
    PassStore& store;
    const CameraBoard& cameras;
    std::function<DeliveryCounts()> deliveries;  // the webhook sender's counts
    std::vector<std::string> webhooks;           // addresses a correction is announced to
    std::string token;                           // the bearer token of the API and the sign-in
};

}  // namespace kalvero

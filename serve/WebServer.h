#pragma once
#include <memory>
#include <ostream>
#include <string>

#include "serve/ServiceView.h"

namespace kalvero {

// The service's web page, its JSON API under /api/, /healthz and /metrics,
// served on threads of their own.
class WebServer {
public:
    WebServer(ServiceView view, std::ostream& log);
    ~WebServer();  // stops
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens on `listen` ("host:port"; port 0 takes a free one). False with
    // `error` set when the address is bad or cannot be bound.
    bool Start(const std::string& listen, std::string& error);
    void Stop();
    // The port it listens on, once started.
    int Port() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kalvero

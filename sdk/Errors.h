#pragma once
#include <exception>
#include <string>

#include "kalvero/kalvero.h"

namespace kalvero::sdk {

// The calling thread's last failure: set by a function that fails, read by
// kalvero_last_error. Returns `status` so that a failure is one statement.
int Fail(int status, const std::string& message);

// Empties the calling thread's message (a call that succeeds leaves none).
void ClearError();

// The calling thread's message, "" when none, and its status.
const char* LastError();
int LastStatus();

// Runs `body` (returning a status) and turns any exception into a status
// and a message: nothing thrown inside the library crosses the C interface.
template <typename Body>
int Guarded(Body&& body) {
    try {
        return body();
    } catch (const std::exception& error) {
        return Fail(KALVERO_E_INTERNAL, std::string("unexpected error: ") + error.what());
    } catch (...) {
        return Fail(KALVERO_E_INTERNAL, "unexpected error");
    }
}

}  // namespace kalvero::sdk

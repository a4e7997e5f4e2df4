#include "Errors.h"

#include "kalvero/kalvero.h"

namespace kalvero::sdk {

namespace {
thread_local std::string lastError;
}  // namespace

int Fail(int status, const std::string& message) {
    lastError = message;
    return status;
}

void ClearError() { lastError.clear(); }

const char* LastError() { return lastError.c_str(); }

}  // namespace kalvero::sdk

extern "C" const char* kalvero_last_error(void) { return kalvero::sdk::LastError(); }

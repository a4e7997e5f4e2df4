#include "Errors.h"

#include "kalvero/kalvero.h"

namespace kalvero::sdk {

namespace {
thread_local std::string lastError;
thread_local int lastStatus = KALVERO_OK;
}  // namespace

int Fail(int status, const std::string& message) {
    lastError = message;
    lastStatus = status;
    return status;
}

void ClearError() {
    lastError.clear();
    lastStatus = KALVERO_OK;
}

const char* LastError() { return lastError.c_str(); }

int LastStatus() { return lastStatus; }

}  // namespace kalvero::sdk

extern "C" const char* kalvero_last_error(void) { return kalvero::sdk::LastError(); }

extern "C" int kalvero_last_status(void) { return kalvero::sdk::LastStatus(); }

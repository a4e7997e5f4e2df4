#include "KalveroVersion.h"
#include "kalvero/kalvero.h"

extern "C" const char* kalvero_version(void) { return KALVERO_VERSION_TEXT; }

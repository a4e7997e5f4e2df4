// SCAFFOLD: replaced by the worker loop.
#include "worker/VideoThread.h"

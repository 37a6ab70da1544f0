#include "core/version.h"

#ifndef SLATE_VERSION
#define SLATE_VERSION "unknown"
#endif

const char slateVersion[] = SLATE_VERSION;

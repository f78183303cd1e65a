// Compiling this file checks the host record layouts for the architecture being built.
#include "sdk/host_api.h"

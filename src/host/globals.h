// Per-run globals and the module-wide values of the entry layer.
#pragma once

#include <cstdint>

#include "params/effect_parameters.h"
#include "sdk/host_api.h"

namespace fw {

// Lives in a host handle kept in the entry point's data slot; locked for each call.
struct PluginGlobals {
    int16_t* ResultRef;
    sdk::FilterRecord* FilterRef;
    sdk::Rect ProxyBounds;  // the dialog's preview rectangle
};

// The host's filter record of the call in progress.
extern sdk::FilterRecord* CurrentFilterRecord;

inline sdk::FilterRecord& Filter(PluginGlobals* g) {
    return *g->FilterRef;
}
inline int16_t& Result(PluginGlobals* g) {
    return *g->ResultRef;
}

// The parameter record inside the host's parameters handle, or null when there is none.
EffectParameters* Parameters(PluginGlobals* g);

// Creates the parameter record with its defaults when the host holds none.
// False (and result -108) when the handle cannot be had.
bool EnsureParameters(PluginGlobals* g);

}  // namespace fw

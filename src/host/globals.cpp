// The parameter record in the host's parameters handle.
#include <cstring>

#include "host/globals.h"
#include "host/host_services.h"

namespace fw {

using namespace sdk;

FilterRecord* CurrentFilterRecord = nullptr;

EffectParameters* Parameters(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    if (!fr.parameters) return nullptr;
    // Balanced lock and unlock: the host moves no block while our call runs, and a host
    // that counts locks sees none left over.
    void* block = HostLockHandle(fr.handleProcs, fr.parameters, false);
    HostUnlockHandle(fr.handleProcs, fr.parameters);
    return static_cast<EffectParameters*>(block);
}

bool EnsureParameters(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    if (fr.parameters) return true;
    Handle h = HostNewHandle(fr.handleProcs, sizeof(EffectParameters));
    void* block = h ? HostLockHandle(fr.handleProcs, h, false) : nullptr;
    if (!block) {
        if (h) HostDisposeHandle(fr.handleProcs, h);
        Result(g) = kMemFullErr;
        return false;
    }
    std::memset(block, 0, sizeof(EffectParameters));
    fr.parameters = h;
    auto* p = static_cast<EffectParameters*>(block);
    SetDefaults(*p);
    p->HostIsPremiere = IsHostPremiere() ? 1 : 0;
    return true;
}

}  // namespace fw

// The module's exported entry: dispatches the host's selectors to the phase operations.
#include "host/plugin_main.h"

#include <cstring>
#include <exception>

#include "host/globals.h"
#include "host/host_services.h"
#include "host/phases.h"
#include "platform/platform.h"

namespace fw {

using namespace sdk;

void InitGlobals(PluginGlobals* g) {
    EnsureParameters(g);
}

PluginGlobals* AllocateGlobals(int16_t* result, FilterRecord* fr, size_t size, intptr_t* data,
                               void (*init)(PluginGlobals*)) {
    if (*data != 0) {
        Handle h = reinterpret_cast<Handle>(*data);
        auto* g = static_cast<PluginGlobals*>(HostLockHandle(fr->handleProcs, h, true));
        if (g) {
            g->ResultRef = result;
            g->FilterRef = fr;
            *result = kNoErr;
        }
        return g;
    }
    Handle h = HostNewHandle(fr->handleProcs, static_cast<int32_t>(size));
    if (!h) return nullptr;
    auto* g = static_cast<PluginGlobals*>(HostLockHandle(fr->handleProcs, h, true));
    if (!g) {
        HostDisposeHandle(fr->handleProcs, h);
        return nullptr;
    }
    std::memset(g, 0, size);
    g->ResultRef = result;
    g->FilterRef = fr;
    *result = kNoErr;
    init(g);
    *data = reinterpret_cast<intptr_t>(h);
    return g;
}

}  // namespace fw

using namespace fw;

extern "C" FW_EXPORT void PluginMain(int16_t selector, void* paramBlock, intptr_t* data,
                                     int16_t* result) {
    auto* fr = static_cast<sdk::FilterRecord*>(paramBlock);
    CurrentFilterRecord = fr;
    if (selector == sdk::kSelectorAbout) {
        const auto* about = static_cast<const sdk::AboutRecord*>(paramBlock);
        const auto* pd =
            about ? static_cast<const sdk::PlatformData*>(about->platformData) : nullptr;
        platform::ShowAboutBox(pd ? pd->hwnd : 0);
        // A host may have left anything there and reads it afterwards.
        if (result) *result = sdk::kNoErr;
        return;
    }
    if (!result) return;
    if (!fr || !data) {
        *result = sdk::kFilterBadParameters;
        return;
    }
    PluginGlobals* g = AllocateGlobals(result, fr, sizeof(PluginGlobals), data, InitGlobals);
    if (!g) {
        *result = sdk::kMemFullErr;
        return;
    }
    // No exception may reach the host; the only ones the phases can meet are memory's.
    try {
        switch (selector) {
            case sdk::kSelectorParameters:
                DoParameters(g);
                break;
            case sdk::kSelectorPrepare:
                DoPrepare(g);
                break;
            case sdk::kSelectorStart:
                DoStart(g);
                break;
            case sdk::kSelectorContinue:
                DoContinue(g);
                break;
            case sdk::kSelectorFinish:
                DoFinish(g);
                break;
            default:
                *result = sdk::kFilterBadParameters;
                break;
        }
    } catch (const std::exception&) {
        *result = sdk::kMemFullErr;
    }
    if (*data != 0) HostUnlockHandle(fr->handleProcs, reinterpret_cast<sdk::Handle>(*data));
}

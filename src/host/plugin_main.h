// The exported entry point of the module.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/globals.h"

#if defined(_WIN32)
#define FW_EXPORT __declspec(dllexport)
#else
#define FW_EXPORT __attribute__((visibility("default")))
#endif

namespace fw {

// Finds the globals block in the host's data slot, or makes it (running `init` once).
PluginGlobals* AllocateGlobals(int16_t* result, sdk::FilterRecord* fr, size_t size, intptr_t* data,
                               void (*init)(PluginGlobals*));
void InitGlobals(PluginGlobals* g);

}  // namespace fw

// cdecl on i686: hosts call it through a plain C function pointer.
extern "C" FW_EXPORT void PluginMain(int16_t selector, void* paramBlock, intptr_t* data,
                                     int16_t* result);

// Wrappers around the host's callback tables: memory handles (with our own handles when
// the host offers none), the scripting descriptor procedures, and host identification.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/host_api.h"

namespace fw {

// Set to -108 when one of our own handles could not be made.
extern int16_t g_lastHandleError;

bool HandleProcsAvailable(const sdk::HandleProcs* procs);
sdk::Handle HostNewHandle(const sdk::HandleProcs* procs, int32_t size);
void HostDisposeHandle(const sdk::HandleProcs* procs, sdk::Handle h);
void* HostLockHandle(const sdk::HandleProcs* procs, sdk::Handle h, bool moveHigh);
void HostUnlockHandle(const sdk::HandleProcs* procs, sdk::Handle h);

bool DescriptorAvailable(const sdk::PIDescriptorParameters* params);
sdk::OSErr CloseReader(sdk::PIDescriptorParameters* params, const sdk::HandleProcs* procs,
                       sdk::PIReadDescriptor& token);
sdk::OSErr CloseWriter(sdk::PIDescriptorParameters* params, const sdk::HandleProcs* procs,
                       sdk::PIWriteDescriptor& token);
bool PlayDialog(const sdk::PIDescriptorParameters* params);

// What the host executable's version resource tells about the host.
struct HostInfo {
    sdk::OSType signature = 0;
    int major = 0;
    int minor = 0;
    int third = 0;
    int platform = 0;  // 10 Windows NT, 11 16-bit Windows, 12 other, 0 nothing found
};

// Reads a raw version resource (VS_VERSIONINFO layout). Works on any system, so the
// identification is tested natively on crafted data.
HostInfo ParseHostVersionResource(const std::vector<uint8_t>& data);

// Version word for `groupSignature` given what is known about the host: 0 when the host is
// not in that group or nothing was identified.
uint32_t HostVersionFor(const HostInfo& info, sdk::OSType groupSignature);

// The same for the running host; identifies it on first use.
uint32_t HostGetVersion(sdk::OSType groupSignature);
bool HostIsWindows(uint32_t version);
bool IsHostPremiere();

}  // namespace fw

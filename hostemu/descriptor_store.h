// The emulated host's scripting descriptors: reading and writing procedure tables backed
// by in-memory descriptors that live in host handles, as a real host's actions do.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/host_api.h"

namespace hostemu {

struct DescriptorItem {
    uint32_t key = 0;
    uint32_t type = 0;  // 'long', 'UntF', 'doub' or 'bool'
    int32_t integer = 0;
    double real = 0;
    uint32_t unit = 0;
    bool boolean = false;
};

using Descriptor = std::vector<DescriptorItem>;

// The procedure tables; `readCount` lets a test offer fewer procedures than needed.
fw::sdk::ReadDescriptorProcs* DescriptorReadProcs(int16_t readCount = 18);
fw::sdk::WriteDescriptorProcs* DescriptorWriteProcs();

// A host handle holding `d` (made through the host's own handle procedures).
fw::sdk::Handle MakeDescriptorHandle(const Descriptor& d);
// The descriptor held by `h`; false when `h` is not a descriptor handle.
bool ReadDescriptorHandle(fw::sdk::Handle h, Descriptor& d);
// Called when a handle is disposed of.
void ForgetDescriptorHandle(fw::sdk::Handle h);

}  // namespace hostemu

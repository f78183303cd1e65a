#include "hostemu/descriptor_store.h"

#include <map>

namespace hostemu {

using namespace fw::sdk;

// From emulated_host.cpp: the host's handle procedures.
Handle HostNewHandleForStore(int32_t size);

namespace {

std::map<Handle, Descriptor> g_descriptors;

struct ReadState {
    Descriptor items;
    size_t next = 0;
    const DescriptorItem* current = nullptr;
    DescriptorKeyID* keys = nullptr;
};

struct WriteState {
    Descriptor items;
};

ReadState* R(PIReadDescriptor t) {
    return static_cast<ReadState*>(t);
}
WriteState* W(PIWriteDescriptor t) {
    return static_cast<WriteState*>(t);
}

PIReadDescriptor OpenRead(Handle descriptor, DescriptorKeyID* keys) {
    auto it = g_descriptors.find(descriptor);
    if (!descriptor || it == g_descriptors.end()) return nullptr;
    auto* state = new ReadState{it->second, 0, nullptr, keys};
    return state;
}

// Keys still in the caller's array when reading ends were missing.
OSErr CloseRead(PIReadDescriptor t) {
    ReadState* s = R(t);
    if (!s) return kParamErr;
    OSErr err = kNoErr;
    for (DescriptorKeyID* k = s->keys; k && *k; ++k)
        if (*k != kTypeNull) err = kErrMissingParameter;
    delete s;
    return err;
}

Boolean GetKey(PIReadDescriptor t, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    ReadState* s = R(t);
    if (!s || s->next >= s->items.size()) return 0;
    s->current = &s->items[s->next++];
    *key = s->current->key;
    *type = s->current->type;
    if (flags) *flags = 0;
    for (DescriptorKeyID* k = s->keys; k && *k; ++k)
        if (*k == s->current->key) *k = kTypeNull;
    return 1;
}

OSErr GetInteger(PIReadDescriptor t, int32_t* v) {
    const DescriptorItem* c = R(t) ? R(t)->current : nullptr;
    if (!c) return kParamErr;
    if (c->type == kTypeInteger) {
        *v = c->integer;
        return kNoErr;
    }
    if (c->type == kTypeUnitFloat || c->type == kTypeFloat) {
        *v = int32_t(c->real);
        return 2;  // coerced
    }
    return kParamErr;
}

OSErr GetFloat(PIReadDescriptor t, double* v) {
    const DescriptorItem* c = R(t) ? R(t)->current : nullptr;
    if (!c) return kParamErr;
    if (c->type == kTypeFloat || c->type == kTypeUnitFloat) {
        *v = c->real;
        return kNoErr;
    }
    if (c->type == kTypeInteger) {
        *v = c->integer;
        return 2;
    }
    return kParamErr;
}

OSErr GetUnitFloat(PIReadDescriptor t, DescriptorUnitID* unit, double* v) {
    const DescriptorItem* c = R(t) ? R(t)->current : nullptr;
    if (c && unit) *unit = c->unit;
    return GetFloat(t, v);
}

OSErr GetBoolean(PIReadDescriptor t, Boolean* v) {
    const DescriptorItem* c = R(t) ? R(t)->current : nullptr;
    if (!c || c->type != kTypeBoolean) return kParamErr;
    *v = c->boolean ? 1 : 0;
    return kNoErr;
}

// The procedures this host does not use answer like a host with nothing of that kind.
OSErr NoHandle(PIReadDescriptor, Handle*) {
    return kParamErr;
}
OSErr NoType(PIReadDescriptor, uint32_t*) {
    return kParamErr;
}
OSErr NoReference(PIReadDescriptor, PIDescriptorSimpleReference*) {
    return kParamErr;
}
OSErr NoObject(PIReadDescriptor, uint32_t*, Handle*) {
    return kParamErr;
}
OSErr NoString(PIReadDescriptor, unsigned char (*)[256]) {
    return kParamErr;
}
OSErr NoPinnedInteger(PIReadDescriptor, int32_t, int32_t, int32_t*) {
    return kParamErr;
}
OSErr NoPinnedFloat(PIReadDescriptor, const double*, const double*, double*) {
    return kParamErr;
}
OSErr NoPinnedUnitFloat(PIReadDescriptor, const double*, const double*, DescriptorUnitID*,
                        double*) {
    return kParamErr;
}

PIWriteDescriptor OpenWrite() {
    return new WriteState();
}

OSErr CloseWrite(PIWriteDescriptor t, Handle* out) {
    WriteState* s = W(t);
    if (!s) return kParamErr;
    if (out) *out = MakeDescriptorHandle(s->items);
    delete s;
    return kNoErr;
}

OSErr Put(PIWriteDescriptor t, DescriptorItem item) {
    if (!W(t)) return kParamErr;
    W(t)->items.push_back(item);
    return kNoErr;
}

OSErr PutInteger(PIWriteDescriptor t, DescriptorKeyID key, int32_t v) {
    DescriptorItem i;
    i.key = key;
    i.type = kTypeInteger;
    i.integer = v;
    return Put(t, i);
}

OSErr PutFloat(PIWriteDescriptor t, DescriptorKeyID key, const double* v) {
    DescriptorItem i;
    i.key = key;
    i.type = kTypeFloat;
    i.real = *v;
    return Put(t, i);
}

OSErr PutUnitFloat(PIWriteDescriptor t, DescriptorKeyID key, DescriptorUnitID unit,
                   const double* v) {
    DescriptorItem i;
    i.key = key;
    i.type = kTypeUnitFloat;
    i.unit = unit;
    i.real = *v;
    return Put(t, i);
}

OSErr PutBoolean(PIWriteDescriptor t, DescriptorKeyID key, Boolean v) {
    DescriptorItem i;
    i.key = key;
    i.type = kTypeBoolean;
    i.boolean = v != 0;
    return Put(t, i);
}

OSErr PutHandle(PIWriteDescriptor, DescriptorKeyID, Handle) {
    return kParamErr;
}
OSErr PutEnumerated(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, uint32_t) {
    return kParamErr;
}
OSErr PutClass(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID) {
    return kParamErr;
}
OSErr PutReference(PIWriteDescriptor, DescriptorKeyID, const PIDescriptorSimpleReference*) {
    return kParamErr;
}
OSErr PutObject(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, Handle) {
    return kParamErr;
}
OSErr PutCount(PIWriteDescriptor, DescriptorKeyID, uint32_t) {
    return kParamErr;
}
OSErr PutString(PIWriteDescriptor, DescriptorKeyID, const unsigned char*) {
    return kParamErr;
}

}  // namespace

ReadDescriptorProcs* DescriptorReadProcs(int16_t readCount) {
    static ReadDescriptorProcs procs;
    procs = ReadDescriptorProcs{0,          readCount,       OpenRead,      CloseRead,
                                GetKey,     GetInteger,      GetFloat,      GetUnitFloat,
                                GetBoolean, NoHandle,        NoHandle,      NoType,
                                NoType,     NoReference,     NoObject,      NoType,
                                NoString,   NoPinnedInteger, NoPinnedFloat, NoPinnedUnitFloat};
    return &procs;
}

WriteDescriptorProcs* DescriptorWriteProcs() {
    static WriteDescriptorProcs procs{
        0,          16,        OpenWrite, CloseWrite,    PutInteger, PutFloat,     PutUnitFloat,
        PutBoolean, PutHandle, PutHandle, PutEnumerated, PutClass,   PutReference, PutObject,
        PutCount,   PutString, PutClass,  PutObject};
    return &procs;
}

Handle MakeDescriptorHandle(const Descriptor& d) {
    Handle h = HostNewHandleForStore(8);
    if (h) g_descriptors[h] = d;
    return h;
}

bool ReadDescriptorHandle(Handle h, Descriptor& d) {
    auto it = g_descriptors.find(h);
    if (it == g_descriptors.end()) return false;
    d = it->second;
    return true;
}

void ForgetDescriptorHandle(Handle h) {
    g_descriptors.erase(h);
}

}  // namespace hostemu

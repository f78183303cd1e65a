// Actions: every parameter goes into the host's scripting descriptor when a run finishes
// and comes back from it when the host replays the run.
#include <cstdint>

#include "host/host_services.h"
#include "host/scripting_hooks.h"
#include "params/parameter_fields.h"

namespace fw {

using namespace sdk;

namespace {

constexpr uint32_t K(const char (&k)[5]) {
    return KeyCode(k);
}

// The keys asked for when reading; the position and centre keys are listed twice.
constexpr DescriptorKeyID kReadKeys[] = {
    K("AtUp"), K("CtnX"), K("CtnY"), K("RndM"), K("AlpC"), K("CtnX"), K("CtnY"),
    K("MskK"), K("PtrK"), K("GrwD"), K("RndS"), K("MnIn"), K("MxIt"), K("MxTr"),
    K("Wdth"), K("Lngh"), K("Comp"), K("CmDs"), K("Dspr"), K("LsID"), K("PLen"),
    K("PWid"), K("InDp"), K("Scle"), K("Diff"), K("Spec"), K("Shin"), K("ShSt"),
    K("SlIl"), K("Trns"), K("BmpP"), K("Rfrc"), K("Keff"), K("Abbr"), K("LgCl"),
    K("LgAl"), K("LgBt"), K("LgMt"), K("UsBk"), K("UsGl"), K("EfKn"), K("Turn"),
    K("Trn1"), K("MxT1"), K("RttX"), K("Alph"), K("Beta"), K("Colr"), 0};
static_assert(sizeof(kReadKeys) / sizeof(kReadKeys[0]) == 49);

// What a recorded run writes, in order. UseBackLight, Alpha and Beta are read but never
// written, so a replay keeps whatever the record holds for them.
constexpr DescriptorKeyID kWriteKeys[] = {
    K("AtUp"), K("CtnX"), K("CtnY"), K("RndM"), K("MskK"), K("PtrK"), K("GrwD"), K("RndS"),
    K("MnIn"), K("MxIt"), K("MxTr"), K("Wdth"), K("Lngh"), K("Comp"), K("CmDs"), K("Dspr"),
    K("LsID"), K("PLen"), K("PWid"), K("InDp"), K("Scle"), K("Diff"), K("Spec"), K("Shin"),
    K("ShSt"), K("SlIl"), K("Trns"), K("BmpP"), K("Rfrc"), K("Keff"), K("Abbr"), K("LgCl"),
    K("LgAl"), K("LgBt"), K("LgMt"), K("AlpC"), K("UsGl"), K("EfKn"), K("Turn"), K("Trn1"),
    K("MxT1"), K("RttX"), K("Colr")};
static_assert(sizeof(kWriteKeys) / sizeof(kWriteKeys[0]) == 43);

constexpr DescriptorKeyID kAutoUpdateKey = K("AtUp");

}  // namespace

void ReadScriptParams(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    if (!p) return;
    uint8_t answer = p->ShowDialog;
    PIDescriptorParameters* dp = fr.descriptorParameters;
    if (DescriptorAvailable(dp)) {
        // The host marks the keys it hands out in this array, so it is ours to change.
        DescriptorKeyID keys[sizeof(kReadKeys) / sizeof(kReadKeys[0])];
        for (size_t i = 0; i < sizeof(keys) / sizeof(keys[0]); ++i) keys[i] = kReadKeys[i];
        ReadDescriptorProcs* procs = dp->readDescriptorProcs;
        PIReadDescriptor token = procs->openReadDescriptorProc(dp->descriptor, keys);
        if (token) {
            // A getter that fails leaves its variable as the last read of its kind left it.
            Boolean boolean = 0;
            int32_t integer = 0;
            double real = 0;
            DescriptorKeyID key = 0;
            DescriptorTypeID type = 0;
            int32_t flags = 0;
            while (procs->getKeyProc(token, &key, &type, &flags)) {
                const ParameterField* field = FindFieldByKey(key);
                if (!field) continue;
                if (key == kAutoUpdateKey) {
                    procs->getBooleanProc(token, &boolean);
                    SetFieldInteger(*p, *field, boolean);
                } else if (field->kind == FieldKind::Real) {
                    DescriptorUnitID unit = 0;
                    procs->getUnitFloatProc(token, &unit, &real);
                    SetFieldReal(*p, *field, real);
                } else {
                    procs->getIntegerProc(token, &integer);
                    SetFieldInteger(*p, *field, integer);
                }
            }
            const OSErr err = CloseReader(dp, fr.handleProcs, token);
            if (err != kNoErr && err != kErrMissingParameter) Result(g) = err;
        }
        answer = PlayDialog(dp) ? 1 : 0;
    }
    p->ShowDialog = answer;
}

void WriteScriptParams(PluginGlobals* g) {
    FilterRecord& fr = Filter(g);
    EffectParameters* p = Parameters(g);
    PIDescriptorParameters* dp = fr.descriptorParameters;
    if (!p || !DescriptorAvailable(dp)) return;
    WriteDescriptorProcs* procs = dp->writeDescriptorProcs;
    PIWriteDescriptor token = procs->openWriteDescriptorProc();
    if (!token) return;
    for (DescriptorKeyID key : kWriteKeys) {
        const ParameterField& field = *FindFieldByKey(key);
        if (key == kAutoUpdateKey) {
            procs->putBooleanProc(token, key, Boolean(p->AutoUpdate & 0xFF));
        } else if (field.kind == FieldKind::Real) {
            const double value = GetFieldReal(*p, field);
            procs->putUnitFloatProc(token, key, kUnitDistance, &value);
        } else {
            procs->putIntegerProc(token, key, int32_t(GetFieldInteger(*p, field)));
        }
    }
    CloseWriter(dp, fr.handleProcs, token);
}

}  // namespace fw

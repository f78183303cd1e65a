#include "params/parameter_fields.h"

#include <cmath>
#include <cstring>

namespace fw {

#define FW_F(name, key, kind) \
    { #name, KeyCode(key), FieldKind::kind, offsetof(EffectParameters, name) }

const ParameterField kParameterFields[46] = {
    FW_F(AutoUpdate, "AtUp", ByteInInt32),
    FW_F(RenderMode, "RndM", Byte),
    FW_F(MaskKind, "MskK", Byte),
    FW_F(PatternKind, "PtrK", Byte),
    FW_F(GrowDirect, "GrwD", Byte),
    FW_F(RandomSeed, "RndS", Integer),
    FW_F(MinInterval, "MnIn", Real),
    FW_F(MaxIterations, "MxIt", Integer),
    FW_F(MaxTriangles, "MxTr", Integer),
    FW_F(Width, "Wdth", Real),
    FW_F(Lenght, "Lngh", Real),
    FW_F(Completance, "Comp", Real),
    FW_F(CompletanceDist, "CmDs", Real),
    FW_F(Dispers, "Dspr", Real),
    FW_F(LoseInitDir, "LsID", Real),
    FW_F(PLenght, "PLen", Real),
    FW_F(PWidth, "PWid", Real),
    FW_F(IntervDepend, "InDp", Real),
    FW_F(Scale, "Scle", Real),
    FW_F(Diffuse, "Diff", Colour),
    FW_F(Speculare, "Spec", Colour),
    FW_F(Shininess, "Shin", Real),
    FW_F(Shinstrength, "ShSt", Real),
    FW_F(SelfIllumination, "SlIl", Real),
    FW_F(Transparancy, "Trns", Real),
    FW_F(BumpPercent, "BmpP", Real),
    FW_F(Refraction, "Rfrc", Real),
    FW_F(Koefficient, "Keff", Real),
    FW_F(Aberration, "Abbr", Real),
    FW_F(LightColor, "LgCl", Colour),
    FW_F(LightAlpha, "LgAl", Real),
    FW_F(LightBeta, "LgBt", Real),
    FW_F(LightMultiplay, "LgMt", Real),
    FW_F(UseBackLight, "UsBk", Byte),
    FW_F(AlphaCut, "AlpC", Byte),
    FW_F(UseGlass, "UsGl", Byte),
    FW_F(EffectKind, "EfKn", Byte),
    FW_F(Turn, "Turn", Real),
    FW_F(Turn1, "Trn1", Real),
    FW_F(MaxTriangles1, "MxT1", Integer),
    FW_F(CenterX, "CtnX", Real),
    FW_F(CenterY, "CtnY", Real),
    FW_F(RotateX, "RttX", Real),
    FW_F(Alpha, "Alph", Real),
    FW_F(Beta, "Beta", Real),
    FW_F(Color, "Colr", Colour),
};

#undef FW_F

const ParameterField* FindFieldByKey(uint32_t key) {
    for (const ParameterField& f : kParameterFields)
        if (f.key == key) return &f;
    return nullptr;
}

const ParameterField* FindField(std::string_view nameOrKey) {
    for (const ParameterField& f : kParameterFields)
        if (nameOrKey == f.name) return &f;
    if (nameOrKey.size() == 4) {
        const char k[5] = {nameOrKey[0], nameOrKey[1], nameOrKey[2], nameOrKey[3], 0};
        return FindFieldByKey(KeyCode(k));
    }
    return nullptr;
}

namespace {

template <typename T>
T Read(const EffectParameters& p, size_t offset) {
    T v;
    std::memcpy(&v, reinterpret_cast<const char*>(&p) + offset, sizeof(T));
    return v;
}

template <typename T>
void Write(EffectParameters& p, size_t offset, T v) {
    std::memcpy(reinterpret_cast<char*>(&p) + offset, &v, sizeof(T));
}

// Whole part of a real, with NaN as 0 and the rest saturated (a plain cast is undefined).
int64_t Whole(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return int64_t(v);
}

}  // namespace

int64_t GetFieldInteger(const EffectParameters& p, const ParameterField& f) {
    switch (f.kind) {
        case FieldKind::Byte:
            return Read<uint8_t>(p, f.offset);
        case FieldKind::ByteInInt32:
        case FieldKind::Integer:
            return Read<int32_t>(p, f.offset);
        case FieldKind::Colour:
            return Read<uint32_t>(p, f.offset);
        case FieldKind::Real:
            return Whole(Read<float>(p, f.offset));
    }
    return 0;
}

double GetFieldReal(const EffectParameters& p, const ParameterField& f) {
    if (f.kind == FieldKind::Real) return Read<float>(p, f.offset);
    return double(GetFieldInteger(p, f));
}

void SetFieldInteger(EffectParameters& p, const ParameterField& f, int64_t value) {
    switch (f.kind) {
        case FieldKind::Byte:
            Write<uint8_t>(p, f.offset, uint8_t(value & 0xFF));
            break;
        case FieldKind::ByteInInt32:
            Write<int32_t>(p, f.offset, int32_t(value & 0xFF));
            break;
        case FieldKind::Integer:
            Write<int32_t>(p, f.offset, int32_t(uint32_t(value)));
            break;
        case FieldKind::Colour:
            Write<uint32_t>(p, f.offset, uint32_t(value));
            break;
        case FieldKind::Real:
            Write<float>(p, f.offset, float(value));
            break;
    }
}

void SetFieldReal(EffectParameters& p, const ParameterField& f, double value) {
    if (f.kind == FieldKind::Real)
        Write<float>(p, f.offset, float(value));
    else
        SetFieldInteger(p, f, Whole(value));
}

}  // namespace fw

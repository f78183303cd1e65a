// The effect's settings as data: each field of EffectParameters that presets, scripts and
// the command line carry, with its four-character key and its width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "params/effect_parameters.h"

namespace fw {

enum class FieldKind : uint8_t {
    Byte,         // u8
    ByteInInt32,  // AutoUpdate: a 32-bit field that holds a byte
    Integer,      // i32
    Colour,       // 0x00BBGGRR in 32 bits
    Real,         // f32
};

struct ParameterField {
    const char* name;  // the field's name
    uint32_t key;      // four-character code, first character in the high byte
    FieldKind kind;
    size_t offset;
};

constexpr uint32_t KeyCode(const char (&k)[5]) {
    return uint32_t(uint8_t(k[0])) << 24 | uint32_t(uint8_t(k[1])) << 16 |
           uint32_t(uint8_t(k[2])) << 8 | uint32_t(uint8_t(k[3]));
}

// All 46 carried fields, in record order.
extern const ParameterField kParameterFields[46];

const ParameterField* FindFieldByKey(uint32_t key);
// By field name or by four-letter key (exact case).
const ParameterField* FindField(std::string_view nameOrKey);

// Field values through the widest type that holds them exactly.
double GetFieldReal(const EffectParameters& p, const ParameterField& f);
int64_t GetFieldInteger(const EffectParameters& p, const ParameterField& f);
// Stores as the field's width does: bytes keep the low 8 bits, reals are rounded to f32.
void SetFieldInteger(EffectParameters& p, const ParameterField& f, int64_t value);
void SetFieldReal(EffectParameters& p, const ParameterField& f, double value);

}  // namespace fw

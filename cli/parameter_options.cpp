#include "cli/parameter_options.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "params/preset_file.h"

namespace fw::cli {

namespace {

// Lower case without spaces, hyphens and underscores: "U-like" and "ulike" are one name.
std::string Folded(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '-' && c != '_')
            out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// An integer written in decimal (with an optional minus sign) or in hex after 0x.
bool ParseInteger(const std::string& text, long long& value) {
    const char* b = text.data();
    const char* e = b + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        b += 2;
        base = 16;
    }
    if (b == e) return false;
    const auto r = std::from_chars(b, e, value, base);
    return r.ec == std::errc() && r.ptr == e;
}

int FromNames(const std::string& name, const char* const* names, int count, int first, int lowest,
              int highest) {
    const std::string want = Folded(name);
    for (int i = 0; i < count; ++i)
        if (want == Folded(names[i])) return first + i;
    long long v;
    if (!name.empty() && ParseInteger(name, v) && v >= lowest && v <= highest) return int(v);
    return -1;
}

std::string NameList(const char* const* names, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += std::string(i ? ", " : "") + "\"" + names[i] + "\"";
    return out;
}

std::string ShortestReal(float v) {
    char buf[48];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, double(v));
        if (std::strtof(buf, nullptr) == v) break;
    }
    return buf;
}

// Windows colour references are 0x00BBGGRR; people write 0xRRGGBB.
uint32_t SwapRedBlue(uint32_t c) {
    return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

const char* const kMeanings[46] = {
    "Update the preview automatically (dialog only)",
    "The mode of visualisation",
    "You can set path. Frost weave will grow up by this path",
    "The Frostweave effect kind: variant within the family",
    "You can set how to patterns will grou up relatively the path",
    "Initial state of random numbers generator",
    "Minimal interval between ice elements",
    "Maximal posible namber of iterations",
    "Maximal posible namber of triangles in each branch",
    "Average width of triangles",
    "Average lenght of triangles",
    "How Frostweaves covers the given path",
    "How Frostweaves grows up during the path covering",
    "Dispersion for different parameters",
    "The random losing of initial direction",
    "How triangles lenght change during growing",
    "How triangles width change during growing",
    "How triangles depend on intervals between brunches",
    "Scale of Frostweave scene",
    "Diffuse color of material",
    "Specular color of material",
    "Shininess of material",
    "Shine strength of material",
    "Self illumination of material",
    "Transparancy of material",
    "Value of bump on material surface",
    "Refraction of glass",
    "Optical koefficient of glass",
    "Chromatically aberration",
    "Color of light",
    "Light position: first angle (degrees)",
    "Light position: second angle (degrees)",
    "Value of light",
    "Carried by presets and scripts; no effect on the image",
    "The result holds the pattern alone (transparent or black around it)",
    "Use glass: refract the picture behind the frost",
    "The Frostweave effect kind: 1 Geometric, 2 Floral, 3 Single",
    "Declination of Ice branch",
    "Second declination of Ice branch",
    "Maximal posible namber of triangles in each subbranch",
    "Effect position by X (thousandths of half the width from the centre)",
    "Effect position by Y (thousandths of half the height, upwards)",
    "Rotation by X (degrees)",
    "Carried by presets and scripts; no effect on the image",
    "Carried by presets and scripts; no effect on the image",
    "Carried by presets and scripts; no effect on the image",
};

}  // namespace

EffectParameters DefaultParameters() {
    EffectParameters p;
    std::memset(&p, 0, sizeof p);
    SetDefaults(p);
    return p;
}

int EffectIndexFromName(const std::string& name) {
    return FromNames(name, kEffectNames, kEffectCount, 0, 0, kEffectCount - 1);
}
int MaskKindFromName(const std::string& name) {
    return FromNames(name, kMaskKindNames, 7, 1, 1, 7);
}
int GrowDirectionFromName(const std::string& name) {
    return FromNames(name, kGrowDirectNames, kGrowDirectionCount, 1, 1, kGrowDirectionCount);
}
int RenderModeFromName(const std::string& name) {
    return FromNames(name, kRenderModeNames, 5, 1, 1, 5);
}

bool SetFieldFromText(EffectParameters& p, const ParameterField& field, const std::string& text,
                      std::string& error) {
    const std::string what = std::string(field.name) + "=" + text + ": ";
    long long v = 0;
    switch (field.kind) {
        case FieldKind::Byte:
        case FieldKind::ByteInInt32:
            if (!ParseInteger(text, v) || v < 0 || v > 255) {
                error = what + "expected a whole number from 0 to 255";
                return false;
            }
            SetFieldInteger(p, field, v);
            return true;
        case FieldKind::Integer:
            if (!ParseInteger(text, v) || v < std::numeric_limits<int32_t>::min() ||
                v > std::numeric_limits<int32_t>::max()) {
                error = what + "expected a whole number (32-bit)";
                return false;
            }
            SetFieldInteger(p, field, v);
            return true;
        case FieldKind::Colour: {
            const bool hex =
                text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
            if (!ParseInteger(text, v) || v < 0 || v > (hex ? 0xFFFFFF : 0xFFFFFFFFLL)) {
                error = what + "expected a colour 0xRRGGBB or the decimal field value";
                return false;
            }
            SetFieldInteger(p, field, hex ? int64_t(SwapRedBlue(uint32_t(v))) : v);
            return true;
        }
        case FieldKind::Real: {
            char* end = nullptr;
            errno = 0;
            const double d = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
            if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(d) ||
                std::fabs(d) > double(std::numeric_limits<float>::max())) {
                error = what + "expected a number";
                return false;
            }
            SetFieldReal(p, field, d);
            return true;
        }
    }
    error = what + "unknown field kind";
    return false;
}

std::string FieldValueText(const EffectParameters& p, const ParameterField& field) {
    switch (field.kind) {
        case FieldKind::Real:
            return ShortestReal(float(GetFieldReal(p, field)));
        case FieldKind::Colour: {
            const uint32_t c = uint32_t(GetFieldInteger(p, field));
            if (c > 0xFFFFFFu) return std::to_string(c);
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%06X", unsigned(SwapRedBlue(c)));
            return buf;
        }
        default:
            return std::to_string(GetFieldInteger(p, field));
    }
}

std::string FieldValueDescription(const EffectParameters& p, const ParameterField& field) {
    const std::string name = field.name;
    const long long v = GetFieldInteger(p, field);
    auto named = [&](const char* const* names, int count, int first) {
        std::string s = std::to_string(v);
        if (v >= first && v < first + count) s += std::string(" (") + names[v - first] + ")";
        return s;
    };
    if (name == "RenderMode") return named(kRenderModeNames, 5, 1);
    if (name == "MaskKind") return named(kMaskKindNames, 7, 1);
    if (name == "GrowDirect") return named(kGrowDirectNames, kGrowDirectionCount, 1);
    if (name == "EffectKind" || name == "PatternKind") {
        std::string s = std::to_string(v);
        const int index = EffectIndexOf(p);
        if (index >= 0 && index < kEffectCount) s += std::string(" (") + kEffectNames[index] + ")";
        return s;
    }
    if (field.kind == FieldKind::Colour) {
        const std::string text = FieldValueText(p, field);
        if (text[0] != '0') return text;
        std::string shown = "#";  // built in steps: GCC 12 warns falsely on "#" + string
        shown += text.substr(2);
        return shown + " (" + std::to_string(v) + ")";
    }
    return FieldValueText(p, field);
}

const char* FieldMeaning(const ParameterField& field) {
    const size_t i = size_t(&field - kParameterFields);
    return i < 46 ? kMeanings[i] : "";
}

bool ApplyParameterOptions(const ParameterOptions& o, EffectParameters& p, std::string& error) {
    if (!o.preset.empty()) {
        FILE* f = std::fopen(o.preset.c_str(), "rb");
        if (!f) {
            error = "cannot open preset '" + o.preset + "': " + std::strerror(errno);
            return false;
        }
        std::fclose(f);
        if (!LoadPresetFile(o.preset, p)) {
            error = "'" + o.preset + "' is not a preset file (no \"Max Frostweave1\" header)";
            return false;
        }
    }
    if (!o.effect.empty()) {
        const int i = EffectIndexFromName(o.effect);
        if (i < 0) {
            error = "unknown effect \"" + o.effect + "\"; one of " +
                    NameList(kEffectNames, kEffectCount);
            return false;
        }
        SetEffectIndex(p, i);
    }
    if (!o.maskKind.empty()) {
        const int v = MaskKindFromName(o.maskKind);
        if (v < 0) {
            error =
                "unknown mask kind \"" + o.maskKind + "\"; one of " + NameList(kMaskKindNames, 7);
            return false;
        }
        p.MaskKind = uint8_t(v);
    }
    if (!o.growDirection.empty()) {
        const int v = GrowDirectionFromName(o.growDirection);
        if (v < 0) {
            error = "unknown growth direction \"" + o.growDirection + "\"; one of " +
                    NameList(kGrowDirectNames, kGrowDirectionCount);
            return false;
        }
        p.GrowDirect = uint8_t(v);
    }
    if (!o.renderMode.empty()) {
        const int v = RenderModeFromName(o.renderMode);
        if (v < 0) {
            error = "unknown render mode \"" + o.renderMode + "\"; one of " +
                    NameList(kRenderModeNames, 5);
            return false;
        }
        p.RenderMode = uint8_t(v);
    }
    if (o.seed) {
        if (!SetFieldFromText(p, *FindField("RandomSeed"), std::to_string(*o.seed), error))
            return false;
    }
    if (!o.center.empty()) {
        const size_t comma = o.center.find(',');
        std::string e1, e2;
        if (comma == std::string::npos ||
            !SetFieldFromText(p, *FindField("CenterX"), o.center.substr(0, comma), e1) ||
            !SetFieldFromText(p, *FindField("CenterY"), o.center.substr(comma + 1), e2)) {
            error =
                "--center " + o.center + ": expected X,Y (numbers, -1000 to 1000 spans the area)";
            return false;
        }
    }
    if (o.alphaCut) p.AlphaCut = 1;
    for (const std::string& set : o.sets) {
        const size_t eq = set.find('=');
        if (eq == std::string::npos) {
            error = "--set " + set + ": expected NAME=VALUE";
            return false;
        }
        const std::string name = set.substr(0, eq);
        const ParameterField* field = FindField(name);
        if (!field) {
            error = "--set " + set + ": unknown field \"" + name +
                    "\" (see 'frostweave preset show' for the names and keys)";
            return false;
        }
        if (!SetFieldFromText(p, *field, set.substr(eq + 1), error)) {
            error = "--set " + error;
            return false;
        }
    }
    p.NeedsRegeneration = 1;
    return true;
}

std::vector<std::string> ParametersAsSetArguments(const EffectParameters& p) {
    std::vector<std::string> args;
    for (const ParameterField& f : kParameterFields) {
        args.push_back("--set");
        args.push_back(std::string(f.name) + "=" + FieldValueText(p, f));
    }
    return args;
}

}  // namespace fw::cli

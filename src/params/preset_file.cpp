#include "params/preset_file.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace fw {
namespace {

// Key codes as the scripting keys spell them: 'AtUp' has 'A' in the top byte.
constexpr uint32_t Code(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
           uint32_t(uint8_t(s[2])) << 8 | uint32_t(uint8_t(s[3]));
}

enum class Kind : uint8_t {
    Byte,         // u8 field
    ByteOfInt32,  // AutoUpdate: a 32-bit field carried as its low byte
    Integer,      // i32 or colour field, printed signed
    Real,         // f32 field
};

struct PresetLine {
    uint32_t code;
    Kind kind;
    size_t offset;  // of the field in EffectParameters
    const char* comment;
};

#define FW_FIELD(name) offsetof(EffectParameters, name)

// File order. Comments are part of the format: other readers and users' diff tools see them.
constexpr PresetLine kLines[kPresetLineCount] = {
    {Code("AtUp"), Kind::ByteOfInt32, FW_FIELD(AutoUpdate), "\t\t\t\t;Auto Apdates"},
    {Code("CtnX"), Kind::Real, FW_FIELD(CenterX), "\t\t\t\t;Center X"},
    {Code("CtnY"), Kind::Real, FW_FIELD(CenterY), ""},
    {Code("RndM"), Kind::Byte, FW_FIELD(RenderMode), "\t\t\t\t;RenderMode"},
    {Code("MskK"), Kind::Byte, FW_FIELD(MaskKind), "\t\t\t\t;MaskKind"},
    {Code("PtrK"), Kind::Byte, FW_FIELD(PatternKind), "\t\t\t\t;PatternKind"},
    {Code("GrwD"), Kind::Byte, FW_FIELD(GrowDirect), "\t\t\t\t;GrowDirect"},
    {Code("RndS"), Kind::Integer, FW_FIELD(RandomSeed), "\t\t\t\t;RandomSeed"},
    {Code("MnIn"), Kind::Real, FW_FIELD(MinInterval), "\t\t\t\t;MinInterval"},
    {Code("MxIt"), Kind::Integer, FW_FIELD(MaxIterations), "\t\t\t\t;MaxIterations"},
    {Code("MxTr"), Kind::Integer, FW_FIELD(MaxTriangles), "\t\t\t\t;MaxTriangles"},
    {Code("Wdth"), Kind::Real, FW_FIELD(Width), "\t\t\t\t;Width"},
    {Code("Lngh"), Kind::Real, FW_FIELD(Lenght), "\t\t\t\t;Lenght"},
    {Code("Comp"), Kind::Real, FW_FIELD(Completance), "\t\t\t\t;Completance"},
    {Code("CmDs"), Kind::Real, FW_FIELD(CompletanceDist), "\t\t\t\t;CompletanceDist"},
    {Code("Dspr"), Kind::Real, FW_FIELD(Dispers), "\t\t\t\t;Dispers"},
    {Code("LsID"), Kind::Real, FW_FIELD(LoseInitDir), "\t\t\t\t;LoseInitDir"},
    {Code("PLen"), Kind::Real, FW_FIELD(PLenght), "\t\t\t\t;PLenght"},
    {Code("PWid"), Kind::Real, FW_FIELD(PWidth), "\t\t\t\t;PWidth"},
    {Code("InDp"), Kind::Real, FW_FIELD(IntervDepend), "\t\t\t\t;IntervDepend"},
    {Code("Scle"), Kind::Real, FW_FIELD(Scale), "\t\t\t\t;Scale"},
    {Code("Diff"), Kind::Integer, FW_FIELD(Diffuse), "\t\t\t\t;Diffuse"},
    {Code("Spec"), Kind::Integer, FW_FIELD(Speculare), "\t\t\t\t;Speculare"},
    {Code("Shin"), Kind::Real, FW_FIELD(Shininess), "\t\t\t\t;Shininess"},
    {Code("ShSt"), Kind::Real, FW_FIELD(Shinstrength), "\t\t\t\t;Shinstrength"},
    {Code("SlIl"), Kind::Real, FW_FIELD(SelfIllumination), "\t\t\t\t;SelfIllumination"},
    {Code("Trns"), Kind::Real, FW_FIELD(Transparancy), "\t\t\t\t;Transparancy"},
    {Code("BmpP"), Kind::Real, FW_FIELD(BumpPercent), "\t\t\t\t;BumpPercent"},
    {Code("Rfrc"), Kind::Real, FW_FIELD(Refraction), "\t\t\t\t;Refraction"},
    {Code("Keff"), Kind::Real, FW_FIELD(Koefficient), "\t\t\t\t;Koefficient"},
    {Code("Abbr"), Kind::Real, FW_FIELD(Aberration), "\t\t\t\t;Aberration"},
    {Code("LgCl"), Kind::Integer, FW_FIELD(LightColor), "\t\t\t\t;LightColor"},
    {Code("LgAl"), Kind::Real, FW_FIELD(LightAlpha), "\t\t\t\t;LightAlpha"},
    {Code("LgBt"), Kind::Real, FW_FIELD(LightBeta), "\t\t\t\t;LightBeta"},
    {Code("LgMt"), Kind::Real, FW_FIELD(LightMultiplay), "\t\t\t\t;LightMultiplay"},
    {Code("UsBk"), Kind::Byte, FW_FIELD(UseBackLight), "\t\t\t\t;UseBackLight"},
    {Code("AlpC"), Kind::Byte, FW_FIELD(AlphaCut), "\t\t\t\t;AlphaCut"},
    {Code("UsGl"), Kind::Byte, FW_FIELD(UseGlass), "\t\t\t\t;UseGlass"},
    {Code("EfKn"), Kind::Byte, FW_FIELD(EffectKind), "\t\t\t\t;EffectKind"},
    {Code("Turn"), Kind::Real, FW_FIELD(Turn), "\t\t\t\t;Turn"},
    {Code("Trn1"), Kind::Real, FW_FIELD(Turn1), "\t\t\t\t;Turn1"},
    {Code("MxT1"), Kind::Integer, FW_FIELD(MaxTriangles1), "\t\t\t\t;MaxTriangles1"},
    {Code("RttX"), Kind::Real, FW_FIELD(RotateX), "\t\t\t\t;RotateX"},
    {Code("Alph"), Kind::Real, FW_FIELD(Alpha), "\t\t\t\t;Alpha"},
    {Code("Beta"), Kind::Real, FW_FIELD(Beta), "\t\t\t\t;Beta"},
    {Code("Colr"), Kind::Integer, FW_FIELD(Color), "\t\t\t\t;Color"},
};

#undef FW_FIELD

static_assert(sizeof(int32_t) == sizeof(ColourRef), "colours travel as 32-bit integers");

// The original line buffer: 1022 characters, the line-ending byte and a terminating zero.
constexpr size_t kLineBufferSize = 1024;
constexpr size_t kMaxLineChars = kLineBufferSize - 2;
constexpr size_t kMaxValueChars = 64;

// Fields are reached by offset so one table drives both directions; memcpy keeps the
// access well defined for every field type.
template <class T>
T Get(const EffectParameters& p, size_t offset) {
    T v;
    std::memcpy(&v, reinterpret_cast<const char*>(&p) + offset, sizeof v);
    return v;
}

template <class T>
void Set(EffectParameters& p, size_t offset, T v) {
    std::memcpy(reinterpret_cast<char*>(&p) + offset, &v, sizeof v);
}

void AppendInt(std::string& out, int32_t v) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// "%f" of the value widened to double, but independent of the C runtime: the Windows
// runtimes do not all round the last digit (or print huge values) as glibc does.
void AppendReal(std::string& out, float v) {
    char buf[64];  // FLT_MAX needs 39 digits + sign + point + 6 decimals
    const auto r =
        std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, 6);
    out.append(buf, r.ptr);
}

void AppendLine(std::string& out, const EffectParameters& p, const PresetLine& line) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(line.code >> (8 * i));
    out += ' ';
    switch (line.kind) {
        case Kind::Byte:
            AppendInt(out, Get<uint8_t>(p, line.offset));
            break;
        case Kind::ByteOfInt32:
            AppendInt(out, static_cast<uint8_t>(Get<int32_t>(p, line.offset)));
            break;
        case Kind::Integer:
            AppendInt(out, Get<int32_t>(p, line.offset));
            break;
        case Kind::Real:
            AppendReal(out, Get<float>(p, line.offset));
            break;
    }
    out += ' ';
    out += line.comment;
    if (line.kind != Kind::Integer) out += ' ';
    out += '\n';
}

bool IsValueChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '-' || c == 'e' || c == 'E';
}

// Like the C runtime's atoi on the host platform: optional '-', digits up to the first
// other character, saturating at the 32-bit limits.
int32_t ParseInteger(std::string_view run) {
    size_t i = 0;
    const bool negative = !run.empty() && run[0] == '-';
    if (negative) i = 1;
    const int64_t limit = negative ? -int64_t(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; i < run.size() && run[i] >= '0' && run[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (run[i] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// strtod in the C locale, whatever locale the host process runs in. The value run is at
// most 64 characters, so an out-of-range result is an underflow exactly when the exponent
// is negative.
float ParseReal(std::string_view run) {
    double v = 0.0;
    const auto r = std::from_chars(run.data(), run.data() + run.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        const std::string_view used(run.data(), static_cast<size_t>(r.ptr - run.data()));
        const size_t e = used.find_first_of("eE");
        const bool underflow =
            e != std::string_view::npos && e + 1 < used.size() && used[e + 1] == '-';
        const bool negative = !used.empty() && used[0] == '-';
        v = underflow ? 0.0 : HUGE_VAL;
        if (negative) v = -v;
    } else if (r.ec != std::errc()) {
        v = 0.0;
    }
    // Past FLT_MAX plus half its spacing the value rounds to infinity; the cast alone
    // would leave that to the compiler.
    constexpr double kRoundsToInfinity = 0x1.ffffffp127;
    if (v >= kRoundsToInfinity) return HUGE_VALF;
    if (v <= -kRoundsToInfinity) return -HUGE_VALF;
    return static_cast<float>(v);
}

const PresetLine* FindLine(uint32_t code) {
    for (const PresetLine& line : kLines) {
        if (line.code == code) return &line;
    }
    return nullptr;
}

// Interprets one stored line: `n` bytes, the line-ending byte included.
void ApplyLine(EffectParameters& p, const char* text, size_t n) {
    while (n > 0 && (text[n - 1] == '\0' || text[n - 1] == ' ')) --n;
    size_t i = 0;
    while (i < n && text[i] == ' ') ++i;
    if (n - i < 4 || text[i] == ';') return;

    uint32_t code = 0;
    for (int k = 0; k < 4; ++k) code |= uint32_t(uint8_t(text[i + k])) << (8 * k);
    i += 4;
    const PresetLine* line = FindLine(code);
    if (!line) return;

    while (i < n && text[i] == ' ') ++i;
    size_t end = i;
    while (end < n && end - i < kMaxValueChars && IsValueChar(text[end])) ++end;
    const std::string_view run(text + i, end - i);

    switch (line->kind) {
        case Kind::Byte:
            Set<uint8_t>(p, line->offset, static_cast<uint8_t>(ParseInteger(run)));
            break;
        case Kind::ByteOfInt32:
            Set<int32_t>(p, line->offset, static_cast<uint8_t>(ParseInteger(run)));
            break;
        case Kind::Integer:
            Set<int32_t>(p, line->offset, ParseInteger(run));
            break;
        case Kind::Real:
            Set<float>(p, line->offset, ParseReal(run));
            break;
    }
}

// `next` yields the next byte (0..255) or a negative value at the end of the input.
template <class NextByte>
void ReadLines(EffectParameters& p, NextByte next) {
    char text[kLineBufferSize];
    for (;;) {
        size_t n = 0;
        int c;
        bool ended = false;
        while ((c = next()) >= 0) {
            const char ch = c == '\t' ? ' ' : static_cast<char>(c);
            // Control bytes and bytes >= 128 (negative as signed char) end the line.
            ended = static_cast<signed char>(ch) <= 13;
            if (ended || n < kMaxLineChars) text[n++] = ch;
            if (ended) break;
        }
        if (!ended) return;  // an unfinished last line is dropped
        text[n] = '\0';
        ApplyLine(p, text, n);
    }
}

}  // namespace

std::string FormatPreset(const EffectParameters& p) {
    std::string out;
    out.reserve(kPresetLineCount * 40);
    for (const PresetLine& line : kLines) AppendLine(out, p, line);
    return out;
}

bool WritePreset(const EffectParameters& p, FILE* file) {
    const std::string text = FormatPreset(p);
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

void ReadPreset(EffectParameters& p, FILE* file) {
    ReadLines(p, [file] { return std::fgetc(file); });
}

void ReadPresetText(EffectParameters& p, std::string_view text) {
    size_t pos = 0;
    ReadLines(p, [text, &pos]() -> int {
        return pos < text.size() ? static_cast<uint8_t>(text[pos++]) : -1;
    });
}

size_t PresetHeaderLength(std::string_view bytes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const size_t start = bytes.substr(0, 3) == kByteOrderMark ? 3 : 0;
    const std::string_view title(kPresetHeader, kPresetHeaderSize - 1);
    const std::string_view rest = bytes.substr(start);
    if (rest.substr(0, title.size()) != title) return 0;
    const std::string_view end = rest.substr(title.size(), 2);
    if (end.substr(0, 1) == "\n") return start + title.size() + 1;
    if (end == "\r\n") return start + title.size() + 2;
    return 0;
}

bool HasPresetHeader(std::string_view bytes) {
    return PresetHeaderLength(bytes) != 0;
}

std::string PresetFileName(std::string_view chosen) {
    std::string name(chosen);
    if (name.size() >= 4 && name[name.size() - 4] != '.') name += kPresetExtension;
    return name;
}

bool LoadPresetFile(const std::string& path, EffectParameters& p) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char header[kPresetHeaderSize + 4];  // room for a byte-order mark and a CR
    const size_t got = std::fread(header, 1, sizeof header, file);
    const size_t length = PresetHeaderLength(std::string_view(header, got));
    const bool valid = length != 0 && std::fseek(file, long(length), SEEK_SET) == 0;
    if (valid) {
        ReadPreset(p, file);
        p.NeedsRegeneration = 1;
    }
    std::fclose(file);
    return valid;
}

bool SavePresetFile(const std::string& path, const EffectParameters& p) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(kPresetHeader, 1, kPresetHeaderSize, file) == kPresetHeaderSize;
    ok = ok && WritePreset(p, file);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace fw

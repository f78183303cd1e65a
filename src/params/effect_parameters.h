// EffectParameters: every setting of the frost effect plus the little run state that must
// survive between host calls. The record lives in the host's parameters handle, so its
// field order and widths are fixed; nothing outside the process ever sees its bytes.
#pragma once

#include <cstdint>

namespace fw {

// Colours are Windows colour references: 0x00BBGGRR.
using ColourRef = uint32_t;

constexpr int kTextureSize = 40;            // the bump texture is 40 x 40 texels
constexpr int kTextureBytes = 40 * 40 * 3;  // 3-byte cells, only the first byte used
// The texture converter reads 4-component texels over the 3-byte cells, so the last row
// reaches past 4800 bytes (up to 5000 with 16-bit reads).
constexpr int kTextureBlockBytes = 5000;

struct EffectParameters {
    uint8_t* Texture;  // kTextureBlockBytes, or null when not loaded
    int32_t AutoUpdate;
    uint8_t RenderMode;
    uint8_t MaskKind;
    uint8_t PatternKind;
    uint8_t GrowDirect;
    int32_t RandomSeed;
    float MinInterval;
    int32_t MaxIterations;
    int32_t MaxTriangles;
    float Width;
    float Lenght;
    float Completance;
    float CompletanceDist;
    float Dispers;
    float LoseInitDir;
    float PLenght;
    float PWidth;
    float IntervDepend;
    float Scale;
    uint8_t NeedsRegeneration;
    int32_t CachedTriangleCount;
    int32_t CachedPointCount;
    void* CachedTriangles;
    void* CachedPoints;
    ColourRef Diffuse;
    ColourRef Speculare;
    float Shininess;
    float Shinstrength;
    float SelfIllumination;
    float Transparancy;
    float BumpPercent;
    float Refraction;
    float Koefficient;
    float Aberration;
    ColourRef LightColor;
    float LightAlpha;
    float LightBeta;
    float LightMultiplay;
    uint8_t UseBackLight;
    uint8_t AlphaCut;
    uint8_t UseGlass;
    uint8_t EffectKind;
    float Turn;
    float Turn1;
    int32_t MaxTriangles1;
    float CenterX;
    float CenterY;
    float RotateX;
    float Alpha;
    float Beta;
    ColourRef Color;
    int16_t RowsPerBand;
    uint8_t ShowDialog;
    uint8_t UseAdvanceState;
    uint8_t HostIsPremiere;
};

enum RenderModeValue : uint8_t { kRough = 1, kLine = 2, kWire = 3, kFlat = 4, kPhong = 5 };

enum MaskKindValue : uint8_t {
    kMaskBottom = 1,
    kMaskTop = 2,
    kMaskTopAndBottom = 3,
    kMaskPerimeter = 4,
    kMaskULike = 5,
    kMaskWindow = 6,
    kMaskBySelection = 7,
};

enum EffectKindValue : uint8_t { kGeometric = 1, kFloral = 2, kSingle = 3 };

constexpr int kGrowDirectionCount = 8;  // 1..7 "Direction n", 8 "All directions"
constexpr int kEffectCount = 10;

// Texts of the dialog's combo boxes; row i shows value i + 1 (effects: EffectIndex i).
extern const char* const kRenderModeNames[5];
extern const char* const kMaskKindNames[7];
extern const char* const kGrowDirectNames[kGrowDirectionCount];
extern const char* const kEffectNames[kEffectCount];

// Geometry-page controls whose enabling depends on the effect.
enum class EffectControl {
    MaskKind,
    GrowDirect,
    RandomSeed,
    MinInterval,
    MaxIterations,
    Completance,
    CompletanceDist,
    Dispers,
    LoseInitDir,
    PLenght,
    PWidth,
    IntervDepend,
    Turn,
    Turn1,
    MaxTriangles1,
    RotateX,
    Count
};

// Whether the effect at `effectIndex` (0..9) reads the field behind `control`; controls
// not listed are always enabled. Out-of-range indices count as index 0.
bool EffectUsesControl(int effectIndex, EffectControl control);

// Writes the default of every setting, raises NeedsRegeneration and drops the texture.
// Leaves the pattern cache and the run flags (RowsPerBand .. HostIsPremiere) alone.
void SetDefaults(EffectParameters& p);

int EffectIndexOf(const EffectParameters& p);
void SetEffectIndex(EffectParameters& p, int index);

// Releases the pattern cache arrays and empties the cache fields.
void FreePatternCache(EffectParameters& p);
// Releases Texture and empties the field.
void FreeTexture(EffectParameters& p);

}  // namespace fw

#include "params/effect_parameters.h"

#include <cstdlib>

namespace fw {

const char* const kRenderModeNames[5] = {"Rough", "Line", "Wire", "Flat", "Phong"};
const char* const kMaskKindNames[7] = {"Bottom", "Top",    "Top and bottom", "Perimeter",
                                       "U-like", "Window", "By selection"};
const char* const kGrowDirectNames[kGrowDirectionCount] = {
    "Direction 1", "Direction 2", "Direction 3", "Direction 4",
    "Direction 5", "Direction 6", "Direction 7", "All directions"};
const char* const kEffectNames[kEffectCount] = {
    "Geometric 1", "Geometric 2", "Geometric 3", "Floral 1", "Floral 2",
    "Floral 3",    "Single 1",    "Single 2",    "Single 3", "Single 4"};

namespace {

// Effect index -> enabling group.
constexpr int kGroupOfEffect[kEffectCount] = {0, 0, 0, 1, 2, 2, 3, 3, 4, 4};

// Rows follow EffectControl up to MaxTriangles1; columns are the five groups.
constexpr uint8_t kEnabled[15][5] = {
    {1, 1, 1, 0, 0},  // MaskKind
    {1, 1, 1, 0, 0},  // GrowDirect
    {1, 1, 1, 1, 0},  // RandomSeed
    {1, 1, 1, 0, 0},  // MinInterval
    {1, 1, 1, 1, 0},  // MaxIterations
    {1, 1, 1, 0, 0},  // Completance
    {1, 1, 1, 0, 0},  // CompletanceDist
    {1, 1, 1, 0, 0},  // Dispers
    {1, 0, 0, 0, 0},  // LoseInitDir
    {1, 0, 0, 0, 0},  // PLenght
    {1, 0, 1, 0, 0},  // PWidth
    {1, 1, 1, 0, 0},  // IntervDepend
    {0, 1, 1, 1, 1},  // Turn
    {0, 0, 0, 0, 1},  // Turn1
    {0, 0, 0, 0, 1},  // MaxTriangles1
};

}  // namespace

bool EffectUsesControl(int effectIndex, EffectControl control) {
    if (effectIndex < 0 || effectIndex >= kEffectCount) effectIndex = 0;
    if (control == EffectControl::RotateX) return effectIndex >= 6;
    const int row = static_cast<int>(control);
    if (row < 0 || row >= 15) return true;
    return kEnabled[row][kGroupOfEffect[effectIndex]] != 0;
}

void FreeTexture(EffectParameters& p) {
    std::free(p.Texture);
    p.Texture = nullptr;
}

void FreePatternCache(EffectParameters& p) {
    std::free(p.CachedTriangles);
    std::free(p.CachedPoints);
    p.CachedTriangles = nullptr;
    p.CachedPoints = nullptr;
    p.CachedTriangleCount = 0;
    p.CachedPointCount = 0;
}

void SetDefaults(EffectParameters& p) {
    FreeTexture(p);
    p.AutoUpdate = 1;
    p.RenderMode = kPhong;
    p.MaskKind = kMaskULike;
    p.PatternKind = 3;
    p.GrowDirect = 1;
    p.RandomSeed = 0;
    p.MinInterval = 25.0f;
    p.MaxIterations = 3;
    p.MaxTriangles = 3;
    p.Width = 30.0f;
    p.Lenght = 15.0f;
    p.Completance = 100.0f;
    p.CompletanceDist = 100.0f;
    p.Dispers = 6.25f;
    p.LoseInitDir = 15.0f;
    p.PLenght = 10.0f;
    p.PWidth = 10.0f;
    p.IntervDepend = 0.0f;
    p.Scale = 100.0f;
    p.NeedsRegeneration = 1;
    p.Diffuse = 0xC0C0C0;
    p.Speculare = 0xFFFFFF;
    p.Shininess = 15.0f;
    p.Shinstrength = 100.0f;
    p.SelfIllumination = 10.0f;
    p.Transparancy = 0.0f;
    p.BumpPercent = 20.0f;
    p.Refraction = -50.0f;
    p.Koefficient = 75.0f;
    p.Aberration = 20.0f;
    p.LightColor = 0xFFFFFF;
    p.LightAlpha = 0.0f;
    p.LightBeta = 45.0f;
    p.LightMultiplay = 100.0f;
    p.UseBackLight = 1;
    p.AlphaCut = 0;
    p.UseGlass = 1;
    p.EffectKind = kFloral;
    p.Turn = 180.0f;
    p.Turn1 = 180.0f;
    p.MaxTriangles1 = 15;
    p.CenterX = 0.0f;
    p.CenterY = 0.0f;
    p.RotateX = 0.0f;
    p.Alpha = 0.0f;
    p.Beta = 45.0f;
    p.Color = 0x00FFFF;
}

int EffectIndexOf(const EffectParameters& p) {
    switch (p.EffectKind) {
        case kGeometric:
            return p.PatternKind - 1;
        case kFloral:
            return p.PatternKind + 2;
        case kSingle:
            return p.PatternKind + 5;
        default:
            return 0;
    }
}

void SetEffectIndex(EffectParameters& p, int index) {
    if (index < 3) {
        p.EffectKind = kGeometric;
        p.PatternKind = static_cast<uint8_t>(index + 1);
    } else if (index >= 6) {
        p.EffectKind = kSingle;
        p.PatternKind = static_cast<uint8_t>(index - 5);
    } else {
        p.EffectKind = kFloral;
        p.PatternKind = static_cast<uint8_t>(index - 2);
    }
}

}  // namespace fw

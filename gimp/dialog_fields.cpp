#include "gimp/dialog_fields.h"

#include <cstring>
#include <iterator>

namespace fw::gimp {

namespace {

using K = DialogField::Kind;

DialogField Number(const char* field, const char* label, double min, double max, int digits = 1,
                   bool regrows = true) {
    DialogField f{K::Number, field, label};
    f.min = min;
    f.max = max;
    f.digits = digits;
    f.step = digits == 0 ? 1 : 0.5;
    f.regrows = regrows;
    return f;
}

DialogField Choice(const char* field, const char* label, const char* const* names, int count,
                   int first, bool regrows = true) {
    DialogField f{K::Choice, field, label};
    f.choices = names;
    f.choiceCount = count;
    f.comboFirst = first;
    f.regrows = regrows;
    return f;
}

DialogField Flag(const char* field, const char* label, bool regrows = false) {
    DialogField f{K::Toggle, field, label};
    f.regrows = regrows;
    return f;
}

DialogField Colour(const char* field, const char* label) {
    DialogField f{K::Colour, field, label};
    f.regrows = false;
    return f;
}

DialogField Seed() {
    DialogField f = Number("RandomSeed", "Ran_dom seed", 0, 100, 0);
    f.unbounded = true;
    return f;
}

const DialogField kMain[] = {
    Choice("EffectKind", "_Effect", kEffectNames, kEffectCount, 0),
    Choice("MaskKind", "_Mask kind", kMaskKindNames, 7, 1),
    Choice("GrowDirect", "_Growth direction", kGrowDirectNames, kGrowDirectionCount, 1),
    Choice("RenderMode", "Re_nder mode", kRenderModeNames, 5, 1, false),
    Seed(),
};

// The Windows dialog's Geometry page, in its order.
const DialogField kPlacement[] = {
    Number("CenterX", "Center X", -1000, 1000),
    Number("CenterY", "Center Y", -1000, 1000),
    Number("Scale", "Scale", 10, 150),
    Number("RotateX", "Rotation by X", 0, 360),
};
const DialogField kGrowth[] = {
    Number("MinInterval", "Density", 1, 100),
    Number("MaxIterations", "Max iterations", 2, 6, 0),
    Number("MaxTriangles", "Max triangles", 1, 15, 0),
    Number("MaxTriangles1", "Max triangles 2", 10, 40, 0),
    Number("Width", "Width of triangles", 1, 150),
    Number("Lenght", "Lenght of triangles", 0, 35),
    Number("Completance", "Completeness", 0, 100),
    Number("CompletanceDist", "Completeness distance", 0, 100),
    Number("Dispers", "Dispersion", 0, 100, 2),
    Number("LoseInitDir", "Lose direction", 0, 100),
    Number("PWidth", "Changing width", -100, 100),
    Number("PLenght", "Changing lenght", -100, 100),
    Number("IntervDepend", "Interval dependance", -100, 100),
    Number("Turn", "Turn 1", -360, 360),
    Number("Turn1", "Turn 2", -360, 360),
};
// The Material page.
const DialogField kMaterial[] = {
    Colour("Diffuse", "Diffuse color"),
    Colour("Speculare", "Specular color"),
    Number("Shininess", "Shininess", 0, 150, 1, false),
    Number("Shinstrength", "Shine strength", 0, 500, 1, false),
    Number("SelfIllumination", "Self illumination", 0, 150, 1, false),
    Number("Transparancy", "Transparancy", 0, 100, 1, false),
    Number("BumpPercent", "Bump", -200, 200, 1, false),
};
const DialogField kGlass[] = {
    Flag("UseGlass", "_Use glass"),
    Number("Refraction", "Refraction", -100, 100, 1, false),
    Number("Koefficient", "Optical koefficient", -100, 100, 1, false),
    Number("Aberration", "Aberration", 0, 100, 1, false),
};
const DialogField kLight[] = {
    Colour("LightColor", "Light color"),
    Number("LightAlpha", "Light direction", -180, 180, 1, false),
    Number("LightBeta", "Light elevation", 0, 90, 1, false),
    Number("LightMultiplay", "Value of light", 0, 150, 1, false),
    Flag("AlphaCut", "_Alpha cut: the frost alone"),
};
// Fields presets carry that change nothing in the picture; shown so a preset can be edited
// completely.
const DialogField kCarried[] = {
    Flag("UseBackLight", "Back light"),
    Number("Alpha", "Alpha", -360, 360, 1, false),
    Number("Beta", "Beta", -360, 360, 1, false),
    Colour("Color", "Color"),
};

}  // namespace

const DialogGroup kMainGroup = {"Frost", kMain, int(std::size(kMain)), true};

// Mnemonics are unique across the dialog and its buttons (_Reset, _Save preset, _OK, _Cancel,
// _Help), so a key always reaches its widget.
const DialogGroup kFieldGroups[6] = {
    {"_Placement", kPlacement, int(std::size(kPlacement)), true},
    {"Gro_wth", kGrowth, int(std::size(kGrowth)), false},
    {"Mater_ial", kMaterial, int(std::size(kMaterial)), false},
    {"G_lass", kGlass, int(std::size(kGlass)), false},
    {"Ligh_t", kLight, int(std::size(kLight)), false},
    {"Carried by presets only", kCarried, int(std::size(kCarried)), false},
};

std::optional<EffectControl> EffectControlOf(const char* name) {
    static const struct {
        const char* field;
        EffectControl control;
    } kControls[] = {
        {"MaskKind", EffectControl::MaskKind},
        {"GrowDirect", EffectControl::GrowDirect},
        {"RandomSeed", EffectControl::RandomSeed},
        {"MinInterval", EffectControl::MinInterval},
        {"MaxIterations", EffectControl::MaxIterations},
        {"Completance", EffectControl::Completance},
        {"CompletanceDist", EffectControl::CompletanceDist},
        {"Dispers", EffectControl::Dispers},
        {"LoseInitDir", EffectControl::LoseInitDir},
        {"PLenght", EffectControl::PLenght},
        {"PWidth", EffectControl::PWidth},
        {"IntervDepend", EffectControl::IntervDepend},
        {"Turn", EffectControl::Turn},
        {"Turn1", EffectControl::Turn1},
        {"MaxTriangles1", EffectControl::MaxTriangles1},
        {"RotateX", EffectControl::RotateX},
    };
    for (const auto& c : kControls)
        if (std::strcmp(c.field, name) == 0) return c.control;
    return std::nullopt;
}

}  // namespace fw::gimp

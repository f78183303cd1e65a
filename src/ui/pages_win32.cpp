// The tab control and the "Geometry" and "Material" pages: their controls set up from the
// tables below, filled from the record, and read back into it on every change.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "controls/color_container.h"
#include "controls/control_window.h"
#include "controls/preview_container.h"
#include "controls/rotor.h"
#include "controls/spin_edit.h"
#include "ui/main_dialog.h"
#include "ui/pages.h"

namespace fw::ui {

using namespace controls;

namespace {

constexpr int kMaskKind = 1028, kGrowDirect = 1030, kRotateX = 9025, kUseGlass = 1056,
              kLightRotor = 1006;
constexpr int kPreview = 1002;

struct PageState {
    HWND tab;
    HWND current;
    RECT display;
    const DLGTEMPLATE* templates[2];
    HWND pages[2];
};

// A spin edit of a page and the field it edits (a real or an integer one).
struct SpinField {
    int id;
    const char* name;
    float min, max;
    float EffectParameters::*real;
    int32_t EffectParameters::*integer;
    SpinEdit* control;
};

// In the order the Geometry page sets them up.
SpinField g_geometry[] = {
    {1026, "Center X", -1000, 1000, &EffectParameters::CenterX, nullptr, nullptr},
    {1027, "Center Y", -1000, 1000, &EffectParameters::CenterY, nullptr, nullptr},
    {1031, "Random seed", 0, 100, nullptr, &EffectParameters::RandomSeed, nullptr},
    {1032, "Density", 1, 100, &EffectParameters::MinInterval, nullptr, nullptr},
    {1034, "Max iterations", 2, 6, nullptr, &EffectParameters::MaxIterations, nullptr},
    {1035, "Max triangles", 1, 15, nullptr, &EffectParameters::MaxTriangles, nullptr},
    {1033, "Width of triangles", 1, 150, &EffectParameters::Width, nullptr, nullptr},
    {1037, "Lenght of triangles", 0, 35, &EffectParameters::Lenght, nullptr, nullptr},
    {1038, "Completeness", 0, 100, &EffectParameters::Completance, nullptr, nullptr},
    {1039, "Completeness distance", 0, 100, &EffectParameters::CompletanceDist, nullptr, nullptr},
    {1140, "Dispersion", 0, 100, &EffectParameters::Dispers, nullptr, nullptr},
    {1041, "Lose direction", 0, 100, &EffectParameters::LoseInitDir, nullptr, nullptr},
    {1042, "Changing width", -100, 100, &EffectParameters::PWidth, nullptr, nullptr},
    {1043, "Changing lenght", -100, 100, &EffectParameters::PLenght, nullptr, nullptr},
    {1044, "Interval dependance", -100, 100, &EffectParameters::IntervDepend, nullptr, nullptr},
    {1045, "Scale", 10, 150, &EffectParameters::Scale, nullptr, nullptr},
    {1040, "Max triangles 2", 10, 40, nullptr, &EffectParameters::MaxTriangles1, nullptr},
    {1046, "Turn1", -360, 360, &EffectParameters::Turn, nullptr, nullptr},
    {1047, "Turn 2", -360, 360, &EffectParameters::Turn1, nullptr, nullptr},
};

SpinField g_material[] = {
    {1136, "Material shininess", 0, 150, &EffectParameters::Shininess, nullptr, nullptr},
    {1135, "Material shine strength", 0, 500, &EffectParameters::Shinstrength, nullptr, nullptr},
    {1138, "Material self illumination", 0, 150, &EffectParameters::SelfIllumination, nullptr,
     nullptr},
    {1137, "Material transparancy", 0, 100, &EffectParameters::Transparancy, nullptr, nullptr},
    {1139, "Material bump", -200, 200, &EffectParameters::BumpPercent, nullptr, nullptr},
    {2240, "Refraction", -100, 100, &EffectParameters::Refraction, nullptr, nullptr},
    {2241, "Optical koefficient", -100, 100, &EffectParameters::Koefficient, nullptr, nullptr},
    {2242, "Aberration", 0, 100, &EffectParameters::Aberration, nullptr, nullptr},
    {1240, "Value of light", 0, 150, &EffectParameters::LightMultiplay, nullptr, nullptr},
};

struct SwatchField {
    int id;
    const char* tooltip;
    ColourRef EffectParameters::*color;
    ColorContainer* control;
};
SwatchField g_swatches[] = {
    {1054, "Diffuse color of material", &EffectParameters::Diffuse, nullptr},
    {1055, "Specular color of material", &EffectParameters::Speculare, nullptr},
    {9004, "Color of light", &EffectParameters::LightColor, nullptr},
};

// Geometry controls whose use depends on the effect.
const struct {
    int id;
    EffectControl control;
} kEffectControls[] = {
    {kMaskKind, EffectControl::MaskKind},
    {kGrowDirect, EffectControl::GrowDirect},
    {1031, EffectControl::RandomSeed},
    {1032, EffectControl::MinInterval},
    {1034, EffectControl::MaxIterations},
    {1038, EffectControl::Completance},
    {1039, EffectControl::CompletanceDist},
    {1140, EffectControl::Dispers},
    {1041, EffectControl::LoseInitDir},
    {1043, EffectControl::PLenght},
    {1042, EffectControl::PWidth},
    {1044, EffectControl::IntervDepend},
    {1046, EffectControl::Turn},
    {1047, EffectControl::Turn1},
    {1040, EffectControl::MaxTriangles1},
    {kRotateX, EffectControl::RotateX},
};

Rotor* g_rotateX = nullptr;
Rotor* g_light = nullptr;
HWND g_geometryPage = nullptr;
HWND g_materialPage = nullptr;
HIMAGELIST g_images = nullptr;
int g_selectedImageTab = -1;

PageState* State(HWND dialog) {
    return reinterpret_cast<PageState*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

EffectParameters& P(PluginGlobals* g) {
    return *Parameters(g);
}

void SetupSpins(HWND page, SpinField* fields, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        SpinField& f = fields[i];
        f.control = SetupSpinEdit(page, f.id, f.min, f.max, f.name, f.name);
        if (f.control && f.integer) f.control->IsInteger = true;
        if (f.id == 1027) {
            // The preview surface moves the pattern through the two position spin edits.
            auto* preview = static_cast<PreviewContainer*>(
                GetControlObject(GetDlgItem(GetParent(page), kPreview), kPreviewContainerClass));
            if (preview) {
                preview->CenterXEdit = fields[0].control;
                preview->CenterYEdit = f.control;
            }
        }
    }
}

void ShowSpins(const EffectParameters& p, SpinField* fields, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        SpinField& f = fields[i];
        if (!f.control) continue;
        f.control->SetValue(f.real ? p.*f.real : float(p.*f.integer));
        f.control->Redraw();
    }
}

void ReadSpins(EffectParameters& p, const SpinField* fields, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const SpinField& f = fields[i];
        if (!f.control) continue;
        if (f.real)
            p.*f.real = f.control->Value;
        else
            p.*f.integer = int32_t(f.control->Value);  // toward zero
    }
}

void FillCombo(HWND page, int id, const char* tooltip, const char* const* names, int count) {
    HWND combo = GetDlgItem(page, id);
    AddTooltip(combo, tooltip, nullptr);
    if (ControlFont) SendMessageA(combo, WM_SETFONT, WPARAM(ControlFont), FALSE);
    for (int i = 0; i < count; ++i)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
}

void SetupGeometryPage(HWND page) {
    g_geometryPage = page;
    FillCombo(page, kMaskKind, "The path the frost grows along", kMaskKindNames, 7);
    FillCombo(page, kGrowDirect, "Where the frost grows to", kGrowDirectNames, kGrowDirectionCount);
    SetupSpins(page, g_geometry, std::size(g_geometry));
    g_rotateX = SetupRotor(page, kRotateX, kRotorAngleMode, "Rotation by X", "Rotation by X");
}

void SetupMaterialPage(HWND page, const EffectParameters& p) {
    g_materialPage = page;
    g_swatches[0].control = SetupColorContainer(page, g_swatches[0].id, g_swatches[0].tooltip);
    g_swatches[1].control = SetupColorContainer(page, g_swatches[1].id, g_swatches[1].tooltip);
    SetupSpins(page, g_material, std::size(g_material) - 1);
    g_swatches[2].control = SetupColorContainer(page, g_swatches[2].id, g_swatches[2].tooltip);
    g_light = SetupRotor(page, kLightRotor, kRotorLightMode, "Position of light", "Light position");
    SetupSpins(page, g_material + std::size(g_material) - 1, 1);
    CheckDlgButton(page, kUseGlass, p.UseGlass > 0 ? BST_CHECKED : BST_UNCHECKED);
}

void ApplyGlassEnabling(HWND page, const EffectParameters& p) {
    for (int id : {2240, 2241, 2242}) EnableWindow(GetDlgItem(page, id), p.UseGlass != 0);
}

void RefreshGeometryPage(HWND page, PluginGlobals* g) {
    const EffectParameters& p = P(g);
    SendDlgItemMessageA(page, kMaskKind, CB_SETCURSEL, WPARAM(p.MaskKind - 1), 0);
    SendDlgItemMessageA(page, kGrowDirect, CB_SETCURSEL, WPARAM(p.GrowDirect - 1), 0);
    ShowSpins(p, g_geometry, std::size(g_geometry));
    if (g_rotateX) g_rotateX->SetAngles(p.RotateX, 0);
    ApplyEffectEnabling(g);
}

void RefreshMaterialPage(HWND page, PluginGlobals* g) {
    const EffectParameters& p = P(g);
    for (SwatchField& s : g_swatches)
        if (s.control) {
            s.control->SwatchColor = p.*s.color;
            s.control->Redraw();
        }
    ShowSpins(p, g_material, std::size(g_material));
    if (g_light) g_light->SetAngles(p.LightAlpha, p.LightBeta);
    CheckDlgButton(page, kUseGlass, p.UseGlass > 0 ? BST_CHECKED : BST_UNCHECKED);
    ApplyGlassEnabling(page, p);
}

void ReadGeometry(EffectParameters& p) {
    if (g_rotateX) p.RotateX = g_rotateX->Angle1;
    ReadSpins(p, g_geometry, std::size(g_geometry));
}

void ReadMaterial(EffectParameters& p) {
    for (const SwatchField& s : g_swatches)
        if (s.control) p.*s.color = s.control->SwatchColor;
    ReadSpins(p, g_material, std::size(g_material));
    if (g_light) {
        p.LightAlpha = g_light->Angle1;
        p.LightBeta = g_light->Angle2;
    }
}

void ReleasePatternCache(EffectParameters& p) {
    FreePatternCache(p);
    p.NeedsRegeneration = 1;
}

void PageCommand(HWND page, PluginGlobals* g, int id, int code) {
    EffectParameters& p = P(g);
    HWND dialog = GetParent(page);
    if (id == kMaskKind || id == kGrowDirect) {
        if (code != CBN_SELENDOK) return;
        const int row = int(SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0));
        (id == kMaskKind ? p.MaskKind : p.GrowDirect) = uint8_t(row + 1);
        p.NeedsRegeneration = 1;
    } else if (id == kRedrawSceneCommand) {
        // passed on as it is
    } else {
        switch (PageChangeOf(id)) {
            case PageChange::Geometry:
                p.NeedsRegeneration = 1;
                ReadGeometry(p);
                break;
            case PageChange::Material:
                if (id == kUseGlass) {
                    p.UseGlass = IsDlgButtonChecked(page, kUseGlass) == BST_CHECKED ? 1 : 0;
                    ApplyGlassEnabling(page, p);
                }
                ReadMaterial(p);
                break;
            case PageChange::None:
                return;
        }
    }
    SendMessageA(dialog, WM_COMMAND, kRedrawSceneCommand, 0);
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* g = reinterpret_cast<PluginGlobals*>(GetWindowLongPtrA(page, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            g = reinterpret_cast<PluginGlobals*>(lParam);
            SetWindowLongPtrA(page, DWLP_USER, LONG_PTR(g));
            P(g).NeedsRegeneration = 1;
            HWND dialog = GetParent(page);
            const PageState* s = State(dialog);
            SetWindowPos(page, nullptr, s->display.left, s->display.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER);
            if (TabCtrl_GetCurSel(s->tab) == 0) {
                SetupGeometryPage(page);
                RefreshGeometryPage(page, g);
            } else {
                SetupMaterialPage(page, P(g));
                RefreshMaterialPage(page, g);
            }
            return 1;
        }
        case WM_DESTROY:
            if (g) ReleasePatternCache(P(g));
            if (page == g_geometryPage) g_geometryPage = nullptr;
            if (page == g_materialPage) g_materialPage = nullptr;
            return 0;
        case WM_COMMAND:
            if (g) PageCommand(page, g, LOWORD(wParam), HIWORD(wParam));
            return 0;
        default:
            return 0;
    }
}

void SetTabImage(HWND tab, int index, int image) {
    char text[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    if (!SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item))) return;
    item.iImage = image;
    SendMessageA(tab, TCM_SETITEMA, index, reinterpret_cast<LPARAM>(&item));
}

const DLGTEMPLATE* TemplateOf(HINSTANCE module, int id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

}  // namespace

void CreatePages(WindowHandle dialog, PluginGlobals* g, int previewRight) {
    auto* s = static_cast<PageState*>(std::calloc(1, sizeof(PageState)));
    if (!s) return;
    SetWindowLongPtrA(dialog, GWLP_USERDATA, LONG_PTR(s));
    const HINSTANCE module = ControlModule;
    s->tab = CreateWindowExA(0, WC_TABCONTROLA, "",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_TOOLTIPS, 0, 0, 100, 100,
                             dialog, nullptr, module, nullptr);
    if (!s->tab) return;
    if (ControlFont) SendMessageA(s->tab, WM_SETFONT, WPARAM(ControlFont), FALSE);
    g_images = ImageList_Create(10, 10, ILC_COLORDDB | ILC_MASK, 0, 2);
    if (g_images) {
        HBITMAP mask = LoadBitmapA(module, MAKEINTRESOURCEA(112));
        for (int id : {111, 113}) {
            HBITMAP image = LoadBitmapA(module, MAKEINTRESOURCEA(id));
            ImageList_Add(g_images, image, mask);
            DeleteObject(image);
        }
        DeleteObject(mask);
        SendMessageA(s->tab, TCM_SETIMAGELIST, 0, LPARAM(g_images));
    }
    const char* names[2] = {"Geometry", "Material"};
    for (int i = 0; i < 2; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<char*>(names[i]);
        item.iImage = 0;
        SendMessageA(s->tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    s->templates[0] = TemplateOf(module, kGeometryPageTemplate);
    s->templates[1] = TemplateOf(module, kMaterialPageTemplate);

    RECT window{};
    GetWindowRect(dialog, &window);
    const TabRect area =
        TabDisplayArea(previewRight, window.right - window.left, window.bottom - window.top);
    RECT r{area.left, area.top, area.right, area.bottom};
    SendMessageA(s->tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    const TabRect placed =
        PlaceTabWindow(TabRect{r.left, r.top, r.right, r.bottom}, HIWORD(GetDialogBaseUnits()));
    r = RECT{placed.left, placed.top, placed.right, placed.bottom};
    s->display = r;
    SendMessageA(s->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&s->display));
    SetWindowPos(s->tab, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    SwitchPage(dialog, g);
}

void SwitchPage(WindowHandle dialog, PluginGlobals* g) {
    PageState* s = State(dialog);
    if (!s || !s->tab) return;
    const int i = TabCtrl_GetCurSel(s->tab);
    if (i < 0 || i > 1) return;
    if (s->current) ShowWindow(s->current, SW_HIDE);
    if (s->pages[i]) {
        ShowWindow(s->pages[i], SW_SHOW);
        s->current = s->pages[i];
    } else if (s->templates[i]) {
        s->pages[i] = CreateDialogIndirectParamA(ControlModule, s->templates[i], dialog, PageProc,
                                                 reinterpret_cast<LPARAM>(g));
        s->current = s->pages[i];
        if (s->current) ShowWindow(s->current, SW_SHOW);
    }
    if (g_selectedImageTab >= 0) SetTabImage(s->tab, g_selectedImageTab, 0);
    SetTabImage(s->tab, i, 1);
    g_selectedImageTab = i;
}

void RefreshPages(PluginGlobals* g) {
    if (g_geometryPage) RefreshGeometryPage(g_geometryPage, g);
    if (g_materialPage) RefreshMaterialPage(g_materialPage, g);
}

void ApplyEffectEnabling(PluginGlobals* g) {
    if (!g_geometryPage) return;
    const int effect = EffectIndexOf(P(g));
    for (const auto& c : kEffectControls)
        EnableWindow(GetDlgItem(g_geometryPage, c.id), EffectUsesControl(effect, c.control));
}

void RepaintCurrentPage(WindowHandle dialog) {
    const PageState* s = State(dialog);
    if (!s || !s->current) return;
    ShowWindow(s->current, SW_HIDE);
    ShowWindow(s->current, SW_SHOW);
}

void DestroyPages(WindowHandle dialog) {
    PageState* s = State(dialog);
    if (g_images) ImageList_Destroy(g_images);
    g_images = nullptr;
    g_selectedImageTab = -1;
    g_rotateX = g_light = nullptr;
    for (SpinField& f : g_geometry) f.control = nullptr;
    for (SpinField& f : g_material) f.control = nullptr;
    for (SwatchField& f : g_swatches) f.control = nullptr;
    SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
    std::free(s);
}

}  // namespace fw::ui

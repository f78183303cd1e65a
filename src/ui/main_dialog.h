// The main dialog and its parameter pages: the rules behind them that are not window calls
// (module folder, zoom steps, tab placement, which command regenerates, what Cancel puts
// back), portable and tested natively. The window side is main_dialog_win32.cpp and
// pages_win32.cpp.
#pragma once

#include <string>

#include "params/effect_parameters.h"

namespace fw::ui {

constexpr char kMainDialogTemplate[] = "DISSOLVEWITHPARAM1";
constexpr int kGeometryPageTemplate = 16103;
constexpr int kMaterialPageTemplate = 16105;
constexpr int kDialogAboutBox = 16106;
constexpr char kModuleFileName[] = "GLTFrostweave.8bf";
constexpr char kWebAddress[] = "https://www.glacetrove.example/";
constexpr char kPresetFileType[] = "RimeholtFrostweavePSD_Saves";

// A query the dialog answers with its preview statistics: renders in the low word, the
// renders that grew the pattern again in the high word. For tests that drive the dialog.
constexpr unsigned kPreviewStatisticsQuery = 0x8000 + 0x4657;  // WM_APP + 'FW'

// The folder of the module: its full path without the last 17 characters, the length of
// the name the module is expected to bear (a module of another name gives a wrong folder).
std::string ModuleFolder(const std::string& modulePath);
std::string PresetFolder(const std::string& moduleFolder);
std::string DocumentationFile(const std::string& moduleFolder);

// The file a chooser's answer names: the naming rule of preset files applies to the chosen
// name, not to the folder the chooser puts in front of it ("a" stays "a", "name" becomes
// "name.fwv").
std::string PresetPathFor(const std::string& chosenPath);

// Zoom steps of the preview: `zoom` is the dialog's zoom (1 = the whole filter area fits),
// `fitScale` the document pixels per preview pixel at zoom 1. Each says the new zoom and
// whether the button pressed stays enabled; the other button is always enabled again.
struct ZoomStep {
    double zoom;
    bool stillEnabled;
};
ZoomStep ZoomIn(double zoom, double fitScale);
ZoomStep ZoomOut(double zoom);

// Where the tab control goes: the display area to the right of the preview surface (whose
// right edge is `previewRight` in dialog client pixels) in a dialog `width` x `height`.
struct TabRect {
    int left, top, right, bottom;
};
TabRect TabDisplayArea(int previewRight, int width, int height);
// The tab control's window rectangle, once the system has grown the area into one, moved
// down and shortened by the vertical dialog base unit `baseUnitY`.
TabRect PlaceTabWindow(TabRect window, int baseUnitY);

// Commands of the pages: a Geometry change grows the pattern again, a Material change only
// renders it again; anything else is not a parameter change.
enum class PageChange { None, Geometry, Material };
PageChange PageChangeOf(int controlId);

// What Cancel puts back: every setting and the run's own fields (ShowDialog,
// UseAdvanceState, HostIsPremiere, RowsPerBand) from the copy taken when the dialog opened;
// the texture and the pattern cache stay for the dialog's destruction to release.
void RestoreSavedParameters(EffectParameters& live, const EffectParameters& saved);

}  // namespace fw::ui

// The tab control and its two parameter pages ("Geometry", "Material") inside the main
// dialog: made, switched, refreshed from the record and read back into it
// (pages_win32.cpp).
#pragma once

#include "controls/control_base.h"
#include "host/globals.h"

namespace fw::ui {

using controls::WindowHandle;

// Makes the tab control with its two tabs right of the preview surface (whose right edge
// in dialog client pixels is `previewRight`) and shows the Geometry page.
void CreatePages(WindowHandle dialog, PluginGlobals* g, int previewRight);
// Shows the page of the selected tab, making it on first use.
void SwitchPage(WindowHandle dialog, PluginGlobals* g);
// Both pages show the record (the Material page only once it exists).
void RefreshPages(PluginGlobals* g);
// The Geometry page's controls follow the current effect.
void ApplyEffectEnabling(PluginGlobals* g);
// Hides and shows the current page again, so it repaints.
void RepaintCurrentPage(WindowHandle dialog);
// Releases the tab control's image list and the page state (the dialog is going away).
void DestroyPages(WindowHandle dialog);

}  // namespace fw::ui

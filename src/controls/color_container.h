// The colour swatch ("Contaner Color CPP"): shows one colour and edits it through the system
// colour dialog (color_container_win32.cpp).
#pragma once

#include "controls/control_base.h"

namespace fw::controls {

struct ColorContainer : ControlBase {
    bool NotifyOnCancel = true;
    ColorRef SwatchColor = 0;
    ColorRef CustomColors[16] = {};  // the colour dialog's custom colours, per swatch
};

// Looks the swatch up on the page and gives it its tooltip. Null when it is not a working
// swatch.
ColorContainer* SetupColorContainer(WindowHandle page, int id, const char* tooltip);

}  // namespace fw::controls

// The plug-in's dialog (GTK 2 and libgimpui): a live preview of the layer at the preview
// quality, the shipped and the user's presets with thumbnails, the effect's main choices as
// widgets and every other field in expandable groups like the Windows dialog's pages.
#pragma once

#include <libgimp/gimp.h>

#include "params/effect_parameters.h"

namespace fw::gimp {

// Shows the dialog over `p` (the last values). True when the user pressed OK: `p` then
// holds the chosen settings. False (cancelled) leaves `p` as it was.
bool ShowFrostDialog(gint32 image, gint32 drawable, EffectParameters& p);

}  // namespace fw::gimp

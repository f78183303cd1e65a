#include "gimp/frost_dialog.h"

namespace fw::gimp {

bool ShowFrostDialog(gint32, gint32, EffectParameters&) {
    return true;
}

}  // namespace fw::gimp

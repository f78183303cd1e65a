#include "controls/control_base.h"

namespace fw::controls {

int ScaleForDpi(int pixels, int dpi) {
    // Hosts that report no DPI (0) or the classic 96 keep the sizes the layouts were drawn at.
    if (dpi <= 96) return pixels;
    return (pixels * dpi + 48) / 96;
}

}  // namespace fw::controls

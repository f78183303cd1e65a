// The rotor ("Rotor CPP"): an angle dial (mode 3) or a light-position sphere (mode 0). The
// record's methods are the window side (rotor_win32.cpp); the free functions are the
// pointer geometry, turn counting and drawing arithmetic, portable and tested natively.
#pragma once

#include <cstdint>
#include <vector>

#include "controls/control_base.h"

namespace fw::controls {

constexpr uint8_t kRotorLightMode = 0;
constexpr uint8_t kRotorAngleMode = 3;
constexpr double kDegreesPerRadian = 57.29579143313326;
constexpr double kDrawingPi = 3.141592;  // degrees to radians for drawing

struct Rotor : ControlBase {
    float Angle1 = 0;
    float Angle2 = 90;
    float Turns = 0;
    float Direction = 0;
    float PreviousDirection = 0;
    char ValueName[64] = {};
    uint8_t Mode = kRotorLightMode;
    WindowHandle EditWindow = nullptr;
    int LastX = 0, LastY = 0;

    void CreateValueEdit(int width);
    void SetAngles(float angle1, float angle2);  // redraw and text; no notification
    void UpdateValueText();
};

// Looks the rotor up on the page and sets it up (mode, name, tooltip, and in angle mode
// the 50-pixel text field). Null when the control is not a working rotor.
Rotor* SetupRotor(WindowHandle page, int id, uint8_t mode, const char* name, const char* tooltip);

// ---- Portable rules ----

// The pointer's direction in degrees for an offset (dx, dy) from the centre, y down.
// Light mode: above 90, right 0, below -90, left 180. Angle mode: a compass angle, up 0,
// right 90, down 180, left 270, in 0 ... 360. Level with the centre (dy = 0) it is the
// horizontal direction; exactly at the centre the previous direction is kept.
float PointerDirection(uint8_t mode, int dx, int dy, float previous);

// Elevation in degrees: 90 at the centre, 0 at radius r and beyond.
float PointerElevation(int dx, int dy, float r);

// Whole turns while dragging: through the top clockwise adds one, back removes one.
float CountTurns(float previousDirection, float direction, float turns);

// The angle dial's marker for Angle1 on a circle of radius r around (cx, cy).
void MarkerPosition(float angle1, int r, int cx, int cy, int& px, int& py);

// One pixel of an anti-aliased outline: the ink's weight, 0 ... 255.
struct OutlinePixel {
    int x, y;
    int weight;
};
// The outline of the ellipse with radii rx, ry centred at (cx, cy), traced by the midpoint
// method over one quadrant (along x while flatter than 45 degrees, then along y) and
// mirrored into the others; each step weights the pixel on the curve 255 - k and its
// neighbour across the curve k, k = trunc(255 |e / d|).
std::vector<OutlinePixel> AntiAliasedEllipse(int cx, int cy, int rx, int ry);

// ink x w / 255 + background x (1 - w / 255) per channel, truncated; w limited to 0 ... 255.
ColorRef BlendInk(ColorRef ink, ColorRef background, int weight);

// One shaded pixel of the light sphere, in client coordinates.
struct SpherePixel {
    int x, y;
    ColorRef color;
};
// The light sphere for a client of width x height lit from azimuth angle1 and elevation
// angle2 (degrees); pixels of the thin rim fade into `face` (red, green, blue). Pixels left
// as the background are not listed.
std::vector<SpherePixel> ShadeLightSphere(int width, int height, float angle1, float angle2,
                                          const uint8_t face[3]);

}  // namespace fw::controls

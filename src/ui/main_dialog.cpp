#include "ui/main_dialog.h"

#include <cstring>

#include "params/preset_file.h"

namespace fw::ui {

std::string ModuleFolder(const std::string& modulePath) {
    const size_t name = sizeof(kModuleFileName) - 1;
    return modulePath.size() > name ? modulePath.substr(0, modulePath.size() - name) : "";
}

std::string PresetFolder(const std::string& moduleFolder) {
    return moduleFolder + "FrostweaveSaves";
}

std::string DocumentationFile(const std::string& moduleFolder) {
    return moduleFolder + "frostweavedoc.html";
}

std::string PresetPathFor(const std::string& chosenPath) {
    const size_t slash = chosenPath.find_last_of("\\/:");
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    return chosenPath.substr(0, start) + PresetFileName(chosenPath.substr(start));
}

ZoomStep ZoomIn(double zoom, double fitScale) {
    const double halved = zoom / 2;
    // Never more than one document pixel per preview pixel.
    if (fitScale * halved < 1) return {zoom, false};
    return {halved, true};
}

ZoomStep ZoomOut(double zoom) {
    const double doubled = zoom * 2;
    if (doubled > 1) return {1, false};
    return {doubled, true};
}

TabRect TabDisplayArea(int previewRight, int width, int height) {
    return {previewRight - 2 + 15, 0, width - 15, height};
}

TabRect PlaceTabWindow(TabRect r, int baseUnitY) {
    const int v = baseUnitY / 8;
    const int shift = v - r.top;
    r.bottom -= shift * 2 + 10;
    r.top += shift;
    r.bottom += shift;
    return r;
}

PageChange PageChangeOf(int id) {
    if (id == 1026 || id == 1027 || (id >= 1031 && id <= 1035) || (id >= 1037 && id <= 1047) ||
        id == 1140 || id == 9025)
        return PageChange::Geometry;
    if (id == 1006 || id == 1054 || id == 1055 || id == 1056 || (id >= 1135 && id <= 1139) ||
        id == 1240 || (id >= 2240 && id <= 2242) || id == 9004)
        return PageChange::Material;
    return PageChange::None;
}

void RestoreSavedParameters(EffectParameters& live, const EffectParameters& saved) {
    uint8_t* texture = live.Texture;
    const uint8_t regenerate = live.NeedsRegeneration;
    const int32_t triangleCount = live.CachedTriangleCount, pointCount = live.CachedPointCount;
    void* triangles = live.CachedTriangles;
    void* points = live.CachedPoints;
    std::memcpy(&live, &saved, sizeof(live));
    live.Texture = texture;
    live.NeedsRegeneration = regenerate;
    live.CachedTriangleCount = triangleCount;
    live.CachedPointCount = pointCount;
    live.CachedTriangles = triangles;
    live.CachedPoints = points;
}

}  // namespace fw::ui

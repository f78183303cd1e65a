#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace fw::ui {
namespace {

TEST(MainDialog, FoldersComeFromTheModulePathByItsExpectedNameLength) {
    const std::string folder = ModuleFolder("C:\\Hosts\\Plug-ins\\GLTFrostweave.8bf");
    EXPECT_EQ(folder, "C:\\Hosts\\Plug-ins\\");
    EXPECT_EQ(PresetFolder(folder), "C:\\Hosts\\Plug-ins\\FrostweaveSaves");
    EXPECT_EQ(DocumentationFile(folder), "C:\\Hosts\\Plug-ins\\frostweavedoc.html");
    // Another name is cut by the same 17 characters: the folder is wrong, as users of a
    // renamed module find.
    EXPECT_EQ(ModuleFolder("C:\\P\\Frost.8bf"), "");
    EXPECT_EQ(ModuleFolder("C:\\Plug-ins\\MyFrostweave64.8bf"), "C:\\Plug-ins\\M");
}

TEST(MainDialog, ThePresetNamingRuleLooksAtTheChosenNameOnly) {
    EXPECT_EQ(PresetPathFor("C:\\Saves\\a"), "C:\\Saves\\a");
    EXPECT_EQ(PresetPathFor("C:\\Saves\\name"), "C:\\Saves\\name.fwv");
    EXPECT_EQ(PresetPathFor("C:\\Saves\\x.fwv"), "C:\\Saves\\x.fwv");
    EXPECT_EQ(PresetPathFor("Z:/tmp/long.name.txt"), "Z:/tmp/long.name.txt");
    EXPECT_EQ(PresetPathFor("frost"), "frost.fwv");
}

TEST(MainDialog, ZoomRunsFromTheWholeAreaToOnePixelPerPixel) {
    // At zoom 1 zooming out stays at 1 and the button gives up.
    EXPECT_EQ(ZoomOut(1).zoom, 1);
    EXPECT_FALSE(ZoomOut(1).stillEnabled);
    // A filter area that already fits one to one cannot be zoomed into.
    EXPECT_EQ(ZoomIn(1, 1).zoom, 1);
    EXPECT_FALSE(ZoomIn(1, 1).stillEnabled);
    // Five document pixels per preview pixel: 1/2 and 1/4 are allowed, 1/8 is not.
    double z = 1;
    int steps = 0;
    for (ZoomStep s = ZoomIn(z, 5); s.stillEnabled; s = ZoomIn(z, 5)) {
        z = s.zoom;
        ++steps;
    }
    EXPECT_EQ(z, 0.25);
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(ZoomOut(0.25).zoom, 0.5);
    EXPECT_TRUE(ZoomOut(0.25).stillEnabled);
    EXPECT_EQ(ZoomOut(0.5).zoom, 1);
    EXPECT_TRUE(ZoomOut(0.5).stillEnabled);
}

TEST(MainDialog, TheTabControlSitsRightOfThePreviewMovedDownByTheBaseUnit) {
    const TabRect area = TabDisplayArea(300, 820, 500);
    EXPECT_EQ(area.left, 313);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 805);
    EXPECT_EQ(area.bottom, 500);
    // After the system grew the area into a window rectangle (top -2 here): v = 16 / 8.
    const TabRect placed = PlaceTabWindow(TabRect{311, -2, 807, 502}, 16);
    EXPECT_EQ(placed.top, 2);
    EXPECT_EQ(placed.bottom, 502 - (4 * 2 + 10) + 4);
    EXPECT_EQ(placed.left, 311);
    EXPECT_EQ(placed.right, 807);
}

TEST(MainDialog, GeometryIdsRegenerateMaterialIdsOnlyRender) {
    for (int id : {1026, 1027, 1031, 1035, 1037, 1040, 1047, 1140, 9025})
        EXPECT_EQ(PageChangeOf(id), PageChange::Geometry) << id;
    for (int id : {1006, 1054, 1056, 1135, 1139, 1240, 2240, 2242, 9004})
        EXPECT_EQ(PageChangeOf(id), PageChange::Material) << id;
    // The combos report through their own codes; 1036 and 1048 are not page parameters.
    for (int id : {1028, 1030, 1036, 1048, 1134, 1140 + 1, 2243, 9999})
        EXPECT_EQ(PageChangeOf(id), PageChange::None) << id;
}

TEST(MainDialog, CancelPutsBackTheSettingsButNotTheTextureOrThePatternCache) {
    EffectParameters saved{};
    SetDefaults(saved);
    saved.RowsPerBand = 40;
    saved.UseAdvanceState = 1;
    EffectParameters live = saved;
    live.Shininess = 99;
    live.CenterX = -300;
    live.RowsPerBand = 7;
    live.ShowDialog = 1;
    uint8_t texture[4];
    int triangles, points;
    live.Texture = texture;
    live.CachedTriangles = &triangles;
    live.CachedPoints = &points;
    live.CachedTriangleCount = 5;
    live.CachedPointCount = 15;
    live.NeedsRegeneration = 0;
    RestoreSavedParameters(live, saved);
    EXPECT_EQ(live.Shininess, saved.Shininess);
    EXPECT_EQ(live.CenterX, 0);
    EXPECT_EQ(live.RowsPerBand, 40);
    EXPECT_EQ(live.ShowDialog, saved.ShowDialog);
    EXPECT_EQ(live.Texture, texture);
    EXPECT_EQ(live.CachedTriangles, &triangles);
    EXPECT_EQ(live.CachedPointCount, 15);
    EXPECT_EQ(live.NeedsRegeneration, 0);
}

}  // namespace
}  // namespace fw::ui

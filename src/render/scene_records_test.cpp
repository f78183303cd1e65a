#include "render/scene_records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace fw {
namespace {

TEST(SceneRecords, TrianglesBecomeThreeUnsharedPointsInListOrder) {
    TriangleList list;
    for (int k = 0; k < 5000; ++k) {  // more than one storage block
        PatternTriangle* t = list.Append();
        for (int c = 0; c < 3; ++c) {
            t->vertex[c] = PatternVertex{float(k), float(c), 1.0f, 0.1f, 0.2f, 0.9f, 1};
        }
    }
    __Triangle3ds* tris = nullptr;
    __Point3ds* pts = nullptr;
    ASSERT_TRUE(ConvertTriangleList(list, 5000, tris, pts));
    EXPECT_TRUE(list.empty());  // copied, not held twice
    for (int k : {0, 4095, 4096, 4999}) {
        for (int c = 0; c < 3; ++c) {
            const __Point3ds& p = pts[3 * k + c];
            EXPECT_EQ(tris[k].index[c], uint32_t(3 * k + c));
            EXPECT_EQ(p.x, float(k));
            EXPECT_EQ(p.y, float(c));
            EXPECT_EQ(p.used, 1);
            EXPECT_EQ(p.flags, 1);
            EXPECT_EQ(p.nz, 0.9f);
        }
        EXPECT_EQ(pts[3 * k].u, 0.5f);
        EXPECT_EQ(pts[3 * k].v, 0.98f);
        EXPECT_EQ(pts[3 * k + 1].u, 0.01f);
        EXPECT_EQ(pts[3 * k + 2].u, 0.98f);
        EXPECT_EQ(pts[3 * k + 2].v, 0.01f);
        EXPECT_EQ(tris[k].flags, 0);
    }
    std::free(tris);
    std::free(pts);
    EXPECT_TRUE(ConvertTriangleList(list, 0, tris, pts));
    EXPECT_EQ(tris, nullptr);
}

TEST(SceneRecords, PixelLayoutsRoundTripInBothWidths) {
    const int w = 3, h = 2, stride = 4 * w + 8;  // padded working rows
    std::vector<uint8_t> work(size_t(stride) * h), lib(size_t(w) * h * 4), back(work.size(), 0);
    for (size_t i = 0; i < work.size(); ++i) work[i] = uint8_t(i * 7);
    ToLibraryPixels(work.data(), stride, lib.data(), w, h, false);
    EXPECT_EQ(lib[0], work[1]);  // red first
    EXPECT_EQ(lib[3], work[0]);  // alpha last
    FromLibraryPixels(lib.data(), back.data(), stride, w, h, false);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 4 * w; ++i)
            EXPECT_EQ(back[size_t(y) * stride + i], work[size_t(y) * stride + i]);

    std::vector<uint16_t> w16(size_t(4) * w * h), l16(w16.size()), b16(w16.size());
    for (size_t i = 0; i < w16.size(); ++i) w16[i] = uint16_t(i * 1000);
    ToLibraryPixels(w16.data(), 4 * w, l16.data(), w, h, true);
    EXPECT_EQ(l16[0], w16[1]);
    FromLibraryPixels(l16.data(), b16.data(), 4 * w, w, h, true);
    EXPECT_EQ(b16, w16);
}

TEST(SceneRecords, TextureTexelsExchangeTheFirstAndThirdComponent) {
    std::vector<uint8_t> cells(kTextureBlockBytes, 0);
    for (int i = 0; i < kTextureBytes; i += 3) cells[size_t(i)] = uint8_t(i / 3);
    auto* t = static_cast<uint8_t*>(ToLibraryTexture(cells.data(), 40, 40, 120, false));
    ASSERT_NE(t, nullptr);
    // Texel (x, y) reads bytes y*120 + 4x .. +3 of the cells.
    EXPECT_EQ(t[0], cells[2]);
    EXPECT_EQ(t[2], cells[0]);
    EXPECT_EQ(t[(41) * 4 + 2], cells[120 + 4]);
    std::free(t);
    auto* t16 = static_cast<uint16_t*>(ToLibraryTexture(cells.data(), 40, 40, 60, true));
    ASSERT_NE(t16, nullptr);  // reads stay inside the 5000-byte block (checked by ASan)
    std::free(t16);
}

TEST(SceneRecords, SnappedPointsMoveExactlyByWholePixels) {
    __Point3ds p{};
    p.x = 123.456789f;
    p.y = -0.1f;
    SnapToRenderGrid(&p, 1);
    const __Point3ds snapped = p;
    TranslatePoints(&p, 1, 17, -300);
    TranslatePoints(&p, 1, -17, 300);
    EXPECT_EQ(p.x, snapped.x);
    EXPECT_EQ(p.y, snapped.y);
    EXPECT_NEAR(snapped.x, 123.456789f, 1.0 / 512);
}

}  // namespace
}  // namespace fw

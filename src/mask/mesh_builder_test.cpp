#include "mask/mesh_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "mask/border_smoothing.h"
#include "platform/platform.h"

namespace fw {
namespace {

struct Mask {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bytes;

    uint8_t At(int32_t r, int32_t c) const {
        if (r < 0 || c < 0 || r >= height || c >= width) return kNoColour;
        return bytes[size_t(r) * width + c];
    }
};

// '#' = selected (255), anything else = 0.
Mask FromRows(const std::vector<std::string>& rows) {
    Mask m;
    m.height = int32_t(rows.size());
    m.width = int32_t(rows[0].size());
    for (const std::string& row : rows)
        for (char ch : row) m.bytes.push_back(ch == '#' ? 255 : 0);
    return m;
}

struct XY {
    float x, y;
    bool operator==(const XY& o) const { return x == o.x && y == o.y; }
};

std::ostream& operator<<(std::ostream& os, const XY& p) {
    return os << "(" << p.x << "," << p.y << ")";
}

struct Export {
    bool ok = false;
    std::vector<XY> points;
    std::vector<std::pair<uint32_t, uint32_t>> segments;
    // Consecutive segments that share their joint form one polyline.
    std::vector<std::vector<XY>> Polylines() const {
        std::vector<std::vector<XY>> lines;
        for (size_t s = 0; s < segments.size(); ++s) {
            if (s == 0 || segments[s].first != segments[s - 1].second)
                lines.push_back({points[segments[s].first]});
            lines.back().push_back(points[segments[s].second]);
        }
        return lines;
    }
};

// helper: batch size and backlog of the second thread ({0, 0}: none; {-1, -1}: the default).
Export Load(const Mask& m, float tolerance = 1.0f, int32_t window = 30,
            std::pair<int, int> helper = {-1, -1}) {
    CMeshBuilder builder;
    if (helper.first >= 0) builder.SetHelper(size_t(helper.first), size_t(helper.second));
    uint32_t pointCount = 7, segmentCount = 7;
    float* points = reinterpret_cast<float*>(&pointCount);
    uint32_t* segments = &segmentCount;
    Export e;
    e.ok = builder.LoadMask(m.width, m.height, m.width, m.bytes.data(), tolerance, window,
                            pointCount, segmentCount, points, segments);
    EXPECT_EQ(pointCount == 0, points == nullptr);
    EXPECT_EQ(segmentCount == 0, segments == nullptr);
    for (uint32_t i = 0; i < pointCount; ++i)
        e.points.push_back({points[2 * i], points[2 * i + 1]});
    for (uint32_t i = 0; i < segmentCount; ++i)
        e.segments.push_back({segments[2 * i], segments[2 * i + 1]});
    CMeshBuilder::FreeArrays(points, segments);
    return e;
}

std::vector<XY> Coordinates(const BorderLine& line) {
    std::vector<XY> out;
    for (const BorderPoint* p : line.points) out.push_back({p->x, p->y});
    return out;
}

BorderLineList Trace(CMeshBuilder& builder, const Mask& m) {
    ByteRaster raster(kNoColour);
    EXPECT_TRUE(raster.Attach(m.bytes.data(), m.height, m.width, m.width));
    BorderLineList lines;
    builder.FindBorderLines(raster, lines);
    return lines;
}

const BorderLine* OnlyLineWithRight(const BorderLineList& lines, uint8_t colour) {
    const BorderLine* found = nullptr;
    for (const BorderLine& l : lines) {
        if (l.rightColour != colour || l.leftColour == kNoColour) continue;
        EXPECT_EQ(found, nullptr) << "more than one line";
        found = &l;
    }
    return found;
}

TEST(BorderCodesTest, EdgesAndJunctionsOfEveryCorner) {
    Mask one = FromRows({"#"});
    ByteRaster mask(kNoColour), border(0);
    ASSERT_TRUE(mask.Attach(one.bytes.data(), 1, 1, 1));
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(mask, border));
    ASSERT_EQ(border.Rows(), 2);
    ASSERT_EQ(border.Columns(), 2);
    EXPECT_EQ(border.Get(0, 0), kBorderRight | kBorderDown);
    EXPECT_EQ(border.Get(0, 1), kBorderDown | kBorderLeft);
    EXPECT_EQ(border.Get(1, 0), kBorderRight | kBorderUp);
    EXPECT_EQ(border.Get(1, 1), kBorderLeft | kBorderUp);

    // Two-valued crossing inside, three edges where the selection meets the image edge.
    Mask checker{3, 2, {255, 0, 0, 0, 255, 0}};
    ASSERT_TRUE(mask.Attach(checker.bytes.data(), 2, 3, 3));
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(mask, border));
    EXPECT_EQ(border.Get(1, 1), 15 | kBorderCrossing);
    EXPECT_EQ(border.Get(0, 1), 7 | kBorderJunction);
    EXPECT_EQ(border.Get(2, 2), 13 | kBorderJunction);
    EXPECT_EQ(border.Get(0, 3), kBorderDown | kBorderLeft);  // outside, 0, 0: two values

    // Four edges with both diagonals differing are a junction; one matching diagonal is not.
    Mask four{2, 2, {255, 0, 7, 9}};
    ASSERT_TRUE(mask.Attach(four.bytes.data(), 2, 2, 2));
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(mask, border));
    EXPECT_EQ(border.Get(1, 1), 15 | kBorderJunction | kBorderCrossing);
    Mask three{2, 2, {255, 0, 0, 7}};
    ASSERT_TRUE(mask.Attach(three.bytes.data(), 2, 2, 2));
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(mask, border));
    EXPECT_EQ(border.Get(1, 1), 15 | kBorderCrossing);
}

TEST(MeshBuilderTest, UniformMasksExportNothingButTraceTheImageEdge) {
    for (auto [w, h, value] : {std::tuple{1, 1, 0}, {1, 1, 255}, {7, 3, 0}, {4, 9, 255}}) {
        Mask m{w, h, std::vector<uint8_t>(size_t(w) * h, uint8_t(value))};
        Export e = Load(m);
        EXPECT_TRUE(e.ok);
        EXPECT_TRUE(e.points.empty());
        EXPECT_TRUE(e.segments.empty());

        CMeshBuilder builder;
        BorderLineList lines = Trace(builder, m);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(lines[0].closed);
        EXPECT_EQ(lines[0].rightColour, value);
        EXPECT_EQ(lines[0].leftColour, kNoColour);
        const float fw = float(w), fh = float(h);
        EXPECT_EQ(Coordinates(lines[0]),
                  (std::vector<XY>{{0, 0}, {fw, 0}, {fw, fh}, {0, fh}, {0, 0}}));
    }
}

TEST(MeshBuilderTest, SinglePixelTracesFourCornersAndKeepsItsExtremes) {
    Mask m = FromRows({"...", ".#.", "..."});
    CMeshBuilder builder;
    BorderLineList lines = Trace(builder, m);
    const BorderLine* pixel = OnlyLineWithRight(lines, 255);
    ASSERT_NE(pixel, nullptr);
    EXPECT_TRUE(pixel->closed);
    EXPECT_EQ(pixel->leftColour, 0);
    EXPECT_EQ(Coordinates(*pixel), (std::vector<XY>{{1, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 1}}));
    EXPECT_EQ(pixel->points.front(), pixel->points.back());

    // Unit edges give no corner anchors: the leftmost and rightmost points (first found on
    // ties) hold the line, and the bottom-right corner is cut.
    Export e = Load(m);
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.points, (std::vector<XY>{{1, 1}, {2, 1}, {1.5f, 2}, {1, 1.5f}, {1, 1}}));
    ASSERT_EQ(e.segments.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(e.segments[i], std::make_pair(i, i + 1));
}

TEST(MeshBuilderTest, CornersWithSeveralBordersStartOneLinePerUnusedEdge) {
    // Visiting such a corner once would leave the diagonal pair untraceable.
    Export diagonal = Load(FromRows({".#.", "..#"}));
    EXPECT_TRUE(diagonal.ok);
    EXPECT_FALSE(diagonal.points.empty());

    // Both borders of a one-pixel-high run start at junctions on the top edge.
    Export run = Load(Mask{4, 1, {0, 255, 255, 0}});
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.points, (std::vector<XY>{{1, 0}, {1, 1}, {3, 0}, {3, 1}}));
    EXPECT_EQ(run.segments, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}, {2, 3}}));
}

TEST(MeshBuilderTest, ChequerboardCornerIsPassedThroughNotTurnedBackAt) {
    Mask m = FromRows({"....", ".#..", "..#.", "...."});
    CMeshBuilder builder;
    BorderLineList lines = Trace(builder, m);
    const BorderLine* both = OnlyLineWithRight(lines, 255);
    ASSERT_NE(both, nullptr);
    EXPECT_TRUE(both->closed);
    EXPECT_EQ(
        Coordinates(*both),
        (std::vector<XY>{{1, 1}, {2, 1}, {2, 2}, {3, 2}, {3, 3}, {2, 3}, {2, 2}, {1, 2}, {1, 1}}));
    EXPECT_EQ(both->points[2], both->points[6]);  // one shared point for the crossing
}

TEST(MeshBuilderTest, StaircaseBetweenAnchorsBecomesOneSubdividedSegment) {
    // A right triangle: its hypotenuse is a 45-degree staircase of one-pixel steps.
    const int n = 24;
    Mask m{n, n, std::vector<uint8_t>(n * n, 0)};
    for (int r = 2; r < n - 2; ++r)
        for (int c = 2; c <= r; ++c) m.bytes[size_t(r) * n + c] = 255;
    const int32_t window = 10;
    Export e = Load(m, 1.0f, window);
    ASSERT_TRUE(e.ok);
    auto lines = e.Polylines();
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<XY>& line = lines[0];
    // The staircase runs from (3, 2) to (22, 21); its anchors sit on the middle of the
    // first and last step, and nothing is left between them but the subdivision.
    const XY from{3, 2.5f}, to{22, 21.5f};
    size_t a = 0;
    while (a < line.size() && !(line[a] == from)) ++a;
    ASSERT_LT(a, line.size());
    ASSERT_LT(a + 4, line.size());
    EXPECT_EQ(line[a + 4], to);
    for (size_t i = a; i < a + 4; ++i) {
        EXPECT_NEAR(line[i + 1].x - line[i].x, 4.75f, 1e-4f);
        EXPECT_NEAR(line[i + 1].y - line[i].y, 4.75f, 1e-4f);
        EXPECT_LT(std::fabs(line[i + 1].x - line[i].x) + std::fabs(line[i + 1].y - line[i].y),
                  window);
    }
}

TEST(MeshBuilderTest, SelectionAtTheImageEdgeSplitsAtJunctions) {
    // A block against the top edge and one in the bottom-right corner.
    Mask m = FromRows(
        {"..####....", "..####....", "..####....", "..........", "......####", "......####"});
    CMeshBuilder builder;
    BorderLineList lines = Trace(builder, m);
    size_t inImage = 0;
    for (const BorderLine& l : lines)
        if (l.leftColour != kNoColour && l.rightColour != kNoColour) ++inImage;
    EXPECT_EQ(inImage, 2u);

    Export e = Load(m);
    ASSERT_TRUE(e.ok);
    auto polylines = e.Polylines();
    ASSERT_EQ(polylines.size(), 2u);
    // Junctions end the lines. The first starts where it meets the image edge, so it keeps
    // the unselected side on its right; the second was found from its inner corner, whose
    // first edge has the selection on its right. A 2-long side next to a longer one puts its
    // anchor half a pixel along the longer side, and the corner is cut to it.
    EXPECT_EQ(polylines[0], (std::vector<XY>{{2, 0}, {2, 3}, {6, 3}, {6, 0}}));
    EXPECT_EQ(polylines[1], (std::vector<XY>{{6, 6}, {6.25f, 4}, {10, 4}}));
}

TEST(MeshBuilderTest, BadMasksAndBrokenBordersReportToTheDebugger) {
    setenv("FROSTWEAVE_DEBUG", "1", 1);
    auto failure = [](int32_t w, int32_t h, int32_t rowBytes, const uint8_t* bytes) {
        const int before = platform::DebugOutputCount();
        CMeshBuilder builder;
        uint32_t pointCount = 1, segmentCount = 1;
        float* points = nullptr;
        uint32_t* segments = nullptr;
        testing::internal::CaptureStderr();
        const bool ok = builder.LoadMask(w, h, rowBytes, bytes, 1.0f, 10, pointCount, segmentCount,
                                         points, segments);
        std::string text = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(ok);
        EXPECT_EQ(pointCount, 0u);
        EXPECT_EQ(points, nullptr);
        EXPECT_EQ(segments, nullptr);
        EXPECT_EQ(platform::DebugOutputCount(), before + 1);
        return text;
    };
    const std::string load = "Error! CMeshBuilder::LoadMask: Cannot load input mask!\n";
    const uint8_t pixels[12] = {121, 0, 0, 121, 255, 121, 121, 0, 121, 0, 255, 0};
    EXPECT_EQ(failure(0, 1, 1, pixels), load);
    EXPECT_EQ(failure(1, 0, 1, pixels), load);
    EXPECT_EQ(failure(4, 3, 3, pixels), load);
    EXPECT_EQ(failure(1, 1, 1, nullptr), load);
    // The reserved outside value inside a mask makes borders that cannot be followed.
    EXPECT_EQ(failure(4, 3, 4, pixels),
              "Error! CMeshBuilder::FindBorderLines: Cannot trace line.\n");
    const uint8_t crossing[4] = {121, 0, 255, 121};
    EXPECT_EQ(failure(2, 2, 2, crossing),
              "Error! CMeshBuilder::TraceDirection: Cannot trace line.\n");
    unsetenv("FROSTWEAVE_DEBUG");
}

TEST(MeshBuilderTest, TraceDirectionNeedsAnEdgeOfTheColour) {
    Mask m = FromRows({"#."});
    ByteRaster mask(kNoColour), border(0);
    ASSERT_TRUE(mask.Attach(m.bytes.data(), 1, 2, 2));
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(mask, border));
    CMeshBuilder builder;
    BorderLine line;
    // Corner (0, 1) has edges right (0 on the right of travel), down (255) and left
    // (outside).
    EXPECT_FALSE(builder.TraceDirection(true, 7, 0, 1, mask, border, line));
    EXPECT_TRUE(line.points.empty());
    ASSERT_TRUE(builder.TraceDirection(true, 255, 0, 1, mask, border, line));
    EXPECT_EQ(Coordinates(line), (std::vector<XY>{{1, 0}, {1, 1}}));
    EXPECT_EQ(line.rightColour, kNoColour);  // only an unknown colour records the sides
    EXPECT_EQ(border.Get(0, 1) & kBorderDown, 0);
    EXPECT_EQ(border.Get(1, 1) & kBorderUp, 0);
    BorderLine again;
    EXPECT_FALSE(builder.TraceDirection(true, 255, 0, 1, mask, border, again));  // edge used

    ByteRaster fresh(0), view(0);
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(mask, fresh));
    ASSERT_TRUE(view.Attach(fresh.Row(0), fresh.Rows(), fresh.Columns(), fresh.Columns()));
    EXPECT_FALSE(builder.TraceDirection(true, 255, 0, 1, mask, view, again));  // cannot clear
}

TEST(MeshBuilderTest, ToleranceAndWindowAreClamped) {
    Mask m{40, 30, std::vector<uint8_t>(40 * 30, 0)};
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 40; ++c)
            if ((c - 20) * (c - 20) + (r - 14) * (r - 14) < 130) m.bytes[size_t(r) * 40 + c] = 255;
    auto same = [&](float t1, int32_t w1, float t2, int32_t w2) {
        Export a = Load(m, t1, w1), b = Load(m, t2, w2);
        return a.ok && b.ok && a.points == b.points && a.segments == b.segments;
    };
    EXPECT_TRUE(same(0.0f, 30, 1.0f, 30));
    EXPECT_TRUE(same(-3.0f, 30, 1.0f, 30));
    EXPECT_TRUE(same(NAN, 30, 1.0f, 30));
    EXPECT_TRUE(same(55.0f, 30, 10.0f, 30));
    EXPECT_TRUE(same(1.0f, 500, 1.0f, 30));
    EXPECT_TRUE(same(1.0f, -4, 1.0f, 2));
    EXPECT_FALSE(same(1.0f, 2, 1.0f, 30));  // the window does matter on this disc
    EXPECT_FALSE(same(3.0f, 30, 1.0f, 30));
}

// ---- Properties over many masks -------------------------------------------------------

Mask RandomMask(std::mt19937& rng, int32_t maxSide) {
    Mask m;
    m.width = 1 + int32_t(rng() % maxSide);
    m.height = 1 + int32_t(rng() % maxSide);
    m.bytes.resize(size_t(m.width) * m.height);
    const int kind = int(rng() % 4);
    const unsigned density = rng() % 101;
    for (int32_t r = 0; r < m.height; ++r)
        for (int32_t c = 0; c < m.width; ++c) {
            bool on;
            switch (kind) {
                case 0:
                    on = rng() % 100 < density;
                    break;  // noise
                case 1:
                    on = ((r + c) % 2 == 0) != (rng() % 100 < density / 4);
                    break;  // chequer
                case 2:
                    on = ((r / 2 + c / 2) % 2 == 0) != (rng() % 100 < 15);
                    break;  // 2x2 checks
                default:
                    on = (rng() % 100 < density) && (rng() % 3 != 0);
                    break;
            }
            m.bytes[size_t(r) * m.width + c] = on ? 255 : 0;
        }
    return m;
}

// Unit border edges between pixels of different value, as corner pairs (x0, y0, x1, y1).
struct Edge {
    int x0, y0, x1, y1;
};

std::vector<Edge> BorderEdges(const Mask& m, bool inImageOnly) {
    std::vector<Edge> edges;
    for (int r = -1; r <= m.height; ++r)
        for (int c = -1; c <= m.width; ++c) {
            auto inside = [&](int rr, int cc) {
                return rr >= 0 && cc >= 0 && rr < m.height && cc < m.width;
            };
            if (!inside(r, c) && !(inImageOnly == false && (inside(r, c + 1) || inside(r + 1, c))))
                continue;
            if (m.At(r, c) != m.At(r, c + 1) &&
                (!inImageOnly || (inside(r, c) && inside(r, c + 1))))
                edges.push_back({c + 1, r, c + 1, r + 1});
            if (m.At(r, c) != m.At(r + 1, c) &&
                (!inImageOnly || (inside(r, c) && inside(r + 1, c))))
                edges.push_back({c, r + 1, c + 1, r + 1});
        }
    return edges;
}

// In-image border edges by corner, for nearest-edge queries.
struct EdgeGrid {
    int columns = 0, rows = 0;
    std::vector<uint8_t> right, down;  // edge leaving corner (r, c) rightwards / downwards

    explicit EdgeGrid(const Mask& m) : columns(m.width + 1), rows(m.height + 1) {
        right.assign(size_t(rows) * columns, 0);
        down.assign(size_t(rows) * columns, 0);
        for (const Edge& e : BorderEdges(m, true)) {
            if (e.y0 == e.y1)
                right[size_t(e.y0) * columns + e.x0] = 1;
            else
                down[size_t(e.y0) * columns + e.x0] = 1;
        }
    }

    double Distance(XY p, double reach) const {
        double best = 1e9;
        const int r0 = std::max(0, int(std::floor(p.y - reach)) - 1);
        const int r1 = std::min(rows - 1, int(std::ceil(p.y + reach)) + 1);
        const int c0 = std::max(0, int(std::floor(p.x - reach)) - 1);
        const int c1 = std::min(columns - 1, int(std::ceil(p.x + reach)) + 1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const size_t at = size_t(r) * columns + c;
                if (right[at]) {
                    const double x = std::clamp<double>(p.x, c, c + 1);
                    best = std::min(best, std::hypot(p.x - x, p.y - r));
                }
                if (down[at]) {
                    const double y = std::clamp<double>(p.y, r, r + 1);
                    best = std::min(best, std::hypot(p.x - c, p.y - y));
                }
            }
        return best;
    }
};

// Every border edge lies on exactly one traced line, walked with the line's right colour
// on its right; lines stop only at junctions or where they started.
void CheckTracing(const Mask& m) {
    CMeshBuilder builder;
    BorderLineList lines = Trace(builder, m);
    ByteRaster raster(kNoColour), codes(0);
    ASSERT_TRUE(raster.Attach(m.bytes.data(), m.height, m.width, m.width));
    ASSERT_TRUE(CMeshBuilder::BuildBorderCodes(raster, codes));
    std::vector<int> used(size_t(m.height + 1) * (m.width + 1) * 2, 0);  // right, down per corner
    for (const BorderLine& line : lines) {
        ASSERT_GE(line.points.size(), 2u);
        if (line.closed) {
            EXPECT_EQ(line.points.front(), line.points.back());
        } else {
            for (const BorderPoint* end : {line.points.front(), line.points.back()}) {
                EXPECT_TRUE(codes.Get(int(end->y), int(end->x)) & kBorderJunction);
                EXPECT_TRUE(end->flags & kBorderAnchor);
            }
        }
        for (size_t i = 0; i + 1 < line.points.size(); ++i) {
            int x = int(line.points[i]->x), y = int(line.points[i]->y);
            const int x1 = int(line.points[i + 1]->x), y1 = int(line.points[i + 1]->y);
            ASSERT_TRUE(x == x1 || y == y1) << "diagonal step";
            const int dx = (x1 > x) - (x1 < x), dy = (y1 > y) - (y1 < y);
            while (x != x1 || y != y1) {
                // Pixels right and left of travel from (x, y) by (dx, dy), y down.
                uint8_t right, left;
                size_t slot;
                if (dx == 1) {
                    right = m.At(y, x), left = m.At(y - 1, x),
                    slot = (size_t(y) * (m.width + 1) + x) * 2;
                } else if (dx == -1) {
                    right = m.At(y - 1, x - 1), left = m.At(y, x - 1),
                    slot = (size_t(y) * (m.width + 1) + x - 1) * 2;
                } else if (dy == 1) {
                    right = m.At(y, x - 1), left = m.At(y, x),
                    slot = (size_t(y) * (m.width + 1) + x) * 2 + 1;
                } else {
                    right = m.At(y - 1, x), left = m.At(y - 1, x - 1),
                    slot = (size_t(y - 1) * (m.width + 1) + x) * 2 + 1;
                }
                EXPECT_EQ(right, line.rightColour);
                EXPECT_EQ(left, line.leftColour);
                EXPECT_EQ(used[slot]++, 0) << "edge walked twice";
                x += dx;
                y += dy;
            }
        }
    }
    int walked = 0;
    for (int u : used) walked += u;
    EXPECT_EQ(size_t(walked), BorderEdges(m, false).size()) << "edges left untraced";
}

// What the path builder relies on in the exported arrays.
void CheckExport(const Mask& m, float tolerance, int32_t window) {
    Export e = Load(m, tolerance, window);
    ASSERT_TRUE(e.ok);
    const EdgeGrid edges(m);
    for (const auto& [a, b] : e.segments) {
        ASSERT_LT(a, e.points.size());
        ASSERT_EQ(b, a + 1);
    }
    size_t covered = 0;
    for (const std::vector<XY>& line : e.Polylines()) {
        covered += line.size();
        // Anchors lie on the pixel outline; points between them stay within the tolerance
        // (Douglas-Peucker takes half a pixel off it for the cut corners).
        const double reach = std::max(tolerance, 0.5f) + 1e-4;
        for (const XY& p : line) {
            const bool inside = p.x >= 0 && p.x <= m.width && p.y >= 0 && p.y <= m.height;
            if (!inside || edges.Distance(p, reach) > reach) {
                ADD_FAILURE() << p << " is off the border";
                return;
            }
        }
        if (line.size() <= 2) continue;  // two-point lines are never smoothed
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const float step =
                std::fabs(line[i + 1].x - line[i].x) + std::fabs(line[i + 1].y - line[i].y);
            EXPECT_LT(step, window);
        }
    }
    EXPECT_EQ(covered, e.points.size()) << "points outside every polyline";
}

TEST(MeshBuilderPropertyTest, RandomTwoValuedMasksTraceEveryEdgeOnce) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        Mask m = RandomMask(rng, 14);
        CheckTracing(m);
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << "mask " << i << " " << m.width << "x" << m.height;
            return;
        }
    }
}

TEST(MeshBuilderPropertyTest, RandomTwoValuedMasksNeverFailAndExportSoundPolylines) {
    std::mt19937 rng(77);
    const float tolerances[] = {0.3f, 0.5f, 1.0f, 1.0f, 2.5f, 10.0f};
    for (int i = 0; i < 3000; ++i) {
        Mask m = RandomMask(rng, 16);
        const float tolerance = tolerances[rng() % 6];
        const int32_t window = 2 + int32_t(rng() % 29);
        CheckExport(m, tolerance, window);
        if (testing::Test::HasFailure()) {
            ADD_FAILURE() << "mask " << i << " " << m.width << "x" << m.height << " tolerance "
                          << tolerance << " window " << window;
            return;
        }
    }
}

// The builder indexes only the points that another lookup can meet, and the export gives
// each line's points back as soon as it is written; smoothing with one set of every point
// after the whole trace, as if all lines shared a single index and kept their points, must
// give the same lines, kept or exported (the export smooths most lines on copies of their
// points). A third value makes junctions inside the mask; the larger masks (sparser in
// third values, which often make corners that cannot be followed) give long lines.
TEST(MeshBuilderPropertyTest, SplitIndexesMatchOneSharedPointSet) {
    std::mt19937 rng(4242);
    int untraceable = 0;
    for (int i = 0; i < 1800; ++i) {
        Mask m = RandomMask(rng, i >= 600 && i % 4 == 3 ? 90 : 20);  // some with long lines
        if (i % 3 == 2)
            for (uint8_t& v : m.bytes)
                if (rng() % (m.bytes.size() > 400 ? 400 : 25) == 0) v = 128;
        const float tolerance = (rng() % 2) ? 1.0f : 0.5f + float(rng() % 20) / 4;
        const int32_t window = 2 + int32_t(rng() % 29);
        CMeshBuilder builder;
        if (!builder.BuildLines(m.width, m.height, m.width, m.bytes.data(), tolerance, window)) {
            // Some corners of three values cannot be followed; the export fails alike.
            ASSERT_EQ(i % 3, 2) << "mask " << i;
            ASSERT_FALSE(Load(m, tolerance, window).ok) << "mask " << i;
            ++untraceable;
            continue;
        }
        for (const BorderLine& line : builder.Lines()) {
            if (!line.closed) continue;
            ASSERT_EQ(line.points.front(), line.points.back()) << "mask " << i;
        }

        CMeshBuilder tracer;
        BorderLineList lines = Trace(tracer, m);
        BorderPointPool pool;
        BorderPointSet all(pool);
        for (BorderLine& line : lines)
            for (BorderPoint*& p : line.points) {
                BorderPoint* shared = all.Add(p);
                ASSERT_EQ(shared, p) << "two traced points at " << p->x << "," << p->y;
            }
        for (BorderLine& line : lines) PostProcessBorderLine(line, all, tolerance, window);
        std::erase_if(lines, [](const BorderLine& l) { return l.closed && l.points.size() < 4; });

        ASSERT_EQ(lines.size(), builder.Lines().size()) << "mask " << i;
        for (size_t k = 0; k < lines.size(); ++k)
            ASSERT_EQ(Coordinates(lines[k]), Coordinates(builder.Lines()[k])) << "mask " << i;

        std::vector<XY> exported;
        size_t segments = 0;
        for (const BorderLine& line : lines)
            if (line.leftColour != kNoColour && line.rightColour != kNoColour &&
                line.points.size() > 1) {
                const std::vector<XY> points = Coordinates(line);
                exported.insert(exported.end(), points.begin(), points.end());
                segments += points.size() - 1;
            }
        const Export e = Load(m, tolerance, window);
        ASSERT_EQ(e.points, exported) << "mask " << i;
        ASSERT_EQ(e.segments.size(), segments) << "mask " << i;
        // The same, whichever lines the second thread smooths.
        // Batches of one line, and small ones with a short backlog: the tracing thread then
        // takes some lines between batches.
        for (const auto& helper : {std::pair{0, 0}, std::pair{1, 1 << 30}, std::pair{30, 40}}) {
            const Export other = Load(m, tolerance, window, helper);
            ASSERT_EQ(other.points, e.points) << "mask " << i << " batch " << helper.first;
            ASSERT_EQ(other.segments, e.segments) << "mask " << i << " batch " << helper.first;
        }
    }
    EXPECT_LT(untraceable, 300);
}

TEST(MeshBuilderPropertyTest, ShapesGiveClosedClockwiseLines) {
    const int w = 96, h = 64;
    Mask m{w, h, std::vector<uint8_t>(w * h, 0)};
    auto set = [&](int r, int c) { m.bytes[size_t(r) * w + c] = 255; };
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const int d1 = (c - 14) * (c - 14) + (r - 14) * (r - 14);
            const int d2 = (c - 44) * (c - 44) + (r - 16) * (r - 16);
            if (d1 <= 100) set(r, c);                               // disc
            if (d2 <= 144 && d2 > 36) set(r, c);                    // ring with a hole
            if (r >= 36 && r < 46 && c >= 6 && c < 16) set(r, c);   // two squares meeting
            if (r >= 46 && r < 56 && c >= 16 && c < 26) set(r, c);  // at one corner
            if (r >= 34 && r < 58 && c >= 40 && c < 48) set(r, c);  // L shape
            if (r >= 50 && r < 58 && c >= 48 && c < 70) set(r, c);
        }
    CheckTracing(m);
    for (float tolerance : {0.5f, 1.0f, 3.0f}) {
        CheckExport(m, tolerance, 8);
        Export e = Load(m, tolerance, 8);
        auto lines = e.Polylines();
        ASSERT_EQ(lines.size(), 5u);  // disc, ring outside and inside, both squares, L
        for (const std::vector<XY>& line : lines) {
            EXPECT_EQ(line.front(), line.back());
            // Traced regions lie on the right of travel: clockwise on screen (y down).
            double area = 0;
            for (size_t i = 0; i + 1 < line.size(); ++i)
                area += double(line[i].x) * line[i + 1].y - double(line[i + 1].x) * line[i].y;
            EXPECT_GT(area, 0);
        }
    }
}

}  // namespace
}  // namespace fw

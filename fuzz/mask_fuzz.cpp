// libFuzzer target for the selection border tracer: small masks of any content with any
// tolerance and window. Raw masks may fail (a mask can hold the reserved outside value) but
// must not crash or leak; two-valued masks, what the filter really passes, must always
// trace, and the exported arrays must be well formed. For half the inputs a second builder
// shares the smoothing with a second thread, in batches and with a backlog the input picks;
// it must export the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mask/mesh_builder.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const int32_t width = 1 + data[0] % 40;
    const int32_t height = 1 + data[1] % 40;
    const int32_t padding = data[2] & 3;
    const bool twoValued = (data[2] & 4) != 0;
    const bool shareSmoothing = (data[2] & 8) != 0;
    const size_t batch = 1 + (data[2] >> 4);
    const size_t backlog = (batch & 1) ? batch : size_t{1} << 30;
    float tolerance;
    std::memcpy(&tolerance, data + 3, sizeof tolerance);  // any bits, NaN and infinities too
    const int32_t window = static_cast<int8_t>(data[7]);
    data += 8;
    size -= 8;

    const int32_t rowBytes = width + padding;
    std::vector<uint8_t> mask(static_cast<size_t>(rowBytes) * height, 0);
    for (size_t i = 0; i < mask.size() && i < size; ++i)
        mask[i] = twoValued ? ((data[i] & 1) ? 255 : 0) : data[i];

    fw::CMeshBuilder builder;
    builder.SetHelper(0, 0);  // everything on this thread
    uint32_t pointCount = 0, segmentCount = 0;
    float* points = nullptr;
    uint32_t* segments = nullptr;
    const bool ok = builder.LoadMask(width, height, rowBytes, mask.data(), tolerance, window,
                                     pointCount, segmentCount, points, segments);
    if (twoValued) Check(ok);
    if (!ok) {
        Check(pointCount == 0 && segmentCount == 0 && !points && !segments);
        return 0;
    }
    Check((pointCount == 0) == (points == nullptr));
    Check((segmentCount == 0) == (segments == nullptr));
    for (uint32_t i = 0; i < pointCount; ++i) {
        const float x = points[2 * i], y = points[2 * i + 1];
        Check(x >= 0 && x <= width && y >= 0 && y <= height);
    }
    for (uint32_t s = 0; s < segmentCount; ++s) {
        Check(segments[2 * s + 1] < pointCount);
        Check(segments[2 * s + 1] == segments[2 * s] + 1);
    }
    if (!shareSmoothing) {
        fw::CMeshBuilder::FreeArrays(points, segments);
        return 0;
    }
    fw::CMeshBuilder shared;
    shared.SetHelper(batch, backlog);
    uint32_t sharedPoints = 0, sharedSegments = 0;
    float* xy = nullptr;
    uint32_t* pairs = nullptr;
    Check(shared.LoadMask(width, height, rowBytes, mask.data(), tolerance, window, sharedPoints,
                          sharedSegments, xy, pairs));
    Check(sharedPoints == pointCount && sharedSegments == segmentCount);
    Check(pointCount == 0 || std::memcmp(xy, points, 2 * sizeof(float) * pointCount) == 0);
    Check(segmentCount == 0 ||
          std::memcmp(pairs, segments, 2 * sizeof(uint32_t) * segmentCount) == 0);
    fw::CMeshBuilder::FreeArrays(xy, pairs);
    fw::CMeshBuilder::FreeArrays(points, segments);
    return 0;
}

// Conversions the generator needs to survive any preset value (private to src/pattern).
#pragma once

#include <cstdint>

namespace fw {

// C truncation toward zero for values inside int32's range; NaN gives 0 and values outside
// saturate, where a plain cast would be undefined.
inline int32_t TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

inline int32_t ClampToInt(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}

}  // namespace fw

#include "mask/byte_raster.h"

#include <new>

#include "platform/large_pages.h"

namespace fw {

bool ByteRaster::Create(int32_t rows, int32_t columns, int32_t stride, bool clear) {
    Release();
    if (stride == 0) stride = columns;
    if (rows < 1 || columns < 1 || stride < columns) return false;
    const size_t bytes = static_cast<size_t>(rows) * static_cast<size_t>(stride);
    if (bytes / static_cast<size_t>(rows) != static_cast<size_t>(stride)) return false;
    block_.reset(clear ? new (std::nothrow) uint8_t[bytes]() : new (std::nothrow) uint8_t[bytes]);
    if (!block_) return false;
    platform::AdviseLargePages(block_.get(), bytes);
    if (!Shape(rows, columns, stride, block_.get())) {
        Release();
        return false;
    }
    return true;
}

bool ByteRaster::Attach(const uint8_t* data, int32_t rows, int32_t columns, int32_t stride) {
    Release();
    if (!data || rows < 1 || columns < 1 || stride < columns) return false;
    return Shape(rows, columns, stride, data);
}

void ByteRaster::Release() {
    block_.reset();
    rowTable_.clear();
    rowTable_.shrink_to_fit();
    rows_ = columns_ = 0;
    stride_ = 0;
}

bool ByteRaster::Shape(int32_t rows, int32_t columns, int32_t stride, const uint8_t* data) {
    try {
        rowTable_.resize(static_cast<size_t>(rows));
    } catch (const std::bad_alloc&) {
        rowTable_.clear();
        return false;
    }
    stride_ = static_cast<size_t>(stride);
    for (int32_t r = 0; r < rows; ++r) rowTable_[r] = data + static_cast<size_t>(r) * stride_;
    rows_ = rows;
    columns_ = columns;
    return true;
}

}  // namespace fw

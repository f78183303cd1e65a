// ByteRaster: a two-dimensional byte image whose reads past the edge return a fixed
// "outside" value, so neighbourhood code needs no special cases at the border.
//
// A raster either owns its block (Create) or is a read-only view of caller memory (Attach);
// the view lets the border tracer read a selection mask in place instead of copying it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace fw {

class ByteRaster {
  public:
    explicit ByteRaster(uint8_t outside = 0) : outside_(outside) {}

    // A raster of rows x columns with `stride` bytes per row (0 = columns), zero-filled
    // unless the caller is about to write every byte itself (clear = false).
    // False when rows < 1, columns < 1, stride < columns or memory is short.
    bool Create(int32_t rows, int32_t columns, int32_t stride = 0, bool clear = true);

    // A read-only view of rows x columns bytes at `data`, rows `stride` bytes apart. The
    // memory must outlive the raster. Same failures as Create, and for null data.
    bool Attach(const uint8_t* data, int32_t rows, int32_t columns, int32_t stride);

    void Release();

    uint8_t Get(int32_t row, int32_t column) const {
        if (static_cast<uint32_t>(row) >= static_cast<uint32_t>(rows_) ||
            static_cast<uint32_t>(column) >= static_cast<uint32_t>(columns_))
            return outside_;
        return rowTable_[row][column];
    }

    // False (and nothing written) outside the raster or on a read-only view.
    bool Set(int32_t row, int32_t column, uint8_t value) {
        if (!block_ || static_cast<uint32_t>(row) >= static_cast<uint32_t>(rows_) ||
            static_cast<uint32_t>(column) >= static_cast<uint32_t>(columns_))
            return false;
        block_[static_cast<size_t>(row) * stride_ + column] = value;
        return true;
    }

    int32_t Rows() const { return rows_; }
    int32_t Columns() const { return columns_; }
    uint8_t Outside() const { return outside_; }
    bool Empty() const { return rows_ == 0; }

    // Row r of an existing raster (0 <= r < Rows()); writable only when the raster owns it.
    const uint8_t* Row(int32_t r) const { return rowTable_[r]; }
    uint8_t* MutableRow(int32_t r) {
        return block_ ? block_.get() + static_cast<size_t>(r) * stride_ : nullptr;
    }

  private:
    bool Shape(int32_t rows, int32_t columns, int32_t stride, const uint8_t* data);

    uint8_t outside_;
    int32_t rows_ = 0;
    int32_t columns_ = 0;
    size_t stride_ = 0;
    std::unique_ptr<uint8_t[]> block_;
    std::vector<const uint8_t*> rowTable_;
};

}  // namespace fw

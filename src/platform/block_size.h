// Byte counts of memory blocks, computed without wrapping round. In a 32-bit build a
// picture's width x height x components x bytes passes 4 GB easily; size_t then wraps to a
// small number and a small block would be written as a large one. These refuse instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace fw {

// Most bytes one block can have in this build: every byte must be reachable by a pointer
// difference (2 GB less one byte in a 32-bit build).
constexpr uint64_t kMaxBlockBytes = PTRDIFF_MAX;

// The product of `factors` when none is negative and the product is at most `limit` (and
// representable in this build's size_t).
constexpr std::optional<size_t> BlockBytes(std::initializer_list<int64_t> factors,
                                           uint64_t limit = kMaxBlockBytes) {
    if (limit > SIZE_MAX) limit = SIZE_MAX;
    uint64_t bytes = 1;
    for (const int64_t f : factors) {
        if (f < 0) return std::nullopt;
        if (f != 0 && bytes > limit / uint64_t(f)) return std::nullopt;
        bytes *= uint64_t(f);
    }
    return size_t(bytes);
}

// The sum of blocks that live at the same time when each is known and the sum is at most
// `limit` (by default: what this build can address at all).
constexpr std::optional<size_t> TotalBytes(std::initializer_list<std::optional<size_t>> blocks,
                                           uint64_t limit = SIZE_MAX) {
    if (limit > SIZE_MAX) limit = SIZE_MAX;
    uint64_t total = 0;
    for (const std::optional<size_t>& b : blocks) {
        if (!b || *b > limit - total) return std::nullopt;
        total += *b;
    }
    return size_t(total);
}

}  // namespace fw

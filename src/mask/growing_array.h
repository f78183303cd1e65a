// GrowingArray: a malloc'd array of trivially copyable T that grows by realloc and can hand
// its block to a caller who frees it with free().
//
// Past 1 MB it jumps to a size the allocator maps from the system (also after the allocator
// has raised its own threshold), so freeing gives the memory back to the system at once.
// Such blocks are on large pages where the system has them: a first touch of a small page
// costs as much as copying it many times over. They grow into a fresh block, because pages
// that realloc adds by remapping come small. Pages never written take no memory; Shrink
// gives back the unused end.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/large_pages.h"

namespace fw {

template <class T>
class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;
    ~GrowingArray() { std::free(data_); }

    T* Data() { return data_; }
    const T* Data() const { return data_; }
    uint64_t Size() const { return size_; }

    // Makes `count` more elements (uninitialised) and returns the first; throws
    // std::bad_alloc when memory or a size_t runs out.
    T* Extend(uint64_t count) {
        if (size_ + count > capacity_) Grow(size_ + count);
        T* first = data_ + size_;
        size_ += count;
        return first;
    }
    void Shrink() {
        if (size_ == 0 || size_ == capacity_) return;
        if (void* kept = std::realloc(data_, static_cast<size_t>(size_) * sizeof(T))) {
            data_ = static_cast<T*>(kept);
            capacity_ = size_;
        }
    }
    void Swap(GrowingArray& other) {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }
    // The block, now the caller's (null when nothing was ever made).
    T* Release() {
        T* block = data_;
        data_ = nullptr;
        size_ = capacity_ = 0;
        return block;
    }

  private:
    static constexpr uint64_t kSmallBytes = uint64_t{1} << 20;
    static constexpr uint64_t kMappedBytes = (uint64_t{32} << 20) + (uint64_t{64} << 10);

    void Grow(uint64_t needed) {
        uint64_t wanted = std::max<uint64_t>({needed, capacity_ + capacity_ / 2, 4096});
        if (wanted * sizeof(T) > kSmallBytes)
            wanted = std::max<uint64_t>(wanted, kMappedBytes / sizeof(T));
        // A 32-bit size_t cannot count the bytes of every such request.
        if (wanted > std::numeric_limits<size_t>::max() / sizeof(T)) {
            if (needed > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_alloc();
            wanted = needed;
        }
        const size_t bytes = static_cast<size_t>(wanted) * sizeof(T);
        void* grown;
        if (bytes >= kMappedBytes) {
            grown = std::malloc(bytes);
            if (!grown) throw std::bad_alloc();
            platform::AdviseLargePages(grown, bytes);
            if (size_ > 0) std::memcpy(grown, data_, static_cast<size_t>(size_) * sizeof(T));
            std::free(data_);
        } else {
            grown = std::realloc(data_, bytes);
            if (!grown) throw std::bad_alloc();
        }
        data_ = static_cast<T*>(grown);
        capacity_ = wanted;
    }

    T* data_ = nullptr;
    uint64_t size_ = 0, capacity_ = 0;
};

}  // namespace fw

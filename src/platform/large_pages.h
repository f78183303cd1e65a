// Large blocks on large pages, and sample storage that is not zero-filled before it is
// overwritten whole. Header only: the picture readers use it without the platform library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <sys/mman.h>
#endif

namespace fw::platform {

// A large block fresh from the system is untouched: on large pages its first touch faults
// once every 2 MB instead of every 4 KB, which on a 100-megapixel picture is most of the cost
// of filling it. Smaller blocks, and Windows, are left as they are.
inline void AdviseLargePages(void* block, size_t bytes) {
#if !defined(_WIN32)
    constexpr size_t kLarge = size_t(4) << 20, kPage = 4096;
    if (!block || bytes < kLarge) return;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kPage - 1);
    madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

// For pixel vectors: large blocks on large pages, and `resize(n)` or a size-only
// constructor leaves the new elements unset (a value given, as in `vector(n, 0)`, is
// still written).
template <class T>
struct SampleAllocator {
    using value_type = T;

    SampleAllocator() = default;
    template <class U>
    SampleAllocator(const SampleAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        T* block = std::allocator<T>().allocate(n);
        AdviseLargePages(block, n * sizeof(T));
        return block;
    }
    void deallocate(T* block, size_t n) noexcept { std::allocator<T>().deallocate(block, n); }

    template <class U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const SampleAllocator<U>&) const noexcept {
        return true;
    }
};

using SampleVector = std::vector<uint16_t, SampleAllocator<uint16_t>>;

}  // namespace fw::platform

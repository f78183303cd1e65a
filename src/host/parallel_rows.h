// Row-wise pixel work split over the cores the renderer uses, for the conversions of a
// band; small bands stay on the calling thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

namespace fw {

// The renderer's rule: PRISMCORE_THREADS (1: no threads), else every core.
inline int ConversionThreads() {
    if (const char* text = std::getenv("PRISMCORE_THREADS")) {
        const long n = std::strtol(text, nullptr, 10);
        if (n >= 1) return int(std::min<long>(n, 16));
    }
    return int(std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 16));
}

// Calls body(first, count) on consecutive runs of [0, rows), one run a thread; `rowBytes`
// is what a row moves, to keep small jobs whole.
template <class Body>
void ForRowRanges(int rows, size_t rowBytes, const Body& body) {
    constexpr size_t kWorthAThread = size_t(1) << 20;
    const size_t byWork = std::max<size_t>(1, size_t(rows) * rowBytes / kWorthAThread);
    const int parts = int(std::min<size_t>({size_t(ConversionThreads()), byWork, size_t(rows)}));
    if (parts <= 1) {
        if (rows > 0) body(0, rows);
        return;
    }
    std::vector<std::thread> helpers;
    int first = 0;
    for (int i = 1; i < parts; ++i) {
        const int last = int(int64_t(rows) * i / parts);
        try {
            helpers.emplace_back([&body, first, last] { body(first, last - first); });
        } catch (const std::exception&) {
            break;  // no thread to be had: the caller does the rest
        }
        first = last;
    }
    body(first, rows - first);
    for (std::thread& t : helpers) t.join();
}

}  // namespace fw

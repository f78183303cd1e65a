// Linux services: no windows, no resources; what the Windows module shows or reads from
// its own file is recorded here or compiled in.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/large_pages.h"
#include "platform/platform.h"

namespace fw::platform {

// The bitmap resources compiled into the Linux module (texture_bitmap.cpp).
bool FindCompiledBitmap(int id, const uint8_t*& bmp, size_t& size);

namespace {
int g_debugCount = 0;
}  // namespace

void ShowMessage(const char* caption, const char* text) {
    std::fprintf(stderr, "frostweave: %s: %s\n", caption, text);
}

void DebugOutput(const char* text) {
    ++g_debugCount;
    if (std::getenv("FROSTWEAVE_DEBUG")) std::fprintf(stderr, "%s\n", text);
}

int DebugOutputCount() {
    return g_debugCount;
}

void* AllocatePages(size_t bytes) {
    void* block = std::calloc(bytes ? bytes : 1, 1);
    AdviseLargePages(block, bytes);
    return block;
}
void FreePages(void* block) {
    std::free(block);
}
void* AllocateGlobal(size_t bytes) {
    return std::calloc(bytes ? bytes : 1, 1);
}
void FreeGlobal(void* block) {
    std::free(block);
}

bool LoadBitmapRgb(int id, int& width, int& height, std::vector<uint8_t>& rgb) {
    const uint8_t* bmp = nullptr;
    size_t size = 0;
    if (!FindCompiledBitmap(id, bmp, size) || size < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        return false;
    auto u32 = [&](size_t at) {
        return uint32_t(bmp[at]) | uint32_t(bmp[at + 1]) << 8 | uint32_t(bmp[at + 2]) << 16 |
               uint32_t(bmp[at + 3]) << 24;
    };
    const uint32_t offset = u32(10);
    const int32_t w = static_cast<int32_t>(u32(18));
    const int32_t h = static_cast<int32_t>(u32(22));
    const int bits = bmp[28] | bmp[29] << 8;
    if (bits != 24 || w <= 0 || h == 0) return false;
    const bool bottomUp = h > 0;
    const int rows = bottomUp ? h : -h;
    const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
    if (offset + stride * rows > size) return false;
    width = w;
    height = rows;
    rgb.assign(size_t(w) * rows * 3, 0);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* src = bmp + offset + stride * (bottomUp ? rows - 1 - y : y);
        for (int x = 0; x < w; ++x) {  // BMP stores blue, green, red
            rgb[(size_t(y) * w + x) * 3 + 0] = src[x * 3 + 2];
            rgb[(size_t(y) * w + x) * 3 + 1] = src[x * 3 + 1];
            rgb[(size_t(y) * w + x) * 3 + 2] = src[x * 3 + 0];
        }
    }
    return true;
}

void ShowAboutBox(intptr_t) {}

// Linked with an $ORIGIN search path: the module would not have loaded without it.
bool RendererAvailable() {
    return true;
}

std::string ModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || !info.dli_fname) return "./";
    std::string path = info.dli_fname;
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

bool ReadHostVersionResource(std::vector<uint8_t>& data) {
    data.clear();
    return false;
}

}  // namespace fw::platform

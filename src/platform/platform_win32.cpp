// Windows services of the module: load log, message box, debugger output, resources,
// page allocation and the host executable's version resource.
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/platform.h"

namespace {

HINSTANCE g_instance = nullptr;
int g_debugCount = 0;

const char* NotificationName(DWORD reason) {
    switch (reason) {
        case DLL_PROCESS_DETACH:
            return "DLL_PROCESS_DETACH";
        case DLL_PROCESS_ATTACH:
            return "DLL_PROCESS_ATTACH";
        case DLL_THREAD_ATTACH:
            return "DLL_THREAD_ATTACH";
        case DLL_THREAD_DETACH:
            return "DLL_THREAD_DETACH";
        default:
            return "";
    }
}

// ctime's text ends with a line break, so each entry reads "<date>\n DllMain: <name>".
void AppendLoadLog(DWORD reason) {
    FILE* log = std::fopen("C:\\LoadLogTextFormat.txt", "a");
    if (!log) return;
    const std::time_t now = std::time(nullptr);
    const char* when = std::ctime(&now);
    std::fprintf(log, "%s DllMain: %s", when ? when : "\n", NotificationName(reason));
    std::fclose(log);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    AppendLoadLog(reason);
    g_instance = instance;
    return TRUE;
}

namespace fw::platform {

void ShowMessage(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

void DebugOutput(const char* text) {
    ++g_debugCount;
    OutputDebugStringA(text);
}

int DebugOutputCount() {
    return g_debugCount;
}

void* AllocatePages(size_t bytes) {
    return VirtualAlloc(nullptr, bytes ? bytes : 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreePages(void* block) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}

void* AllocateGlobal(size_t bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
    return h ? GlobalLock(h) : nullptr;
}

void FreeGlobal(void* block) {
    if (!block) return;
    HGLOBAL h = GlobalHandle(block);
    if (!h) return;
    GlobalUnlock(h);
    GlobalFree(h);
}

bool LoadBitmapRgb(int id, int& width, int& height, std::vector<uint8_t>& rgb) {
    // Linked into a program rather than the module, the program's own resources count.
    const HINSTANCE module = g_instance ? g_instance : GetModuleHandleA(nullptr);
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    BITMAP info{};
    GetObjectA(bitmap, sizeof(info), &info);
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bgr(size_t(stride) * height);
    HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, height, bgr.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    if (rows != height) return false;
    rgb.assign(size_t(width) * height * 3, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(y) * width + x) * 3 + c] = bgr[size_t(y) * stride + x * 3 + 2 - c];
    return true;
}

void ShowAboutBox(intptr_t owner) {
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(16107), reinterpret_cast<HWND>(owner), AboutProc,
                    0);
}

std::string ModuleFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(g_instance, path, MAX_PATH);
    std::string folder(path, n);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : folder.substr(0, slash + 1);
}

bool RendererAvailable() {
    static int state = -1;  // -1 unknown, 0 missing, 1 loaded
    if (state < 0) {
        HMODULE lib = LoadLibraryA((ModuleFolder() + "Prismcore.dll").c_str());
        if (!lib) lib = LoadLibraryA("Prismcore.dll");
        state = lib ? 1 : 0;
        if (!lib) OutputDebugStringA("frostweave: Prismcore.dll not found beside the module");
    }
    return state == 1;
}

bool ReadHostVersionResource(std::vector<uint8_t>& data) {
    data.clear();
    char exe[MAX_PATH] = {};
    if (!GetModuleFileNameA(nullptr, exe, MAX_PATH)) return false;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe, &ignored);
    if (size == 0) return false;
    data.resize(size);
    if (!GetFileVersionInfoA(exe, 0, size, data.data())) {
        data.clear();
        return false;
    }
    return true;
}

}  // namespace fw::platform

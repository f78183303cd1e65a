/* Checks the module's resources with the system's own loaders, as the dialog and the
   file properties use them: every bitmap loads at its size (the tab mask as a 1-bit
   bitmap), the tab images make a masked image list that leaves the background showing
   where the mask is clear, and the version resource answers the system's version queries.
   Loads the module as a data file, so its code does not run.
   With RENDERER, the version information of Prismcore.dll is checked as well.
   Usage: resource_check MODULE VERSION [RENDERER]
   Prints "<n> failed" last; the exit code is n. */
#include <windows.h>
/* after windows.h, which it needs */
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

static int g_failures = 0;

static void Expect(int ok, const char* what) {
    printf("%-56s %s\n", what, ok ? "ok" : "FAILED");
    if (!ok) ++g_failures;
}

static void CheckBitmap(HMODULE module, int id, int width, int height, int oneBit) {
    char what[96];
    BITMAP info;
    HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
    int ok = bitmap && GetObjectA(bitmap, sizeof info, &info) == sizeof info &&
             info.bmWidth == width && info.bmHeight == height && (!oneBit || info.bmBitsPixel == 1);
    snprintf(what, sizeof what, "bitmap %d loads as %dx%d%s", id, width, height,
             oneBit ? ", 1-bit" : "");
    Expect(ok, what);
    if (bitmap) DeleteObject(bitmap);
}

/* Draws image `index` of the tab image list over red and reads back a corner (outside the
   gem: must stay red) and the middle (the gem: must not be red). */
static void CheckTabImage(HIMAGELIST list, int index) {
    char what[96];
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 10, 10);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all = {0, 0, 10, 10};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    int drawn = ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
    COLORREF corner = GetPixel(dc, 0, 0);
    COLORREF middle = GetPixel(dc, 5, 5);
    snprintf(what, sizeof what, "tab image %d drawn masked (corner %06lx, middle %06lx)", index,
             (unsigned long)corner, (unsigned long)middle);
    Expect(drawn && corner == RGB(255, 0, 0) && middle != RGB(255, 0, 0), what);
    SelectObject(dc, old);
    DeleteObject(red);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
}

static void CheckTabImages(HMODULE module) {
    HBITMAP unselected = LoadBitmapA(module, MAKEINTRESOURCEA(111));
    HBITMAP mask = LoadBitmapA(module, MAKEINTRESOURCEA(112));
    HBITMAP selected = LoadBitmapA(module, MAKEINTRESOURCEA(113));
    HIMAGELIST list = ImageList_Create(10, 10, ILC_COLORDDB | ILC_MASK, 0, 2);
    Expect(list && ImageList_Add(list, unselected, mask) == 0 &&
               ImageList_Add(list, selected, mask) == 1,
           "tab images 111 and 113 join an image list with mask 112");
    if (list) {
        CheckTabImage(list, 0);
        CheckTabImage(list, 1);
        ImageList_Destroy(list);
    }
    DeleteObject(unselected);
    DeleteObject(mask);
    DeleteObject(selected);
}

static void CheckString(const void* block, const char* key, const char* expected) {
    char path[128], what[200];
    char* value = NULL;
    UINT length = 0;
    snprintf(path, sizeof path, "\\StringFileInfo\\040904B0\\%s", key);
    int ok = VerQueryValueA(block, path, (LPVOID*)&value, &length) && value &&
             strcmp(value, expected) == 0;
    snprintf(what, sizeof what, "version string %s = \"%s\"", key, expected);
    Expect(ok, what);
}

static void CheckVersion(const char* path, const char* version, const char* fileName) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    char what[160];
    snprintf(what, sizeof what, "%s has version information", fileName);
    Expect(size > 0, what);
    if (size == 0) return;
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    if (!block || !GetFileVersionInfoA(path, 0, size, block)) {
        Expect(0, "version information readable");
        if (block) HeapFree(GetProcessHeap(), 0, block);
        return;
    }
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    unsigned major = 0, minor = 0, patch = 0;
    sscanf(version, "%u.%u.%u", &major, &minor, &patch);
    Expect(VerQueryValueA(block, "\\", (LPVOID*)&fixed, &length) && fixed &&
               fixed->dwFileVersionMS == (major << 16 | minor) &&
               fixed->dwFileVersionLS == patch << 16,
           "file version numbers are the project version");
    CheckString(block, "ProductName", "Frostweave");
    CheckString(block, "FileVersion", version);
    CheckString(block, "LegalCopyright", "Copyright (C) 2026 The Frostweave developers");
    CheckString(block, "OriginalFilename", fileName);
    HeapFree(GetProcessHeap(), 0, block);
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: resource_check MODULE VERSION [RENDERER]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    HMODULE module = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        fprintf(stderr, "resource_check: cannot load %s (%lu)\n", argv[1], GetLastError());
        return 2;
    }
    const int buttons[] = {104, 105, 106, 107};
    for (int i = 0; i < 4; ++i) CheckBitmap(module, buttons[i], 16, 16, 0);
    CheckBitmap(module, 111, 10, 10, 0);
    CheckBitmap(module, 112, 10, 10, 1);
    CheckBitmap(module, 113, 10, 10, 0);
    CheckBitmap(module, 115, 160, 160, 0);
    CheckBitmap(module, 125, 80, 80, 0);
    CheckBitmap(module, 999, 40, 40, 0);
    CheckTabImages(module);
    FreeLibrary(module);
    CheckVersion(argv[1], argv[2], "GLTFrostweave.8bf");
    if (argc == 4) CheckVersion(argv[3], argv[2], "Prismcore.dll");
    printf("%d failed\n", g_failures);
    return g_failures;
}

// The few operating-system services the portable layers need. One implementation per
// system: platform_win32.cpp (the real module) and platform_posix.cpp (Linux module, tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw::platform {

// A modal message for the user (Windows: message box, exclamation icon, no owner).
// On Linux the message goes to stderr ("frostweave: caption: text").
void ShowMessage(const char* caption, const char* text);

// A line for the debugger (Windows: OutputDebugString); on Linux stderr when
// FROSTWEAVE_DEBUG is set, and always counted.
void DebugOutput(const char* text);
int DebugOutputCount();

// Zero-filled page allocation for large pixel buffers. Null when memory is short.
void* AllocatePages(size_t bytes);
void FreePages(void* block);

// Zero-filled system memory for the plug-in's own handles when the host has none.
void* AllocateGlobal(size_t bytes);
void FreeGlobal(void* block);

// The 24-bit bitmap resource `id` of the module as rows of RGB bytes, top row first.
// False when the resource is missing.
bool LoadBitmapRgb(int id, int& width, int& height, std::vector<uint8_t>& rgb);

// The about box (dialog 16107), modal, owned by `owner` (may be 0). Nothing on Linux.
void ShowAboutBox(intptr_t owner);

// Makes sure the renderer library is loaded. On Windows the module imports it lazily,
// and hosts that load plug-ins by full path would not search the plug-in's folder, so it
// is loaded from beside the module first. False when it cannot be found.
bool RendererAvailable();

// Folder of the loaded module, with a trailing separator.
std::string ModuleFolder();

// The raw version resource of the host's executable; false when there is none
// (always on Linux).
bool ReadHostVersionResource(std::vector<uint8_t>& data);

}  // namespace fw::platform

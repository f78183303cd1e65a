/* A stand-in module that carries the filter's resources, so their layout, the machine type
   and the export naming can be checked without the real module. The entry is declared as
   the module's is (C linkage, default calling convention, exported) but does nothing: the
   tests only read this file. */
#include <stdint.h>

__declspec(dllexport) void PluginMain(int16_t selector, void* block, intptr_t* data,
                                      int16_t* result) {
    (void)selector;
    (void)block;
    (void)data;
    (void)result;
}

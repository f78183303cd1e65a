// Bitmap resources compiled into the Linux module. Filled from resources/*.bmp.
#include <cstddef>
#include <cstdint>

namespace fw::platform {

bool FindCompiledBitmap(int, const uint8_t*&, size_t&) { return false; }

}  // namespace fw::platform

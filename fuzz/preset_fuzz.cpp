// libFuzzer target for the preset reader: the input is whatever follows a valid header.
// Besides crashes and out-of-bounds reads (ASan), it checks that
//   - the FILE reader and the in-memory reader agree, and
//   - whatever was read survives a write and a second read: the 46 written lines come
//     back identical, except lines holding an infinity, which the reader cannot parse.
#include <stdio.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "params/preset_file.h"

namespace {

fw::EffectParameters Defaults() {
    fw::EffectParameters p;
    std::memset(&p, 0, sizeof p);  // padding too, so records compare with memcmp
    fw::SetDefaults(p);
    return p;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "preset_fuzz: %s\n", what);
        std::abort();
    }
}

void CheckSameLines(const std::string& a, const std::string& b) {
    size_t pa = 0, pb = 0;
    while (pa < a.size() && pb < b.size()) {
        const size_t ea = a.find('\n', pa), eb = b.find('\n', pb);
        const std::string_view la(a.data() + pa, ea - pa), lb(b.data() + pb, eb - pb);
        if (la.find("inf") == std::string_view::npos) Check(la == lb, "round trip changed a line");
        pa = ea + 1;
        pb = eb + 1;
    }
    Check(pa == a.size() && pb == b.size(), "round trip changed the line count");
}

void CheckOne(std::string_view text) {
    fw::EffectParameters fromText = Defaults();
    fw::ReadPresetText(fromText, text);

    // The same bytes through a real FILE, header check included.
    std::string file = fw::kPresetHeader;
    file.append(text);
    FILE* f = fmemopen(file.data(), file.size(), "rb");
    Check(f != nullptr, "fmemopen failed");
    char header[fw::kPresetHeaderSize];
    Check(std::fread(header, 1, sizeof header, f) == sizeof header, "header read failed");
    Check(fw::HasPresetHeader(std::string_view(header, sizeof header)), "header rejected");
    fw::EffectParameters fromFile = Defaults();
    fw::ReadPreset(fromFile, f);
    std::fclose(f);
    Check(std::memcmp(&fromText, &fromFile, sizeof fromText) == 0, "FILE and text readers differ");

    const std::string written = fw::FormatPreset(fromText);
    fw::EffectParameters again;
    std::memset(&again, 0, sizeof again);
    fw::ReadPresetText(again, written);
    CheckSameLines(written, fw::FormatPreset(again));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckOne(text);
    // Mutations rarely build a line that reaches the end of the 1024-byte line buffer, so
    // every input is also tried as the tail of a first line that ends near that limit.
    const size_t pad = 990 + (size > 0 ? data[0] % 48 : 0);
    CheckOne(std::string(pad, ' ') + std::string(text));
    return 0;
}

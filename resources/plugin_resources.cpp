#include "plugin_resources.h"

namespace fw::pe {
namespace {

// Sequential little-endian reads; once a read runs past the end every later read fails too.
class Cursor {
  public:
    explicit Cursor(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool Ok() const { return ok_; }
    size_t Left() const { return ok_ ? bytes_.size() - at_ : 0; }

    uint8_t U8() { return Take(1) ? bytes_[at_ - 1] : 0; }
    uint16_t U16() {
        if (!Take(2)) return 0;
        return uint16_t(bytes_[at_ - 2] | bytes_[at_ - 1] << 8);
    }
    uint32_t U32() {
        if (!Take(4)) return 0;
        const uint8_t* p = &bytes_[at_ - 4];
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    std::string PascalString() {
        const size_t length = U8();
        if (!Take(length)) return {};
        return std::string(bytes_.begin() + (at_ - length), bytes_.begin() + at_);
    }
    std::vector<uint8_t> Bytes(size_t count) {
        if (!Take(count)) return {};
        return std::vector<uint8_t>(bytes_.begin() + (at_ - count), bytes_.begin() + at_);
    }

  private:
    bool Take(size_t count) {
        if (!ok_ || count > bytes_.size() - at_) {
            ok_ = false;
            return false;
        }
        at_ += count;
        return true;
    }
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

AeteEvent ReadEvent(Cursor& in) {
    AeteEvent e;
    e.name = in.PascalString();
    e.description = in.PascalString();
    e.eventClass = in.U32();
    e.eventId = in.U32();
    e.replyType = in.U32();
    e.replyDescription = in.PascalString();
    e.replyFlags = in.U16();
    e.directType = in.U32();
    e.directDescription = in.PascalString();
    e.directFlags = in.U16();
    const uint16_t count = in.U16();
    for (uint16_t i = 0; i < count && in.Ok(); ++i) {
        AeteParameter p;
        p.name = in.PascalString();
        p.key = in.U32();
        p.type = in.U32();
        p.description = in.PascalString();
        p.flags = in.U16();
        e.parameters.push_back(p);
    }
    return e;
}

bool ReadSuite(Cursor& in, AeteSuite& s) {
    s.name = in.PascalString();
    s.description = in.PascalString();
    s.id = in.U32();
    s.level = int16_t(in.U16());
    s.version = int16_t(in.U16());
    const uint16_t events = in.U16();
    for (uint16_t i = 0; i < events && in.Ok(); ++i) s.events.push_back(ReadEvent(in));
    if (in.U16() != 0) return false;  // classes
    const uint16_t comparisons = in.U16();
    for (uint16_t i = 0; i < comparisons && in.Ok(); ++i) {
        AeteComparison c;
        c.name = in.PascalString();
        c.id = in.U32();
        c.description = in.PascalString();
        s.comparisons.push_back(c);
    }
    const uint16_t enumerations = in.U16();
    for (uint16_t i = 0; i < enumerations && in.Ok(); ++i) {
        AeteEnumeration e;
        e.type = in.U32();
        const uint16_t count = in.U16();
        for (uint16_t k = 0; k < count && in.Ok(); ++k) {
            AeteEnumerator item;
            item.name = in.PascalString();
            item.value = in.U32();
            item.description = in.PascalString();
            e.enumerators.push_back(item);
        }
        s.enumerations.push_back(e);
    }
    return in.Ok();
}

}  // namespace

std::string FourCCText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        text.push_back(c >= 0x20 && c < 0x7F ? c : '.');
    }
    return text;
}

bool ParsePipl(const std::vector<uint8_t>& bytes, Pipl& pipl) {
    pipl = Pipl{};
    Cursor in(bytes);
    pipl.reserved = int16_t(in.U16());
    pipl.version = int32_t(in.U32());
    const uint32_t count = in.U32();
    // Each property takes at least 16 bytes: no count larger than the data can be true.
    if (!in.Ok() || count > in.Left() / 16) return false;
    for (uint32_t i = 0; i < count; ++i) {
        PiplProperty p;
        p.vendor = in.U32();
        p.key = in.U32();
        p.id = int32_t(in.U32());
        p.length = in.U32();
        p.data = in.Bytes(p.length);
        if (!in.Ok()) return false;
        pipl.properties.push_back(std::move(p));
    }
    pipl.trailing = in.Left();
    return true;
}

const PiplProperty* FindProperty(const Pipl& pipl, uint32_t key) {
    for (const PiplProperty& p : pipl.properties)
        if (p.key == key) return &p;
    return nullptr;
}

bool ParseAete(const std::vector<uint8_t>& bytes, Aete& aete) {
    aete = Aete{};
    Cursor in(bytes);
    aete.reserved = int16_t(in.U16());
    aete.major = in.U8();
    aete.minor = in.U8();
    aete.language = int16_t(in.U16());
    aete.script = int16_t(in.U16());
    const uint16_t suites = in.U16();
    for (uint16_t i = 0; i < suites && in.Ok(); ++i) {
        AeteSuite s;
        if (!ReadSuite(in, s)) return false;
        aete.suites.push_back(std::move(s));
    }
    aete.trailing = in.Left();
    return in.Ok();
}

}  // namespace fw::pe

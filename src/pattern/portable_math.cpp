#include "pattern/portable_math.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace fw::pm {
namespace {

// ---- pi/2 to ~1500 bits, computed once with Machin's formula in fixed point ----------------
// Word 0 holds the integer part, words 1.. the fraction, most significant first. Exact
// reduction of any double needs about 1024 + 53 + 64 bits of pi/2; 48 fraction words leave
// room for the truncation error of the series.
constexpr int kFracWords = 48;
constexpr int kWords = kFracWords + 1;
using Big = std::array<uint32_t, kWords>;

void DivSmall(Big& a, uint32_t d) {
    uint64_t rem = 0;
    for (int i = 0; i < kWords; ++i) {
        const uint64_t cur = (rem << 32) | a[i];
        a[i] = static_cast<uint32_t>(cur / d);
        rem = cur % d;
    }
}

void MulSmall(Big& a, uint32_t m) {
    uint64_t carry = 0;
    for (int i = kWords - 1; i >= 0; --i) {
        const uint64_t cur = static_cast<uint64_t>(a[i]) * m + carry;
        a[i] = static_cast<uint32_t>(cur);
        carry = cur >> 32;
    }
}

void Add(Big& a, const Big& b) {
    uint64_t carry = 0;
    for (int i = kWords - 1; i >= 0; --i) {
        const uint64_t cur = static_cast<uint64_t>(a[i]) + b[i] + carry;
        a[i] = static_cast<uint32_t>(cur);
        carry = cur >> 32;
    }
}

// a -= b; requires a >= b.
void Sub(Big& a, const Big& b) {
    int64_t borrow = 0;
    for (int i = kWords - 1; i >= 0; --i) {
        int64_t cur = static_cast<int64_t>(a[i]) - b[i] - borrow;
        borrow = cur < 0 ? 1 : 0;
        if (cur < 0) cur += (int64_t{1} << 32);
        a[i] = static_cast<uint32_t>(cur);
    }
}

int Compare(const Big& a, const Big& b) {
    for (int i = 0; i < kWords; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

bool IsZero(const Big& a) {
    for (uint32_t w : a) {
        if (w != 0) return false;
    }
    return true;
}

void ShiftLeft1(Big& a) {
    uint32_t carry = 0;
    for (int i = kWords - 1; i >= 0; --i) {
        const uint32_t next = a[i] >> 31;
        a[i] = (a[i] << 1) | carry;
        carry = next;
    }
}

// atan(1/m) = sum (-1)^n / ((2n + 1) m^(2n + 1))
Big AtanInverse(uint32_t m) {
    Big power{};
    power[0] = 1;
    DivSmall(power, m);
    Big sum{};
    for (uint32_t n = 0; !IsZero(power); ++n) {
        Big term = power;
        DivSmall(term, 2 * n + 1);
        if (n % 2 == 0) {
            Add(sum, term);
        } else {
            Sub(sum, term);
        }
        DivSmall(power, m * m);
    }
    return sum;
}

// Fraction bit j (1-based) of a Big; j = 0 is the lowest integer bit.
int BitAt(const Big& a, int j) {
    if (j == 0) return static_cast<int>(a[0] & 1);
    const int word = 1 + (j - 1) / 32;
    const int shift = 31 - (j - 1) % 32;
    return static_cast<int>((a[word] >> shift) & 1);
}

// Sum of bits first..last of a Big; exact when last - first < 53.
double BitsToDouble(const Big& a, int first, int last) {
    double weight = 1.0;
    for (int j = 0; j < first; ++j) weight *= 0.5;
    double v = 0.0;
    for (int j = first; j <= last; ++j, weight *= 0.5) {
        if (BitAt(a, j)) v += weight;
    }
    return v;
}

constexpr int kInverseBits = 1344;  // 2/pi bits: enough for the largest double's window

struct Reduction {
    Big halfPi;
    // pi/2 split so that k * p1, k * p2, k * p3 are exact for |k| < 2^28.
    double p1, p2, p3, p4;
    // Bits of 2/pi after the binary point, most significant first.
    std::array<uint32_t, kInverseBits / 32> twoOverPi;
};

const Reduction& Tables() {
    static const Reduction table = [] {
        Reduction r{};
        Big a = AtanInverse(5);
        Big b = AtanInverse(239);
        MulSmall(a, 8);
        MulSmall(b, 2);
        Sub(a, b);
        r.halfPi = a;
        r.p1 = BitsToDouble(a, 0, 24);
        r.p2 = BitsToDouble(a, 25, 49);
        r.p3 = BitsToDouble(a, 50, 74);
        r.p4 = BitsToDouble(a, 75, 127);
        // 2/pi = 1 / (pi/2) by binary long division.
        Big rem{};
        rem[0] = 1;
        for (int j = 0; j < kInverseBits; ++j) {
            ShiftLeft1(rem);
            if (Compare(rem, a) >= 0) {
                Sub(rem, a);
                r.twoOverPi[j / 32] |= 1u << (31 - j % 32);
            }
        }
        return r;
    }();
    return table;
}

// Bit j (1-based, weight 2^-j) of 2/pi.
uint32_t InverseBit(const Reduction& t, int j) {
    const int i = j - 1;
    return (t.twoOverPi[i / 32] >> (31 - i % 32)) & 1u;
}

constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kMediumLimit = 268435456.0;  // 2^28 quarter turns

// Payne-Hanek: |x| = m 2^e, and only a 192-bit window of 2/pi matters for m 2^e 2/pi
// modulo 4; the bits before it give multiples of 4, the bits after it less than 2^-130.
int ReduceLarge(const Reduction& t, double ax, double* r) {
    int ex = 0;
    const double f = std::frexp(ax, &ex);
    const auto m = static_cast<uint64_t>(std::ldexp(f, 53));
    const int e = ex - 53;
    const int j0 = e - 1 > 1 ? e - 1 : 1;
    const int units = j0 + 191 - e;  // product bit of weight 1
    uint32_t w[6] = {};              // window, most significant word first
    for (int k = 0; k < 192; ++k) {
        if (InverseBit(t, j0 + k)) w[k / 32] |= 1u << (31 - k % 32);
    }
    // prod = m * window, little-endian 32-bit words.
    uint32_t prod[8] = {};
    const uint32_t mw[2] = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32)};
    for (int i = 0; i < 2; ++i) {
        uint64_t carry = 0;
        for (int k = 0; k < 6; ++k) {
            const uint64_t cur = static_cast<uint64_t>(mw[i]) * w[5 - k] + prod[i + k] + carry;
            prod[i + k] = static_cast<uint32_t>(cur);
            carry = cur >> 32;
        }
        prod[i + 6] += static_cast<uint32_t>(carry);
    }
    auto bit = [&](int pos) { return (prod[pos / 32] >> (pos % 32)) & 1u; };
    int n = static_cast<int>(bit(units) | (bit(units + 1) << 1));
    // The fraction below the units bit, from its leading 53 bits.
    int lead = units - 1;
    while (lead >= 0 && bit(lead) == 0) --lead;
    double frac = 0.0;
    if (lead >= 0) {
        uint64_t top = 0;
        for (int k = 0; k < 64; ++k) {
            const int pos = lead - k;
            top = (top << 1) | (pos >= 0 ? bit(pos) : 0u);
        }
        // 53 bits convert exactly on every target (i686 would go through x87 for 64).
        frac = std::ldexp(static_cast<double>(static_cast<int64_t>(top >> 11)), lead - units - 52);
    }
    if (frac >= 0.5) {
        frac -= 1.0;
        n = (n + 1) & 3;
    }
    *r = frac * kHalfPi;
    return n;
}

// x = n * pi/2 + r with |r| <= ~pi/4; returns n mod 4.
int Reduce(double x, double* r) {
    const double ax = std::fabs(x);
    if (ax <= kQuarterPi) {
        *r = x;
        return 0;
    }
    const Reduction& t = Tables();
    const double kd = std::floor(x * kTwoOverPi + 0.5);
    if (std::fabs(kd) < kMediumLimit) {
        *r = x - kd * t.p1 - kd * t.p2 - kd * t.p3 - kd * t.p4;
        const auto k = static_cast<int64_t>(kd);
        return static_cast<int>(((k % 4) + 4) % 4);
    }
    double v = 0.0;
    int n = ReduceLarge(t, ax, &v);
    if (x < 0) {
        v = -v;
        n = (4 - n) & 3;
    }
    *r = v;
    return n;
}

// Taylor kernels on |r| <= ~pi/4; the first omitted terms are below 1e-19.
double KernelSin(double r) {
    const double s = r * r;
    double p = 1.0 / 355687428096000.0;  // 1/17!
    p = -1.0 / 1307674368000.0 + s * p;  // -1/15!
    p = 1.0 / 6227020800.0 + s * p;      // 1/13!
    p = -1.0 / 39916800.0 + s * p;       // -1/11!
    p = 1.0 / 362880.0 + s * p;          // 1/9!
    p = -1.0 / 5040.0 + s * p;           // -1/7!
    p = 1.0 / 120.0 + s * p;             // 1/5!
    p = -1.0 / 6.0 + s * p;              // -1/3!
    return r + r * s * p;
}

double KernelCos(double r) {
    const double s = r * r;
    double p = -1.0 / 6402373705728000.0;  // -1/18!
    p = 1.0 / 20922789888000.0 + s * p;    // 1/16!
    p = -1.0 / 87178291200.0 + s * p;      // -1/14!
    p = 1.0 / 479001600.0 + s * p;         // 1/12!
    p = -1.0 / 3628800.0 + s * p;          // -1/10!
    p = 1.0 / 40320.0 + s * p;             // 1/8!
    p = -1.0 / 720.0 + s * p;              // -1/6!
    p = 1.0 / 24.0 + s * p;                // 1/4!
    p = -0.5 + s * p;
    return 1.0 + s * p;
}

}  // namespace

void SinCos(double x, double* s, double* c) {
    if (!std::isfinite(x)) {
        *s = *c = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    double r = 0.0;
    const int n = Reduce(x, &r);
    const double ks = KernelSin(r);
    const double kc = KernelCos(r);
    switch (n) {
        case 0:
            *s = ks;
            *c = kc;
            break;
        case 1:
            *s = kc;
            *c = -ks;
            break;
        case 2:
            *s = -ks;
            *c = -kc;
            break;
        default:
            *s = -kc;
            *c = ks;
            break;
    }
}

double Sin(double x) {
    double s, c;
    SinCos(x, &s, &c);
    return s;
}

double Cos(double x) {
    double s, c;
    SinCos(x, &s, &c);
    return c;
}

double Atan(double x) {
    if (std::isnan(x)) return x;
    const bool negative = x < 0;
    double a = std::fabs(x);
    const bool inverted = a > 1.0;
    if (inverted) a = 1.0 / a;
    double offset = 0.0;
    constexpr double kTan15 = 0.2679491924311227;
    if (a > kTan15) {
        const double root3 = std::sqrt(3.0);
        a = (a * root3 - 1.0) / (a + root3);
        offset = 0.5235987755982988;  // pi/6
    }
    // a <= tan 15 deg: the series' 22nd term is below 1e-27.
    const double s = a * a;
    double p = 0.0;
    for (int n = 21; n >= 1; --n) {
        const double coeff = (n % 2 == 0 ? 1.0 : -1.0) / (2 * n + 1);
        p = coeff + s * p;
    }
    double result = offset + (a + a * s * p);
    if (inverted) result = kHalfPi - result;
    return negative ? -result : result;
}

double Asin(double x) {
    if (std::isnan(x)) return x;
    const double a = std::fabs(x);
    if (a > 1.0) return std::numeric_limits<double>::quiet_NaN();
    if (a == 1.0) return x < 0 ? -kHalfPi : kHalfPi;
    return Atan(x / std::sqrt((1.0 - x) * (1.0 + x)));
}

}  // namespace fw::pm

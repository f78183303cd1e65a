// Portable transcendental functions for the pattern generator.
//
// The C runtimes we ship on (glibc, mingw's msvcrt/ucrt) round sin, cos, atan and friends
// differently, and a single differing ulp moves a seed or flips a winding test, so the same
// preset would grow a different frost on Linux and Windows. Everything here is plain IEEE
// double arithmetic (+, -, *, /, sqrt) in a fixed order, so every build that keeps SSE
// arithmetic and no contraction gets the same bits. Results are accurate to about an ulp,
// not correctly rounded; being identical everywhere is what matters.
//
// Arguments of any size are reduced properly (the counter-driven cos(c) reaches millions,
// presets can produce angles of 1e30); NaN and infinities give NaN, never a trap.
#pragma once

namespace fw::pm {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kHalfPi = 1.5707963267948966;

double Sin(double x);
double Cos(double x);
// Both at once; same bits as Sin and Cos.
void SinCos(double x, double* s, double* c);
double Atan(double x);
// asin for |x| <= 1, NaN outside.
double Asin(double x);

// Float helpers: computed in double, rounded once.
inline float SinF(float x) {
    return static_cast<float>(Sin(x));
}
inline float CosF(float x) {
    return static_cast<float>(Cos(x));
}
inline void SinCosF(float x, float* s, float* c) {
    double sd, cd;
    SinCos(x, &sd, &cd);
    *s = static_cast<float>(sd);
    *c = static_cast<float>(cd);
}
inline float AtanF(float x) {
    return static_cast<float>(Atan(x));
}
inline float AsinF(float x) {
    return static_cast<float>(Asin(x));
}

}  // namespace fw::pm

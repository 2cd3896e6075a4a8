// Number functions with angles in degrees.
#pragma once

#include <climits>
#include <cmath>

inline constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
inline constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;

inline double Sin(double degrees) {
    return std::sin(degrees * kDegToRad);
}
inline double Cos(double degrees) {
    return std::cos(degrees * kDegToRad);
}
inline double Tan(double degrees) {
    return std::tan(degrees * kDegToRad);
}
// Inverse functions return degrees: ASin and ATan in [-90, 90], ACos in [0, 180] (NaN outside
// [-1, 1] for ASin and ACos), ATan2 in [-180, 180].
inline double ASin(double x) {
    return std::asin(x) * kRadToDeg;
}
inline double ACos(double x) {
    return std::acos(x) * kRadToDeg;
}
inline double ATan(double x) {
    return std::atan(x) * kRadToDeg;
}
inline double ATan2(double y, double x) {
    return std::atan2(y, x) * kRadToDeg;
}

// Conversion to Int by truncation toward zero, as the runtime converts; `fallback` for a value
// that is not a number or lies outside the Int range (where the plain conversion is undefined).
inline int TruncToInt(double x, int fallback = 0) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return fallback;
    return int(x);
}

// Truncation toward zero held within the Int range: a value past either end gives that end, a
// value that is not a number gives 0 (a move or a position read from a file must not overflow).
inline int TruncToIntClamped(double x) {
    if (std::isnan(x)) return 0;
    if (x >= double(INT_MAX)) return INT_MAX;
    if (x <= double(INT_MIN)) return INT_MIN;
    return int(x);
}

// Square root (not the square).
inline double Sqr(double x) {
    return std::sqrt(x);
}

// Absolute value. Abs(INT_MIN) is INT_MIN, as in two's-complement arithmetic.
inline int Abs(int x) {
    return x < 0 ? int(0u - unsigned(x)) : x;
}
inline long Abs(long x) {
    return x < 0 ? long(0ul - (unsigned long)x) : x;
}
inline long long Abs(long long x) {
    return x < 0 ? (long long)(0ull - (unsigned long long)x) : x;
}
inline float Abs(float x) {
    return std::fabs(x);
}
inline double Abs(double x) {
    return std::fabs(x);
}

// The demo's Float arithmetic: an expression is formed in double precision and rounded to float
// once, when its result is stored, so that every platform produces the same frames. Each helper
// below is one such expression; write others as float(<expression in double>).
#pragma once

// a + b.
inline float AddF(float a, double b) {
    return float(double(a) + b);
}

// a - b.
inline float SubF(float a, double b) {
    return float(double(a) - b);
}

// a * b.
inline float MulF(float a, double b) {
    return float(double(a) * b);
}

// v moved toward `target` by the share `rate` of the gap.
inline float EaseF(float v, double target, double rate) {
    return float(double(v) + (target - double(v)) * rate);
}

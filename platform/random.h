// The program's one random number generator.
//
// A single PCG32 generator (64-bit linear congruential state, XSH RR output permutation) shared
// by the whole program. It starts from the same fixed state on every run and is never reseeded,
// so every sequence of draws repeats from run to run; the order of draws is therefore part of
// the program's behaviour.
#pragma once

#include <cstdint>

// Start state: the generator is seeded by the usual PCG32 procedure (state 0, increment
// 2 * sequence + 1, one step, add the seed, one step) with these two constants.
inline constexpr std::uint64_t kRandomSeed = 42;
inline constexpr std::uint64_t kRandomSequence = 54;

// The next 32 raw bits of the generator.
std::uint32_t RandomBits();

// Uniform float in [a, b): 24 random bits make u in [0, 1), a + (b - a) * u is formed in double
// and rounded to float; a result that rounding carried onto b is moved one step toward a, so b
// itself never comes out (unless a == b). With a > b the result lies in (b, a].
float Rnd(float a, float b);
float Rnd(float b); // Rnd(0, b)
float Rnd();        // Rnd(0, 1)

// Uniform integer in [a, b], both ends included, without modulo bias; the bounds may be given
// in either order.
int Rand(int a, int b);
int Rand(int b); // Rand(1, b)

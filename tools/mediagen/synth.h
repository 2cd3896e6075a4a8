// A small software synthesiser for the media generator: oscillators, filters, envelopes,
// drum and tone instruments rendered note by note into stereo buses, and the effects the songs
// are mixed with. Everything is computed in a fixed order from fixed seeds: the same song
// comes out sample for sample on every run.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace mediagen::synth {

inline constexpr int kRate = 44100;
inline constexpr double kTwoPi = 6.283185307179586;

inline double MidiHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// A stereo buffer of float samples.
struct Bus {
    std::vector<float> l, r;
    explicit Bus(std::size_t frames = 0) : l(frames, 0.0f), r(frames, 0.0f) {}
    std::size_t size() const { return l.size(); }
    void add(std::int64_t i, float vl, float vr) {
        if (i < 0 || i >= std::int64_t(l.size())) return;
        l[std::size_t(i)] += vl;
        r[std::size_t(i)] += vr;
    }
    // Adds another bus scaled by gain.
    void mix(const Bus& b, float gain);
};

// Deterministic white noise in [-1, 1).
struct Noise {
    std::uint32_t s;
    explicit Noise(std::uint32_t seed) : s(seed ? seed : 1u) {}
    float operator()() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return float(s >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
};

// Band-limited oscillators (polyBLEP) over a phase in [0, 1).
float PolyBlep(double t, double dt);
float Saw(double phase, double dt);
float Pulse(double phase, double dt, double width);

// State-variable filter (trapezoidal integration): low, band and high pass at once.
struct Svf {
    double ic1 = 0, ic2 = 0;
    double g = 0, k = 1, a1 = 0, a2 = 0, a3 = 0;
    void set(double cutoffHz, double q);
    void run(double v0, double* lp, double* bp, double* hp);
    double low(double v0) {
        double lp, bp, hp;
        run(v0, &lp, &bp, &hp);
        return lp;
    }
    double band(double v0) {
        double lp, bp, hp;
        run(v0, &lp, &bp, &hp);
        return bp;
    }
    double high(double v0) {
        double lp, bp, hp;
        run(v0, &lp, &bp, &hp);
        return hp;
    }
};

// Attack-decay-sustain-release envelope, linear attack, exponential decay and release; the
// note is held for `hold` seconds.
double Adsr(double t, double hold, double a, double d, double s, double r);

// Equal-power pan: -1 left, 0 centre, 1 right.
void Pan(float pan, float* gl, float* gr);

// ---------------------------------------------------------------------------------------------
// Instruments. Each renders one note into the bus from sample `at`, scaled by `gain`.

void Kick(Bus& b, std::int64_t at, float gain, double decay = 0.32, double drop = 110);
void HeavyHit(Bus& b, std::int64_t at, float gain, std::uint32_t seed);
void Clap(Bus& b, std::int64_t at, float gain, std::uint32_t seed);
void Snare(Bus& b, std::int64_t at, float gain, std::uint32_t seed, double tone = 190);
void HiHat(Bus& b, std::int64_t at, float gain, double decay, std::uint32_t seed, float pan);
void Crash(Bus& b, std::int64_t at, float gain, std::uint32_t seed, double length = 2.2);
void Zap(Bus& b, std::int64_t at, float gain, std::uint32_t seed, float pan);
void Boom(Bus& b, std::int64_t at, float gain, std::uint32_t seed);
// A swell of filtered noise rising over `seconds`, ending at `at + seconds`.
void Riser(Bus& b, std::int64_t at, double seconds, float gain, std::uint32_t seed);

// Tonal voices: `notes` sound together for `hold` seconds.
void Stab(Bus& b, std::int64_t at, const std::vector<int>& notes, float gain, std::uint32_t seed);
void Pad(Bus& b, std::int64_t at, double hold, const std::vector<int>& notes, float gain,
         double brightness);
void Bass(Bus& b, std::int64_t at, double hold, int note, float gain, double brightness);
void Lead(Bus& b, std::int64_t at, double hold, int note, float gain, float pan);
void Pluck(Bus& b, std::int64_t at, double hold, int note, float gain, float pan);
void Bell(Bus& b, std::int64_t at, double hold, int note, float gain, float pan);
void Chip(Bus& b, std::int64_t at, double hold, int note, float gain, float pan, double width);

// ---------------------------------------------------------------------------------------------
// Effects, applied to whole buses.

// A stereo reverb (parallel combs into series all-passes) of `in`, added to `out` at `gain`.
void AddReverb(const Bus& in, Bus& out, float gain, float room, float damp, float width);
// A ping-pong echo of `in` every `delaySamples`, with feedback, added to `out` at `gain`.
void AddEcho(const Bus& in, Bus& out, float gain, int delaySamples, float feedback, float tone);
// Multiplies the bus by a gain that dips at each hit time and recovers (side-chain pumping).
void Duck(Bus& b, const std::vector<std::int64_t>& hits, float depth, double recovery);
// Soft-limits the bus and scales it so its largest sample is `peak`.
void Master(Bus& b, float drive, float peak);

// Encodes a stereo bus as Ogg Vorbis at kRate with a fixed stream serial number; the file
// bytes depend only on the samples. Throws on failure.
std::vector<std::uint8_t> EncodeVorbis(const Bus& b, float quality, int serial);

} // namespace mediagen::synth

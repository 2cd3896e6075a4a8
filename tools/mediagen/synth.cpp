#include "tools/mediagen/synth.h"

#include "platform/vorbis_encode.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace mediagen::synth {

void Bus::mix(const Bus& b, float gain) {
    const std::size_t n = std::min(size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        l[i] += b.l[i] * gain;
        r[i] += b.r[i] * gain;
    }
}

float PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return float(t + t - t * t - 1.0);
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return float(t * t + t + t + 1.0);
    }
    return 0.0f;
}

float Saw(double phase, double dt) {
    return float(2.0 * phase - 1.0) - PolyBlep(phase, dt);
}

float Pulse(double phase, double dt, double width) {
    double p2 = phase + (1.0 - width);
    if (p2 >= 1.0) p2 -= 1.0;
    return Saw(phase, dt) - Saw(p2, dt);
}

void Svf::set(double cutoffHz, double q) {
    cutoffHz = std::clamp(cutoffHz, 10.0, kRate * 0.45);
    g = std::tan(3.141592653589793 * cutoffHz / kRate);
    k = 1.0 / q;
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Svf::run(double v0, double* lp, double* bp, double* hp) {
    const double v3 = v0 - ic2;
    const double v1 = a1 * ic1 + a2 * v3;
    const double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    *lp = v2;
    *bp = v1;
    *hp = v0 - k * v1 - v2;
}

double Adsr(double t, double hold, double a, double d, double s, double r) {
    auto held = [&](double u) {
        if (u < a) return u / a;
        return s + (1.0 - s) * std::exp(-(u - a) / d);
    };
    if (t < hold) return held(t);
    return held(hold) * std::exp(-(t - hold) / r);
}

void Pan(float pan, float* gl, float* gr) {
    const double a = (double(pan) + 1.0) * 0.25 * 3.141592653589793;
    *gl = float(std::cos(a) * 1.41421356);
    *gr = float(std::sin(a) * 1.41421356);
}

namespace {

std::int64_t Frames(double seconds) {
    return std::int64_t(seconds * kRate);
}

// Frequencies of the metallic voice of hats and cymbals: six detuned squares.
constexpr double kMetal[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};

} // namespace

// ---------------------------------------------------------------------------------------------
// Drums

void Kick(Bus& b, std::int64_t at, float gain, double decay, double drop) {
    Noise noise(std::uint32_t(at) * 2654435761u + 17u);
    const std::int64_t n = Frames(decay * 4.5);
    double phase = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double f = 44.0 + drop * std::exp(-t / 0.04);
        phase += f / kRate;
        const double amp = std::min(1.0, t / 0.0015) * std::exp(-t / decay);
        const double click = noise() * std::exp(-t / 0.0025) * 0.35;
        const float y = float(std::tanh(1.7 * (std::sin(kTwoPi * phase) * amp + click)));
        b.add(at + i, y * gain, y * gain);
    }
}

void HeavyHit(Bus& b, std::int64_t at, float gain, std::uint32_t seed) {
    Kick(b, at, gain * 0.95f, 0.42, 150);
    Noise nl(seed), nr(seed ^ 0x5a5a5a5au);
    Svf fl, fr, hl, hr;
    fl.set(1700, 0.9), fr.set(1900, 0.9);
    hl.set(5000, 0.7), hr.set(5200, 0.7);
    const std::int64_t n = Frames(0.6);
    double phase = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double env = std::exp(-t / 0.06);
        phase += (72.0 + 60.0 * std::exp(-t / 0.05)) / kRate;
        const double body = std::sin(kTwoPi * phase) * std::exp(-t / 0.22) * 0.6;
        const double crack = std::exp(-t / 0.012) * 0.9;
        const double snap = std::exp(-t / 0.007);
        const double nL = nl(), nR = nr();
        const double sl = fl.band(nL) * (env + crack) * 2.2 + body + hl.high(nL) * snap * 1.2;
        const double sr = fr.band(nR) * (env + crack) * 2.2 + body + hr.high(nR) * snap * 1.2;
        b.add(at + i, float(std::tanh(sl * 1.4)) * gain * 0.8f,
              float(std::tanh(sr * 1.4)) * gain * 0.8f);
    }
}

void Clap(Bus& b, std::int64_t at, float gain, std::uint32_t seed) {
    Noise nl(seed), nr(seed * 7919u + 3u);
    Svf bl, br, hl, hr, sl2, sr2;
    bl.set(1250, 0.9), br.set(1150, 0.9);
    hl.set(600, 0.7), hr.set(600, 0.7);
    sl2.set(4500, 0.7), sr2.set(4700, 0.7);
    const double bursts[4] = {0.0, 0.0095, 0.0185, 0.029};
    const std::int64_t n = Frames(0.5);
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double env = 0;
        for (double s : bursts)
            if (t >= s) env = std::max(env, std::exp(-(t - s) / 0.0045));
        if (t >= bursts[3]) env = std::max(env, 0.75 * std::exp(-(t - bursts[3]) / 0.13));
        // A bright snap on top of the body marks the hit sharply.
        const double snap = std::exp(-t / 0.006);
        const double nL = nl(), nR = nr();
        const double sl = hl.high(bl.band(nL)) * env * 3.2 + sl2.high(nL) * snap * 0.9;
        const double sr = hr.high(br.band(nR)) * env * 3.2 + sr2.high(nR) * snap * 0.9;
        b.add(at + i, float(sl) * gain, float(sr) * gain);
    }
}

void Snare(Bus& b, std::int64_t at, float gain, std::uint32_t seed, double tone) {
    Noise nl(seed), nr(seed ^ 0x1234567u);
    Svf hl, hr;
    hl.set(1400, 0.7), hr.set(1500, 0.7);
    const std::int64_t n = Frames(0.45);
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double body =
            (std::sin(kTwoPi * tone * t) + 0.6 * std::sin(kTwoPi * tone * 1.74 * t)) *
            std::exp(-t / 0.07) * 0.5;
        const double env = std::exp(-t / 0.14);
        const double sl = body + hl.high(nl()) * env * 1.3;
        const double sr = body + hr.high(nr()) * env * 1.3;
        b.add(at + i, float(std::tanh(sl)) * gain, float(std::tanh(sr)) * gain);
    }
}

void HiHat(Bus& b, std::int64_t at, float gain, double decay, std::uint32_t seed, float pan) {
    Noise noise(seed);
    Svf hp1, hp2;
    hp1.set(7200, 0.8), hp2.set(9000, 0.6);
    float gl, gr;
    Pan(pan, &gl, &gr);
    const std::int64_t n = Frames(decay * 6 + 0.01);
    double ph[6] = {};
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double metal = 0;
        for (int k = 0; k < 6; ++k) {
            ph[k] += kMetal[k] * 1.7 / kRate;
            ph[k] -= std::floor(ph[k]);
            metal += ph[k] < 0.5 ? 1.0 : -1.0;
        }
        const double env = std::min(1.0, t / 0.0008) * std::exp(-t / decay);
        const double s = hp2.high(hp1.high(metal * 0.12 + noise() * 0.8)) * env;
        b.add(at + i, float(s) * gain * gl, float(s) * gain * gr);
    }
}

void Crash(Bus& b, std::int64_t at, float gain, std::uint32_t seed, double length) {
    Noise nl(seed), nr(seed * 48271u + 11u);
    Svf hl, hr, ml;
    hl.set(3600, 0.7), hr.set(3900, 0.7), ml.set(5000, 1.2);
    const std::int64_t n = Frames(length);
    double ph[6] = {};
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double metal = 0;
        for (int k = 0; k < 6; ++k) {
            ph[k] += kMetal[k] * 2.3 / kRate;
            ph[k] -= std::floor(ph[k]);
            metal += ph[k] < 0.5 ? 1.0 : -1.0;
        }
        const double env = std::exp(-t / (length / 4.5)) * (1.0 - t / length);
        const double hit = std::exp(-t / 0.02);
        const double m = ml.band(metal * 0.2) * 0.5;
        const double sl = (hl.high(nl()) * (0.55 + hit) + m) * env;
        const double sr = (hr.high(nr()) * (0.55 + hit) + m) * env;
        b.add(at + i, float(sl) * gain, float(sr) * gain);
    }
}

void Zap(Bus& b, std::int64_t at, float gain, std::uint32_t seed, float pan) {
    Noise noise(seed);
    Svf f;
    float gl, gr;
    Pan(pan, &gl, &gr);
    const std::int64_t n = Frames(0.16);
    double phase = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double hz = 260.0 + 2600.0 * std::exp(-t / 0.022);
        const double dt = hz / kRate;
        phase += dt;
        phase -= std::floor(phase);
        if (i % 16 == 0) f.set(hz * 1.5, 3.0);
        const double env = std::exp(-t / 0.045);
        const double s = f.band(Saw(phase, dt) + noise() * 0.5 * std::exp(-t / 0.008)) * env * 1.8;
        b.add(at + i, float(s) * gain * gl, float(s) * gain * gr);
    }
}

void Boom(Bus& b, std::int64_t at, float gain, std::uint32_t seed) {
    Snare(b, at, gain * 0.7f, seed, 160);
    Noise noise(seed ^ 0xabcdefu);
    Svf lp;
    lp.set(380, 0.8);
    const std::int64_t n = Frames(2.2);
    double phase = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        phase += (34.0 + 60.0 * std::exp(-t / 0.12)) / kRate;
        const double sub = std::sin(kTwoPi * phase) * std::exp(-t / 0.7);
        const double rumble = lp.low(noise()) * std::exp(-t / 0.35) * 1.5;
        const float y = float(std::tanh(1.5 * (sub + rumble)));
        b.add(at + i, y * gain, y * gain);
    }
}

void Riser(Bus& b, std::int64_t at, double seconds, float gain, std::uint32_t seed) {
    Noise nl(seed), nr(seed + 99u);
    Svf fl, fr;
    const std::int64_t n = Frames(seconds);
    for (std::int64_t i = 0; i < n; ++i) {
        const double u = double(i) / double(n);
        if (i % 32 == 0) {
            const double hz = 300.0 * std::pow(30.0, u);
            fl.set(hz, 2.5), fr.set(hz * 1.07, 2.5);
        }
        const double env = u * u;
        b.add(at + i, float(fl.band(nl()) * env) * gain, float(fr.band(nr()) * env) * gain);
    }
}

// ---------------------------------------------------------------------------------------------
// Tonal voices

namespace {

// Three detuned saws per note: the flat one leans left, the sharp one right, the middle one
// sits in both sides.
struct SawStack {
    std::vector<double> ph, inc;
    double far; // weight of a leaning voice on the side away from it

    SawStack(const std::vector<int>& notes, double detune, double farWeight,
             const std::function<double(std::size_t)>& startPhase)
        : ph(notes.size() * 3), inc(notes.size() * 3), far(farWeight) {
        const double offsets[3] = {-detune, 0.0, detune};
        for (std::size_t k = 0; k < ph.size(); ++k) {
            ph[k] = startPhase(k);
            inc[k] = MidiHz(notes[k / 3] + offsets[k % 3]) / kRate;
        }
    }
    void next(double* l, double* r) {
        double sl = 0, sr = 0;
        for (std::size_t k = 0; k < ph.size(); ++k) {
            ph[k] += inc[k];
            if (ph[k] >= 1.0) ph[k] -= 1.0;
            const double s = Saw(ph[k], inc[k]);
            sl += s * (k % 3 == 2 ? far : 1.0);
            sr += s * (k % 3 == 0 ? far : 1.0);
        }
        *l = sl, *r = sr;
    }
};

} // namespace

void Stab(Bus& b, std::int64_t at, const std::vector<int>& notes, float gain, std::uint32_t seed) {
    Noise noise(seed);
    Svf fl, fr;
    const std::int64_t n = Frames(0.7);
    SawStack saws(notes, 0.13, 0.4,
                  [&](std::size_t k) { return double((seed >> (k % 16)) & 7) / 8.0; });
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        if (i % 8 == 0) {
            const double cut = 420.0 + 7800.0 * std::exp(-t / 0.07);
            fl.set(cut, 1.3), fr.set(cut * 1.05, 1.3);
        }
        double sl, sr;
        saws.next(&sl, &sr);
        const double env = std::min(1.0, t / 0.0012) * std::exp(-t / 0.2);
        const double click = noise() * std::exp(-t / 0.003) * 1.2;
        const double norm = 0.45 / double(notes.size());
        b.add(at + i, float((fl.low(sl * norm) + click) * env) * gain,
              float((fr.low(sr * norm) + click) * env) * gain);
    }
}

void Pad(Bus& b, std::int64_t at, double hold, const std::vector<int>& notes, float gain,
         double brightness) {
    const double release = 1.1;
    const std::int64_t n = Frames(hold + release * 4);
    Svf fl, fr;
    SawStack saws(notes, 0.11, 0.3, [](std::size_t k) { return double(k % 5) / 5.0; });
    double env = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        if (i % 32 == 0) {
            const double cut = brightness * (1.0 + 0.25 * std::sin(kTwoPi * 0.3 * t));
            fl.set(cut, 0.8), fr.set(cut * 1.1, 0.8);
        }
        double sl, sr;
        saws.next(&sl, &sr);
        // The slow envelope is evaluated once per 32 samples.
        if (i % 32 == 0) env = Adsr(t, hold, 0.4, 0.8, 0.75, release);
        const double norm = 0.3 / double(notes.size());
        b.add(at + i, float(fl.low(sl * norm) * env) * gain, float(fr.low(sr * norm) * env) * gain);
    }
}

void Bass(Bus& b, std::int64_t at, double hold, int note, float gain, double brightness) {
    const std::int64_t n = Frames(hold + 0.3);
    Svf f;
    double p = 0, sub = 0;
    const double hz = MidiHz(note), dt = hz / kRate;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        if (i % 8 == 0) f.set(180.0 + brightness * std::exp(-t / 0.09), 1.6);
        p += dt;
        p -= std::floor(p);
        sub += dt / 2;
        sub -= std::floor(sub);
        const double s =
            f.low(Saw(p, dt) * 0.7 + Pulse(p, dt, 0.5) * 0.3) + std::sin(kTwoPi * sub) * 0.5;
        const double env = Adsr(t, hold, 0.003, 0.25, 0.75, 0.04);
        const float y = float(std::tanh(1.3 * s) * env);
        b.add(at + i, y * gain, y * gain);
    }
}

void Lead(Bus& b, std::int64_t at, double hold, int note, float gain, float pan) {
    const std::int64_t n = Frames(hold + 0.8);
    Svf f;
    f.set(3600, 0.9);
    float gl, gr;
    Pan(pan, &gl, &gr);
    double p1 = 0, p2 = 0.3, p3 = 0.6;
    const double base1 = MidiHz(note - 0.07) / kRate, base2 = MidiHz(note + 0.07) / kRate,
                 base3 = MidiHz(note - 12) / kRate;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double vib =
            t > 0.22 ? 0.16 * std::sin(kTwoPi * 5.5 * (t - 0.22)) * std::min(1.0, (t - 0.22) / 0.3)
                     : 0.0;
        const double bend = std::exp2(vib / 12.0);
        const double d1 = base1 * bend, d2 = base2 * bend, d3 = base3 * bend;
        p1 += d1, p2 += d2, p3 += d3;
        p1 -= std::floor(p1), p2 -= std::floor(p2), p3 -= std::floor(p3);
        const double s = Saw(p1, d1) + Saw(p2, d2) + 0.5 * Pulse(p3, d3, 0.5);
        const double env = Adsr(t, hold, 0.008, 0.3, 0.7, 0.12);
        const float y = float(f.low(s * 0.3) * env);
        b.add(at + i, y * gain * gl, y * gain * gr);
    }
}

void Pluck(Bus& b, std::int64_t at, double hold, int note, float gain, float pan) {
    const std::int64_t n = Frames(hold + 0.35);
    Svf f;
    float gl, gr;
    Pan(pan, &gl, &gr);
    double p = 0;
    const double dt = MidiHz(note) / kRate;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        if (i % 8 == 0) f.set(500.0 + 5000.0 * std::exp(-t / 0.05), 1.4);
        p += dt;
        p -= std::floor(p);
        const double env = std::min(1.0, t / 0.001) * std::exp(-t / 0.16) *
                           (t < hold ? 1.0 : std::exp(-(t - hold) / 0.05));
        const float y = float(f.low(Pulse(p, dt, 0.25)) * env * 0.5);
        b.add(at + i, y * gain * gl, y * gain * gr);
    }
}

void Bell(Bus& b, std::int64_t at, double hold, int note, float gain, float pan) {
    const std::int64_t n = Frames(hold + 1.8);
    float gl, gr;
    Pan(pan, &gl, &gr);
    const double hz = MidiHz(note);
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double index = 2.4 * std::exp(-t / 0.35);
        const double s = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * 3.5 * t));
        const double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.9) *
                           (t < hold ? 1.0 : std::exp(-(t - hold) / 0.5));
        const float y = float(s * env * 0.5);
        b.add(at + i, y * gain * gl, y * gain * gr);
    }
}

void Chip(Bus& b, std::int64_t at, double hold, int note, float gain, float pan, double width) {
    const std::int64_t n = Frames(hold + 0.25);
    float gl, gr;
    Pan(pan, &gl, &gr);
    Svf f;
    f.set(5000, 0.7);
    double p = 0;
    const double base = MidiHz(note) / kRate;
    for (std::int64_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double vib = t > 0.18 ? 0.12 * std::sin(kTwoPi * 6.0 * (t - 0.18)) : 0.0;
        const double dt = base * (vib != 0.0 ? std::exp2(vib / 12.0) : 1.0);
        p += dt;
        p -= std::floor(p);
        const double env = Adsr(t, hold, 0.003, 0.12, 0.55, 0.06);
        const float y = float(f.low(Pulse(p, dt, width)) * env * 0.45);
        b.add(at + i, y * gain * gl, y * gain * gr);
    }
}

// ---------------------------------------------------------------------------------------------
// Effects

void AddReverb(const Bus& in, Bus& out, float gain, float room, float damp, float width) {
    constexpr int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    constexpr int kPasses[4] = {556, 441, 341, 225};
    constexpr int kSpread = 23;
    struct Comb {
        std::vector<float> buf;
        std::size_t i = 0;
        float store = 0;
        float run(float x, float fb, float dmp) {
            const float y = buf[i];
            store = y * (1 - dmp) + store * dmp;
            buf[i] = x + store * fb;
            if (++i == buf.size()) i = 0;
            return y;
        }
    };
    struct Pass {
        std::vector<float> buf;
        std::size_t i = 0;
        float run(float x) {
            const float y = buf[i];
            buf[i] = x + y * 0.5f;
            if (++i == buf.size()) i = 0;
            return y - x;
        }
    };
    Comb cl[8], cr[8];
    Pass al[4], ar[4];
    for (int k = 0; k < 8; ++k) {
        cl[k].buf.assign(std::size_t(kCombs[k]), 0.0f);
        cr[k].buf.assign(std::size_t(kCombs[k] + kSpread), 0.0f);
    }
    for (int k = 0; k < 4; ++k) {
        al[k].buf.assign(std::size_t(kPasses[k]), 0.0f);
        ar[k].buf.assign(std::size_t(kPasses[k] + kSpread), 0.0f);
    }
    const float fb = 0.7f + 0.28f * room;
    const float w1 = width / 2 + 0.5f, w2 = (1 - width) / 2;
    for (std::size_t i = 0; i < std::min(in.size(), out.size()); ++i) {
        const float x = (in.l[i] + in.r[i]) * 0.015f;
        float yl = 0, yr = 0;
        for (int k = 0; k < 8; ++k) {
            yl += cl[k].run(x, fb, damp);
            yr += cr[k].run(x, fb, damp);
        }
        for (int k = 0; k < 4; ++k) {
            yl = al[k].run(yl);
            yr = ar[k].run(yr);
        }
        out.l[i] += (yl * w1 + yr * w2) * gain;
        out.r[i] += (yr * w1 + yl * w2) * gain;
    }
}

void AddEcho(const Bus& in, Bus& out, float gain, int delaySamples, float feedback, float tone) {
    std::vector<float> bl(std::size_t(delaySamples), 0.0f), br(std::size_t(delaySamples), 0.0f);
    float lpl = 0, lpr = 0;
    std::size_t k = 0;
    for (std::size_t i = 0; i < std::min(in.size(), out.size()); ++i) {
        const float dl = bl[k], dr = br[k];
        out.l[i] += dl * gain;
        out.r[i] += dr * gain;
        lpl += (dl - lpl) * tone;
        lpr += (dr - lpr) * tone;
        bl[k] = (in.l[i] + in.r[i]) * 0.5f + lpr * feedback;
        br[k] = lpl * feedback;
        if (++k == bl.size()) k = 0;
    }
}

void Duck(Bus& b, const std::vector<std::int64_t>& hits, float depth, double recovery) {
    std::vector<std::int64_t> sorted = hits;
    std::sort(sorted.begin(), sorted.end());
    std::size_t h = 0;
    std::int64_t last = -(std::int64_t(1) << 40);
    for (std::size_t i = 0; i < b.size(); ++i) {
        while (h < sorted.size() && sorted[h] <= std::int64_t(i)) last = sorted[h++];
        const double t = double(std::int64_t(i) - last) / kRate;
        const float g = 1.0f - depth * float(std::exp(-t / recovery));
        b.l[i] *= g;
        b.r[i] *= g;
    }
}

void Master(Bus& b, float drive, float peak) {
    float top = 0;
    for (std::size_t i = 0; i < b.size(); ++i)
        top = std::max(top, std::max(std::fabs(b.l[i]), std::fabs(b.r[i])));
    if (top <= 0) return;
    const double norm = std::tanh(double(drive));
    float top2 = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        b.l[i] = float(std::tanh(drive * b.l[i] / top) / norm);
        b.r[i] = float(std::tanh(drive * b.r[i] / top) / norm);
        top2 = std::max(top2, std::max(std::fabs(b.l[i]), std::fabs(b.r[i])));
    }
    const float k = top2 > 0 ? peak / top2 : 1.0f;
    for (std::size_t i = 0; i < b.size(); ++i) {
        b.l[i] *= k;
        b.r[i] *= k;
    }
}

std::vector<std::uint8_t> EncodeVorbis(const Bus& b, float quality, int serial) {
    std::vector<float> interleaved(b.size() * 2);
    for (std::size_t i = 0; i < b.size(); ++i) {
        interleaved[2 * i] = b.l[i];
        interleaved[2 * i + 1] = b.r[i];
    }
    std::vector<std::uint8_t> out =
        EncodeOggVorbis(interleaved.data(), b.size(), 2, kRate, quality, serial);
    if (out.empty()) throw std::runtime_error("the Vorbis encoder refuses its settings");
    return out;
}

} // namespace mediagen::synth

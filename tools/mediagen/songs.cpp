// The two songs.
//
// musica.ogg drives the demo's clock. It is composed on the demo's own beat tables: every
// table entry at tick t gets its accent starting exactly at sample frame t x 1470, over a bed
// at 120 beats per minute (15 ticks a beat) whose sections change with the demo's phases.
// kolumo.ogg is the end-screen song, a loop that repeats without a seam.
#include "demo/beat_tables.h"
#include "tools/mediagen/media.h"
#include "tools/mediagen/synth.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace mediagen {
namespace {

using namespace synth;
using beat_tables::BeatKind;

// ---------------------------------------------------------------------------------------------
// Note patterns: 16 steps to the bar, one token per step: a note name ("A4", "Bb5", "F#3"), a
// number (semitones above a root), "." to hold the previous note or "-" for silence.

struct Note {
    double step;   // start, in steps from the start of the bar
    double length; // in steps
    int pitch;
};

int ParseNote(const std::string& tok) {
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (tok.empty() || tok[0] < 'A' || tok[0] > 'G') throw std::runtime_error("bad note " + tok);
    int n = base[tok[0] - 'A'];
    std::size_t i = 1;
    if (i < tok.size() && tok[i] == '#')
        ++n, ++i;
    else if (i < tok.size() && tok[i] == 'b')
        --n, ++i;
    return n + 12 * (std::stoi(tok.substr(i)) + 1);
}

// A bar's notes; numbers are offsets added to `root`.
std::vector<Note> ParseBar(const std::string& text, int root = 0) {
    std::istringstream in(text);
    std::vector<std::string> toks;
    for (std::string t; in >> t;) toks.push_back(t);
    if (toks.size() != 16) throw std::runtime_error("a bar needs 16 steps: " + text);
    std::vector<Note> notes;
    for (int s = 0; s < 16; ++s) {
        const std::string& t = toks[std::size_t(s)];
        if (t == ".") {
            if (!notes.empty() && notes.back().step + notes.back().length == s)
                notes.back().length += 1;
            continue;
        }
        if (t == "-") continue;
        const bool number = t[0] == '-' || (t[0] >= '0' && t[0] <= '9');
        notes.push_back({double(s), 1.0, number ? root + std::stoi(t) : ParseNote(t)});
    }
    return notes;
}

struct Chord {
    int bass;                  // bass root
    std::vector<int> pad, arp; // pad voicing, arpeggio and stab notes
};

// ---------------------------------------------------------------------------------------------
// musica.ogg

// Bars are 60 ticks; the first bar starts 3 ticks before the song, so that the beats fall on
// the demo's claps (ticks 12 mod 15) and each phase threshold lies just before a downbeat.
constexpr double kBarOrigin = -3;
constexpr double kTicksPerStep = 3.75;
constexpr int kSongFrames = 143 * kRate; // at least 142 s
constexpr double kMusicEndTick = 4192;   // silent from here on, before 140 s

std::int64_t TickFrame(double tick) {
    return std::llround(tick * beat_tables::kFramesPerTick);
}
double BarTick(int bar, double step = 0) {
    return kBarOrigin + 60.0 * bar + step * kTicksPerStep;
}
double StepSeconds(double steps) {
    return steps * kTicksPerStep / 30.0;
}

enum class Section { Intro, Build, Build2, Groove, Riick, Break, Outro };

const Chord kAm{45, {57, 60, 64, 69}, {69, 72, 76, 81}};
const Chord kF{41, {53, 57, 60, 65}, {65, 69, 72, 77}};
const Chord kC{48, {55, 60, 64, 67}, {67, 72, 76, 79}};
const Chord kG{43, {55, 59, 62, 67}, {67, 71, 74, 79}};
const Chord kDm{38, {57, 62, 65, 69}, {62, 65, 69, 74}};
const Chord kBb{46, {58, 62, 65, 70}, {65, 70, 74, 77}};
const Chord kEm{40, {55, 59, 64, 67}, {64, 67, 71, 76}};

struct BarPlan {
    Section section;
    const Chord* chord;
    const char* lead; // melody line of this bar, or null
    const char* bell; // bell line, or null
};

// The lead's two phrases over Am F C G Am F C G.
const char* const kLeadA[8] = {
    "E5 . . . A5 . G5 . E5 . . . D5 . C5 .", "C5 . . . A4 . C5 . F5 . . . E5 . C5 .",
    "E5 . . . G5 . . . C6 . B5 . G5 . E5 .", "D5 . . . . . . . B4 . C5 . D5 . . .",
    "E5 . . . A5 . G5 . E5 . . . D5 . C5 .", "C5 . . . A4 . C5 . F5 . . . A5 . G5 .",
    "E5 . . . G5 . . . C6 . D6 . E6 . . .",  "D6 . . . B5 . . . G5 . . . - . . .",
};
const char* const kLeadB[8] = {
    "A5 . A5 . G5 . A5 . C6 . . . B5 . A5 .", "A5 . . . F5 . G5 . A5 . . . C6 . A5 .",
    "G5 . . . E5 . G5 . C6 . . . D6 . E6 .",  "D6 . . . B5 . G5 . D6 . C6 . B5 . G5 .",
    "A5 . A5 . G5 . A5 . C6 . . . B5 . A5 .", "A5 . . . F5 . G5 . A5 . C6 . F6 . E6 .",
    "E6 . . . D6 . C6 . G5 . . . C6 . D6 .",  "B5 . . . . . . . D6 . . . . . . .",
};
// Bells of the mirror room over Dm Am Bb C, and of the slow break over F G Em Am F G.
const char* const kBellRoom[4] = {
    "F5 . . . A5 . . . D6 . . . C6 . A5 .",
    "E5 . . . . . . . C5 . E5 . A5 . . .",
    "D5 . . . F5 . . . Bb5 . . . A5 . F5 .",
    "G5 . . . . . . . E5 . . . - . . .",
};
const char* const kBellBreak[6] = {
    "A5 . . . . . . . C6 . . . . . . .",  "B5 . . . . . . . D6 . . . . . . .",
    "G5 . . . . . . . B5 . . . . . . .",  "C6 . . . . . . . E6 . . . . . . .",
    "A5 . . . . . . . F5 . . . C6 . . .", "D6 . . . . . . . B5 . . . G5 . . .",
};
const char* const kBellIntro[4] = {
    "A4 . . . C5 . . . E5 . . . A5 . . .",
    "F4 . . . A4 . . . C5 . . . F5 . . .",
    "G4 . . . C5 . . . E5 . . . G5 . . .",
    "G4 . . . B4 . . . D5 . . . G5 . . .",
};

// The song, bar by bar: 70 bars from tick -3 to tick 4197.
std::vector<BarPlan> MusicaPlan() {
    std::vector<BarPlan> plan;
    const Chord* cycle[4] = {&kAm, &kF, &kC, &kG};
    auto groove = [&](int bars, const char* const* lead) {
        for (int i = 0; i < bars; ++i)
            plan.push_back({Section::Groove, cycle[i % 4], lead ? lead[i % 8] : nullptr, nullptr});
    };
    for (int i = 0; i < 4; ++i) plan.push_back({Section::Intro, cycle[i], nullptr, kBellIntro[i]});
    for (int i = 0; i < 4; ++i) plan.push_back({Section::Build, cycle[i], nullptr, nullptr});
    for (int i = 0; i < 4; ++i) plan.push_back({Section::Build2, cycle[i], nullptr, nullptr});
    groove(8, kLeadA); // bars 12-27: the pen scroller
    groove(8, kLeadB);
    const Chord* room[4] = {&kDm, &kAm, &kBb, &kC};
    for (int i = 0; i < 8; ++i)
        plan.push_back({Section::Riick, room[i % 4], nullptr, kBellRoom[i % 4]});
    groove(8, kLeadA); // bars 36-43: the credits
    const Chord* brk[6] = {&kF, &kG, &kEm, &kAm, &kF, &kG};
    for (int i = 0; i < 6; ++i) plan.push_back({Section::Break, brk[i], nullptr, kBellBreak[i]});
    groove(8, kLeadB); // bars 50-57: the greetings
    groove(8, kLeadA); // bars 58-65: the builder
    for (int i = 0; i < 4; ++i)
        plan.push_back({Section::Outro, &kAm, nullptr, i == 0 ? kBellIntro[0] : nullptr});
    return plan;
}

void MakeMusica(const std::string& dir) {
    const std::vector<BarPlan> plan = MusicaPlan();
    Bus drums(kSongFrames), accents(kSongFrames), bass(kSongFrames), pads(kSongFrames),
        lead(kSongFrames), arps(kSongFrames), bells(kSongFrames), sends(kSongFrames);
    std::vector<std::int64_t> pumps; // kick and heavy-hit times, for the side-chain

    // Ticks of the accents that replace a kick of the bed (heavy hits and booms).
    std::vector<int> heavy;
    for (const auto& table : beat_tables::kBeatTables)
        if (table.kind == BeatKind::Pow || table.kind == BeatKind::Zoom)
            for (int t : table.values()) heavy.push_back(t);
    auto nearHeavy = [&](double tick) {
        for (int t : heavy)
            if (std::fabs(t - tick) <= 4.5) return true;
        return false;
    };

    // The accents, exactly on their ticks.
    std::uint32_t seed = 1;
    for (const auto& table : beat_tables::kBeatTables)
        for (int t : table.values()) {
            const std::int64_t at = TickFrame(t);
            seed = seed * 1664525u + 1013904223u;
            const int bar = int(std::floor((t - kBarOrigin) / 60.0));
            const Chord& chord = *plan[std::size_t(std::clamp(bar, 0, int(plan.size()) - 1))].chord;
            switch (table.kind) {
            case BeatKind::Stab:
                Stab(accents, at, chord.arp, 0.85f, seed);
                break;
            case BeatKind::Pow:
                HeavyHit(accents, at, 1.0f, seed);
                pumps.push_back(at);
                break;
            case BeatKind::Flash:
                Crash(accents, at, 0.35f, seed, 1.6);
                Clap(accents, at, 0.6f, seed + 5);
                break;
            case BeatKind::Clap:
                Clap(accents, at, 0.95f, seed);
                break;
            case BeatKind::Riick:
                Zap(accents, at, 0.75f, seed, (t / 15) % 2 ? 0.45f : -0.45f);
                break;
            case BeatKind::Zoom:
                Boom(accents, at, 1.0f, seed);
                Crash(accents, at, 0.45f, seed + 9, 3.0);
                pumps.push_back(at);
                break;
            }
        }

    // The bed, bar by bar.
    const std::vector<Note> octaveBass = ParseBar("0 - 12 - 0 - 12 - 0 - 12 - 0 - 12 -");
    const std::vector<Note> pulseBass = ParseBar("0 . . - 0 . . - 0 . . - 0 - 0 -");
    const std::vector<Note> halfBass = ParseBar("0 . . . . . . . 0 . . . 7 . . .");
    const int arpOrder[16] = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 2, 1, 3};
    for (int bar = 0; bar < int(plan.size()); ++bar) {
        const BarPlan& p = plan[std::size_t(bar)];
        const Chord& c = *p.chord;
        const Section s = p.section;
        auto at = [&](double step) { return TickFrame(BarTick(bar, step)); };
        const std::uint32_t bseed = std::uint32_t(bar) * 7919u + 1u;

        // Pads: all but the grooves' and builds' leanest bars.
        const double padBright = s == Section::Intro ? 900 : s == Section::Break ? 1400 : 2200;
        if (s != Section::Outro || bar == 66) {
            const double hold = s == Section::Outro ? StepSeconds(16 * 3) : StepSeconds(16);
            const float g =
                s == Section::Intro || s == Section::Break || s == Section::Outro ? 0.5f : 0.32f;
            Pad(pads, at(0), hold, c.pad, g, padBright);
        }

        // Kick and hats.
        const bool fourFloor = s == Section::Build || s == Section::Build2 || s == Section::Groove;
        for (int step = 0; step < 16; ++step) {
            const double tick = BarTick(bar, step);
            bool kick = fourFloor && step % 4 == 0;
            if (s == Section::Riick) kick = step == 0 || step == 10;
            if (s == Section::Build2 && bar == 11 && step >= 12) kick = false;
            if (kick && !nearHeavy(tick)) {
                Kick(drums, at(step), s == Section::Build ? 0.75f : 0.9f);
                pumps.push_back(at(step));
            }
            const std::uint32_t hs = bseed * 31u + std::uint32_t(step);
            if (s == Section::Build && step % 4 == 2) HiHat(drums, at(step), 0.35f, 0.04, hs, 0.2f);
            if (s == Section::Build2 || s == Section::Groove) {
                if (step % 4 == 2)
                    HiHat(drums, at(step), 0.22f, 0.12, hs, 0.25f);
                else
                    HiHat(drums, at(step), step % 2 ? 0.16f : 0.1f, 0.03, hs, -0.2f);
            }
            if (s == Section::Riick && step % 2 == 0)
                HiHat(drums, at(step), step % 4 ? 0.2f : 0.12f, 0.035, hs, 0.1f);
        }
        // The builds' own backbeat (the demo marks none there), and the roll into the drop.
        if (s == Section::Build2) {
            Clap(drums, at(4), 0.45f, bseed + 1);
            Clap(drums, at(12), 0.45f, bseed + 2);
            if (bar == 11) {
                // The roll starts after the last stab and stops short of the drop, which
                // then lands in a breath of silence.
                for (int k = 0; k < 6; ++k)
                    Snare(drums, at(11.5 + k * 0.5), 0.2f + 0.04f * k, bseed + 10 + k);
                Riser(accents, at(0), StepSeconds(14), 0.35f, bseed);
            }
        }
        if (bar == 3) Riser(accents, at(0), StepSeconds(16) - 0.02, 0.3f, bseed);
        if (bar == 49) Riser(accents, at(0), StepSeconds(16) - 0.02, 0.4f, bseed);
        if (bar == 12 || bar == 66) Crash(drums, TickFrame(BarTick(bar)), 0.4f, bseed + 3);
        if (bar == 66) {
            Boom(accents, at(0), 0.9f, bseed + 4);
            Stab(accents, at(0), c.arp, 0.7f, bseed + 5);
        }

        // Bass.
        const std::vector<Note>* bassLine = nullptr;
        if (s == Section::Build || s == Section::Build2) bassLine = &pulseBass;
        if (s == Section::Groove) bassLine = &octaveBass;
        if (s == Section::Riick) bassLine = &halfBass;
        if (bassLine)
            for (const Note& n : *bassLine)
                Bass(bass, at(n.step), StepSeconds(n.length) * 0.92, c.bass + n.pitch, 0.55f,
                     s == Section::Groove ? 1600 : 900);

        // Arpeggio of sixteenths.
        if (s == Section::Build2 || s == Section::Groove || s == Section::Riick)
            for (int step = 0; step < 16; ++step) {
                const int note = c.arp[std::size_t(arpOrder[step])];
                Pluck(arps, at(step), StepSeconds(0.8), note, s == Section::Riick ? 0.3f : 0.22f,
                      step % 2 ? 0.5f : -0.5f);
            }

        // Melodies.
        if (p.lead)
            for (const Note& n : ParseBar(p.lead)) {
                Lead(lead, at(n.step), StepSeconds(n.length) * 0.95, n.pitch, 0.3f, 0.0f);
            }
        if (p.bell)
            for (const Note& n : ParseBar(p.bell)) {
                Bell(bells, at(n.step), StepSeconds(n.length), n.pitch, 0.3f, 0.3f);
            }
    }

    // The reverb hears the accents, pads, lead and bells.
    sends.mix(accents, 0.45f);
    sends.mix(pads, 0.6f);
    sends.mix(lead, 0.5f);
    sends.mix(bells, 1.0f);
    Duck(bass, pumps, 0.6f, 0.09);
    Duck(pads, pumps, 0.45f, 0.16);
    Duck(arps, pumps, 0.4f, 0.12);
    Bus& mix = drums;
    mix.mix(accents, 1.0f);
    mix.mix(bass, 1.0f);
    mix.mix(pads, 1.0f);
    mix.mix(lead, 1.0f);
    mix.mix(arps, 1.0f);
    mix.mix(bells, 1.0f);
    AddEcho(lead, mix, 0.35f, int(TickFrame(3 * kTicksPerStep)), 0.35f, 0.4f);
    AddEcho(arps, mix, 0.5f, int(TickFrame(3 * kTicksPerStep)), 0.3f, 0.5f);
    AddEcho(bells, mix, 0.4f, int(TickFrame(4 * kTicksPerStep)), 0.4f, 0.3f);
    AddReverb(sends, mix, 1.0f, 0.8f, 0.35f, 1.0f);

    // The music is over by the end of its last bar: fade the outro to silence.
    const std::int64_t fadeFrom = TickFrame(4080), fadeTo = TickFrame(kMusicEndTick);
    for (std::int64_t i = fadeFrom; i < kSongFrames; ++i) {
        const double g = i >= fadeTo
                             ? 0.0
                             : 0.5 + 0.5 * std::cos(3.141592653589793 * double(i - fadeFrom) /
                                                    double(fadeTo - fadeFrom));
        mix.l[std::size_t(i)] *= float(g);
        mix.r[std::size_t(i)] *= float(g);
    }
    Master(mix, 1.3f, 0.93f);
    WriteFile(dir + "/musica.ogg", EncodeVorbis(mix, 0.45f, 0x6c61707a));
}

// ---------------------------------------------------------------------------------------------
// kolumo.ogg: a bright chiptune loop at 100 beats per minute in F major, 16 bars.

constexpr int kStepFrames = kRate * 60 / 100 / 4; // a sixteenth: 6615 frames
constexpr int kLoopBars = 16;
constexpr int kLoopFrames = kLoopBars * 16 * kStepFrames;

const Chord kKF{41, {57, 60, 65}, {65, 69, 72, 77}};
const Chord kKDm{38, {57, 62, 65}, {62, 65, 69, 74}};
const Chord kKBb{46, {58, 62, 65}, {65, 70, 74, 77}};
const Chord kKC{48, {55, 60, 64}, {64, 67, 72, 76}};
const Chord kKAm{45, {57, 60, 64}, {64, 69, 72, 76}};

const Chord* const kKolumoChords[kLoopBars] = {&kKF,  &kKDm, &kKBb, &kKC,  &kKF, &kKAm,
                                               &kKBb, &kKC,  &kKDm, &kKBb, &kKF, &kKC,
                                               &kKBb, &kKC,  &kKF,  &kKC};
const char* const kKolumoTune[kLoopBars] = {
    "A5 . . . C6 . A5 . G5 . F5 . G5 . A5 .",   "F5 . . . . . D5 . F5 . A5 . . . G5 .",
    "F5 . . . D5 . F5 . Bb5 . . . A5 . G5 .",   "E5 . . . . . . . G5 . . . C5 . . .",
    "A5 . . . C6 . A5 . G5 . F5 . G5 . A5 .",   "C6 . . . B5 . A5 . E5 . . . A5 . C6 .",
    "D6 . . . C6 . Bb5 . A5 . . . G5 . F5 .",   "G5 . . . . . . . - . . . C6 . . .",
    "A5 . . . . . F5 . D5 . F5 . A5 . D6 .",    "D6 . . . C6 . Bb5 . F5 . . . . . . .",
    "C6 . . . A5 . F5 . C6 . A5 . F6 . . .",    "E6 . . . D6 . C6 . G5 . . . . . . .",
    "F5 . G5 . A5 . Bb5 . D6 . . . C6 . Bb5 .", "A5 . . . G5 . . . E5 . . . G5 . . .",
    "F5 . . . . . . . A5 . C6 . F6 . . .",      "E6 . D6 . C6 . Bb5 . G5 . . . E5 . G5 .",
};

void MakeKolumo(const std::string& dir) {
    // Two passes of the loop are rendered and the second one kept: every note and echo that
    // rings across the loop's end then also rings into its start, so the loop repeats without
    // a seam.
    const std::size_t total = std::size_t(kLoopFrames) * 2;
    Bus drums(total), tune(total), arps(total), bass(total), pads(total), sends(total);
    std::vector<std::int64_t> pumps;
    const std::vector<Note> bassLine = ParseBar("0 - 0 12 - 0 12 - 0 - 0 12 - 0 7 -");
    const int arpOrder[8] = {0, 1, 2, 3, 2, 1, 2, 3};
    for (int pass = 0; pass < 2; ++pass)
        for (int bar = 0; bar < kLoopBars; ++bar) {
            const std::int64_t bar0 = (std::int64_t(pass) * kLoopBars + bar) * 16 * kStepFrames;
            auto at = [&](double step) { return bar0 + std::llround(step * kStepFrames); };
            const Chord& c = *kKolumoChords[bar];
            const std::uint32_t bseed = std::uint32_t(bar) * 131u + 7u; // the same in each pass
            for (int step = 0; step < 16; ++step) {
                const std::uint32_t hs = bseed * 17u + std::uint32_t(step);
                if (step == 0 || step == 8 || (step == 10 && bar % 2)) {
                    Kick(drums, at(step), 0.7f, 0.22, 90);
                    pumps.push_back(at(step));
                }
                if (step == 4 || step == 12) Snare(drums, at(step), 0.35f, hs, 220);
                if (step % 2 == 0) HiHat(drums, at(step), step % 4 ? 0.18f : 0.1f, 0.03, hs, 0.3f);
                if (step % 2 == 0)
                    Chip(arps, at(step), 0.1, c.arp[std::size_t(arpOrder[step / 2])], 0.16f,
                         step % 4 ? 0.6f : -0.6f, 0.125);
            }
            for (const Note& n : bassLine)
                Chip(bass, at(n.step), (n.length * kStepFrames) / double(kRate) * 0.85,
                     c.bass + n.pitch, 0.42f, 0.0f, 0.5);
            for (const Note& n : ParseBar(kKolumoTune[bar])) {
                const double hold = n.length * kStepFrames / double(kRate) * 0.92;
                Chip(tune, at(n.step), hold, n.pitch, 0.36f, 0.0f, 0.25);
            }
            Pad(pads, at(0), 16.0 * kStepFrames / kRate, c.pad, 0.22f, 1100);
        }
    sends.mix(tune, 0.55f);
    sends.mix(pads, 0.7f);
    Duck(pads, pumps, 0.35f, 0.15);
    Duck(bass, pumps, 0.3f, 0.08);
    Bus& mix = drums;
    for (const Bus* b : {&tune, &arps, &bass, &pads}) mix.mix(*b, 1.0f);
    AddEcho(tune, mix, 0.3f, 3 * kStepFrames, 0.3f, 0.4f);
    AddEcho(arps, mix, 0.4f, 3 * kStepFrames, 0.35f, 0.5f);
    AddReverb(sends, mix, 0.8f, 0.7f, 0.4f, 1.0f);
    Master(mix, 1.2f, 0.9f);

    // Start at the quietest moment just before one of the bar lines, so the join also falls
    // where the music breathes; the second pass is one period of the loop, so it is turned
    // round to start there.
    const std::size_t L = std::size_t(kLoopFrames);
    auto at = [&](std::int64_t i) { return L + std::size_t(((i % std::int64_t(L)) + L) % L); };
    std::int64_t cut = 0;
    double quietest = 1e30;
    for (int bar = 0; bar < kLoopBars; ++bar) {
        const std::int64_t line = std::int64_t(bar) * 16 * kStepFrames;
        for (std::int64_t o = line - 2048; o <= line - 64; o += 32) {
            double e = 0;
            for (std::int64_t i = o - 64; i < o + 64; ++i)
                e += double(mix.l[at(i)]) * mix.l[at(i)] + double(mix.r[at(i)]) * mix.r[at(i)];
            if (e < quietest) quietest = e, cut = o;
        }
    }
    Bus loop{L};
    for (std::size_t i = 0; i < L; ++i) {
        loop.l[i] = mix.l[at(cut + std::int64_t(i))];
        loop.r[i] = mix.r[at(cut + std::int64_t(i))];
    }
    WriteFile(dir + "/kolumo.ogg", EncodeVorbis(loop, 0.4f, 0x6b6f6c6d));
}

} // namespace

std::vector<Job> SongJobs() {
    return {{"musica.ogg", MakeMusica}, {"kolumo.ogg", MakeKolumo}};
}

} // namespace mediagen

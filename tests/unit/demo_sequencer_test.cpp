// The phase sequencer and the beat test, run on a scripted music clock with stand-in phases
// that record what runs.
#include "demo/beat_tables.h"
#include "demo/globals.h"
#include "demo/sequencer.h"

#include "demo_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

using demotest::ClockAtFrame;
using demotest::DemoTest;

// A phase table whose every phase, frame and set-up, appends its name to `log`; `built` phases
// have a frame function, the others are missing (not built).
PhaseTable RecordingPhases(std::vector<std::string>& log, int built = kPhaseCount) {
    PhaseTable phases{};
    for (int p = 1; p <= kPhaseCount; ++p) {
        if (p <= built)
            phases[std::size_t(p)].frame = [&log, p] {
                log.push_back("frame" + std::to_string(p));
            };
        phases[std::size_t(p)].entra = [&log, p] { log.push_back("entra" + std::to_string(p)); };
    }
    return phases;
}

using SequencerTest = DemoTest;

TEST_F(SequencerTest, PhaseEndsOnlyWhenTheClockIsAboveItsThreshold) {
    const int ends[10] = {235, 475, 715, 1675, 2155, 2635, 2995, 3475, 3959, 4200};
    std::vector<std::string> log;
    const PhaseTable phases = RecordingPhases(log);
    for (int p = 1; p <= 10; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(PhaseEndTick(p), ends[p - 1]);
        parte = p;
        log.clear();
        ticks = float(ends[p - 1]); // equal: the phase goes on
        RunPhaseFrame(phases);
        EXPECT_EQ(parte, p);
        ticks = std::nextafter(float(ends[p - 1]), 1e9f); // the next float above
        RunPhaseFrame(phases);
        EXPECT_EQ(parte, p + 1);
        // The ending frame is drawn by the old phase; the new phase's set-up runs after it, in
        // the same frame.
        const std::string f = "frame" + std::to_string(p), e = "entra" + std::to_string(p + 1);
        EXPECT_EQ(log, (std::vector<std::string>{f, f, e}));
    }
}

TEST_F(SequencerTest, PhaseElevenHasNoEndAndOtherNumbersRunNothing) {
    std::vector<std::string> log;
    const PhaseTable phases = RecordingPhases(log);
    EXPECT_EQ(PhaseEndTick(11), -1);
    parte = 11;
    ticks = 99999.0f;
    RunPhaseFrame(phases);
    EXPECT_EQ(parte, 11);
    for (int p : {0, -1, 12}) {
        parte = p;
        RunPhaseFrame(phases);
        EXPECT_EQ(parte, p);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"frame11"}));
}

// Every phase of the demo's own table has a frame; a table without one draws nothing there and
// stays in that phase.
TEST_F(SequencerTest, EveryDemoPhaseHasAFrameAndAMissingOneRunsNothing) {
    const PhaseTable& demo = DemoPhases();
    for (int p = 1; p <= kPhaseCount; ++p) EXPECT_TRUE(demo[std::size_t(p)].frame) << p;
    for (int p = 4; p <= kPhaseCount; ++p)
        EXPECT_TRUE(demo[std::size_t(p)].entra) << "set-up of phase " << p;

    std::vector<std::string> log;
    const PhaseTable phases = RecordingPhases(log, 3);
    parte = 3;
    ticks = 716.0f;
    RunPhaseFrame(phases); // hands over to phase 4: its set-up runs
    EXPECT_EQ(parte, 4);
    ticks = 5000.0f;
    RunPhaseFrame(phases);
    EXPECT_EQ(parte, 4);
    EXPECT_EQ(log, (std::vector<std::string>{"frame3", "entra4"}));
}

TEST_F(SequencerTest, BeatFiresOncePerFrameAndCatchesUpInOrder) {
    const std::vector<int> table = {10, 20, 30, 100000};
    int pos = 0;
    ticks = 9.999f;
    EXPECT_FALSE(BeatHit(table, pos));
    ticks = 10.0f; // reached exactly
    EXPECT_TRUE(BeatHit(table, pos));
    EXPECT_EQ(pos, 1);
    EXPECT_FALSE(BeatHit(table, pos)) << "20 is not due yet";
    // A slow frame jumps past both remaining entries: one per frame, in order.
    ticks = 35.0f;
    EXPECT_TRUE(BeatHit(table, pos));
    EXPECT_EQ(pos, 2);
    EXPECT_TRUE(BeatHit(table, pos));
    EXPECT_EQ(pos, 3);
    // The sentinel is never reached; an index outside the table fires nothing.
    ticks = 99999.0f;
    EXPECT_FALSE(BeatHit(table, pos));
    EXPECT_EQ(pos, 3);
    int outside = 4, negative = -1;
    EXPECT_FALSE(BeatHit(table, outside));
    EXPECT_FALSE(BeatHit(table, negative));
    EXPECT_FALSE(BeatHit({}, pos));
}

// The whole run at 60 frames per second with stand-in phases that test the tables the way the
// phases do: every event fires in the first frame whose clock reaches it, in the phases that
// test its table, and every table is through before its last phase ends.
TEST_F(SequencerTest, SixtyFramesPerSecondRunFiresEveryEventOnTime) {
    FillBeatTables();
    struct Fired {
        int phase;
        long frame;
    };
    std::map<std::string, std::vector<Fired>> fired;
    std::map<std::string, std::pair<std::vector<int>*, int*>> tables = {
        {"sincTuntaraTun", {&sincTuntaraTun, &sincTuntaraTun_pos}},
        {"sincScrollPow", {&sincScrollPow, &sincScrollPow_pos}},
        {"sincScrollflash", {&sincScrollflash, &sincScrollflash_pos}},
        {"sincScrollclap", {&sincScrollclap, &sincScrollclap_pos}},
        {"sincCubeMapRiick", {&sincCubeMapRiick, &sincCubeMapRiick_pos}},
        {"sincCubeMapPow", {&sincCubeMapPow, &sincCubeMapPow_pos}},
        {"sincCubeMapClap", {&sincCubeMapClap, &sincCubeMapClap_pos}},
        {"sincHamClap", {&sincHamClap, &sinchamclap_pos}},
        {"sincHamPow", {&sincHamPow, &sinchamPow_pos}},
        {"sincbolazoom", {&sincbolazoom, &sincbolazoom_pos}},
        {"sincbolaflash", {&sincbolaflash, &sincbolaflash_pos}},
        {"sincSaludosPow", {&sincSaludosPow, &sincSaludosPow_pos}},
        {"sincSaludosClap", {&sincSaludosClap, &sincSaludosClap_pos}},
        {"sincConstructorClap", {&sincConstructorClap, &sincConstructorClap_pos}},
        {"sincConstructorPow", {&sincConstructorPow, &sincConstructorPow_pos}},
    };
    // Which tables each phase tests.
    std::map<int, std::vector<std::string>> tested = {
        {2, {"sincTuntaraTun"}},
        {3, {"sincTuntaraTun"}},
        {4, {"sincScrollPow", "sincScrollflash", "sincScrollclap"}},
        {5, {"sincCubeMapRiick", "sincCubeMapPow", "sincCubeMapClap"}},
        {6, {"sincHamClap", "sincHamPow"}},
        {7, {"sincbolazoom", "sincbolaflash"}},
        {8, {"sincSaludosPow", "sincSaludosClap"}},
        {9, {"sincConstructorPow", "sincConstructorClap"}},
    };
    long frame = 0;
    PhaseTable phases{};
    for (int p = 1; p <= kPhaseCount; ++p)
        phases[std::size_t(p)].frame = [&, p] {
            for (const std::string& name : tested[p]) {
                auto [table, pos] = tables[name];
                if (BeatHit(*table, *pos)) fired[name].push_back({p, frame});
            }
        };

    std::vector<long> firstFrameOfPhase(kPhaseCount + 2, -1);
    for (frame = 0; parte != 11 && frame < 20000; ++frame) {
        ticks = ClockAtFrame(frame);
        if (firstFrameOfPhase[std::size_t(parte)] < 0)
            firstFrameOfPhase[std::size_t(parte)] = frame;
        RunPhaseFrame(phases);
    }
    ASSERT_EQ(parte, 11);

    for (const beat_tables::BeatTable& bt : beat_tables::kBeatTables) {
        SCOPED_TRACE(bt.name);
        const std::vector<Fired>& events = fired[bt.name];
        ASSERT_EQ(events.size(), bt.values().size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            // The first frame whose clock reaches the value.
            long due = 0;
            while (ClockAtFrame(due) < float(bt.values()[i])) ++due;
            EXPECT_EQ(events[i].frame, due) << "event " << i;
        }
        EXPECT_EQ(*tables[bt.name].second, int(bt.values().size()));
    }
    // sincTuntaraTun runs on one index through phases 2 and 3: four events in each.
    const std::vector<Fired>& tun = fired["sincTuntaraTun"];
    for (std::size_t i = 0; i < tun.size(); ++i) EXPECT_EQ(tun[i].phase, i < 4 ? 2 : 3);
    // Phase 2 starts in the frame after the clock first passes 235.
    long after235 = 0;
    while (!(ClockAtFrame(after235) > 235.0f)) ++after235;
    EXPECT_EQ(firstFrameOfPhase[2], after235 + 1);
}

} // namespace

namespace {

// The globals that start with a value other than 0 or null, as the program starts (ctest runs
// this in a process of its own, so nothing has changed them) and after a reset.
void ExpectStartValues() {
    EXPECT_EQ(parte, 1);
    EXPECT_EQ(scrollcamposz, 1.0f);
    EXPECT_EQ(scrollcamvel, 0.05f);
    EXPECT_EQ(scrolldibujo, 1);
    EXPECT_EQ(scrollg, 200);
    EXPECT_EQ(scrollr + scrollb, 0);
    EXPECT_EQ(scrollpausa, 60);
    EXPECT_EQ(cubovelx, 0.125f);
    EXPECT_EQ(cubovely, 0.125f);
    EXPECT_EQ(rendersscroll, 120.0f);
    EXPECT_EQ(estelaborrado, 10);
    EXPECT_EQ(zoomcamara, 0.125f);
    EXPECT_EQ(zoomcamaradest, 0.75f);
    EXPECT_EQ(saludosnumero, 1);
    EXPECT_EQ(camaradist, 15.0f);
    EXPECT_EQ(camaraangyvel, 1.0f);
    EXPECT_EQ(frecuenciafuegos, 60);
    EXPECT_EQ(halvreny, 575.0f);
    EXPECT_EQ(halvrenvx, 4.0f);
    EXPECT_EQ(halvrenvy, -4.0f);
    EXPECT_EQ(scrollcampos + cuboangx + cuboangy + tamcreditos + camaraangx, 0.0f);
    EXPECT_EQ(musica, nullptr);
    EXPECT_EQ(flash, nullptr);
    EXPECT_TRUE(sincTuntaraTun.empty());
    EXPECT_EQ(sincTuntaraTun_pos + sinchamclap_pos + sincConstructorPow_pos, 0);
}

TEST(DemoGlobals, StartValuesAtProgramStartAndAfterReset) {
    ExpectStartValues();
    parte = 7;
    halvrenvy = 3.0f;
    sincHamPow = {1, 2};
    sinchamPow_pos = 2;
    cubopiezasang[31][2] = 5.0f;
    ResetDemoGlobals();
    ExpectStartValues();
    EXPECT_TRUE(sincHamPow.empty());
    EXPECT_EQ(sinchamPow_pos, 0);
    EXPECT_EQ(cubopiezasang[31][2], 0.0f);
}

} // namespace

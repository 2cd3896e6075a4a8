// The phase sequencer, the beat test and the read cursor over the constant lists.
//
// The demo is a fixed run of eleven phases. Each frame the sequencer runs one frame of the
// phase `parte` names, then that phase's end test: when `ticks` is above the phase's end
// threshold (strictly), `parte` moves to the next phase and the next phase's set-up runs, in the
// same frame; the new phase draws its first frame in the next pass of the loop. Phase 11 has no
// end test.
//
// Inside a phase, beat tables mark the music's beats: BeatHit fires a table's next entry once
// `ticks` has reached it, at most one entry per call, so a table that is behind catches up one
// event per frame.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

// ---- Beat test ----

// If `ticks` has reached the entry of `table` at `pos` (the Int entry compared as a float),
// advances `pos` by one and returns true: the caller then runs the table's event. False when
// the entry is still ahead, and for a `pos` outside the table. Tables end with the sentinel
// 100000, a tick the music never reaches, so `pos` never passes the end.
bool BeatHit(std::span<const int> table, int& pos);

// ---- Constant lists and their read cursor ----
//
// The tick values of the fifteen beat tables and the three zoom lists are constants, read
// through one cursor: RestoreData sets the cursor to the first item of a list; each read returns
// the item under the cursor converted to the type asked for (an Int item read as a float keeps
// its value; a Float item read as an Int is truncated toward zero) and moves the cursor on.

enum class DataLabel {
    TuntaraTunBeats,
    ScrollPowBeats,
    ScrollFlashBeats,
    ScrollClapBeats,
    CubeMapRiickBeats,
    CubeMapPowBeats,
    CubeMapClapBeats,
    HamClapBeats,
    HamPowBeats,
    BolaZoomBeats,
    BolaFlashBeats,
    SaludosPowBeats,
    SaludosClapBeats,
    ConstructorClapBeats,
    ConstructorPowBeats,
    Phase4Zoom, // 30 Int items: 1, 2, 3 ten times; read by the sincScrollPow events
    Phase5Zoom, // 3 Float items: 1.5, 3.5, 0.75; read by the sincCubeMapPow events
    Phase7Zoom, // 2 Float items: 2.5, 1.0; read by the sincbolazoom events
};

void RestoreData(DataLabel label);
// A read past the end of the restored list is a fatal error ("Out of data"): every list is
// exactly as long as the events that read it.
int ReadDataInt();
float ReadDataFloat();

// Creates the fifteen beat tables (globals.h) and fills them through the cursor, in the fixed
// order: for each table, restore to its list and read its values and its sentinel.
void FillBeatTables();

// ---- Sequencer ----

constexpr int kPhaseCount = 11;

// The end threshold of phases 1 to 10 (phase 11 has none; -1 for it and for any other number).
int PhaseEndTick(int phase);

// What the sequencer runs for one phase: its frame, and the set-up run when the phase begins
// (at the end of the last frame of the phase before it).
struct PhaseEntry {
    std::function<void()> frame;
    std::function<void()> entra;
};
// Indexed by phase number 1 to 11; entry 0 is unused.
using PhaseTable = std::array<PhaseEntry, kPhaseCount + 1>;

// The demo's phases (phases.h).
const PhaseTable& DemoPhases();

// One frame of phase `parte` with its end test, as described above. A `parte` outside 1 to 11,
// or a phase the table has no frame for, runs nothing and does not advance.
void RunPhaseFrame(const PhaseTable& phases);

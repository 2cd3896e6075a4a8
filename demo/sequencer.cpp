#include "demo/sequencer.h"

#include "demo/beat_tables.h"
#include "demo/globals.h"
#include "demo/phases.h"
#include "platform/error.h"

#include <cstddef>

bool BeatHit(std::span<const int> table, int& pos) {
    if (pos < 0 || std::size_t(pos) >= table.size()) return false;
    if (ticks >= float(table[std::size_t(pos)])) {
        ++pos;
        return true;
    }
    return false;
}

namespace {

// One constant list: Int items or Float items.
struct DataList {
    std::span<const int> ints;
    std::span<const float> floats;
    std::size_t size() const { return ints.empty() ? floats.size() : ints.size(); }
};

DataList listOf(DataLabel label) {
    const int i = int(label);
    if (i >= 0 && i < int(std::size(beat_tables::kBeatTables)))
        return {beat_tables::kBeatTables[i].ticks, {}};
    switch (label) {
    case DataLabel::Phase4Zoom:
        return {beat_tables::kPhase4Zoom, {}};
    case DataLabel::Phase5Zoom:
        return {{}, beat_tables::kPhase5Zoom};
    case DataLabel::Phase7Zoom:
        return {{}, beat_tables::kPhase7Zoom};
    default:
        return {};
    }
}

struct Cursor {
    DataList list;
    std::size_t index = 0;
} cursor;

// The item under the cursor as a double (Int items keep their value); moves the cursor on.
double readItem() {
    if (cursor.index >= cursor.list.size()) RuntimeError("Out of data");
    const std::size_t i = cursor.index++;
    return cursor.list.ints.empty() ? double(cursor.list.floats[i]) : double(cursor.list.ints[i]);
}

} // namespace

void RestoreData(DataLabel label) {
    cursor.list = listOf(label);
    cursor.index = 0;
}

int ReadDataInt() {
    return int(readItem()); // truncates toward zero
}

float ReadDataFloat() {
    return float(readItem());
}

void FillBeatTables() {
    std::vector<int>* const tables[] = {
        &sincTuntaraTun,   &sincScrollPow,       &sincScrollflash,    &sincScrollclap,
        &sincCubeMapRiick, &sincCubeMapPow,      &sincCubeMapClap,    &sincHamClap,
        &sincHamPow,       &sincbolazoom,        &sincbolaflash,      &sincSaludosPow,
        &sincSaludosClap,  &sincConstructorClap, &sincConstructorPow,
    };
    static_assert(std::size(tables) == std::size(beat_tables::kBeatTables));
    for (std::size_t t = 0; t < std::size(tables); ++t) {
        const DataLabel label = DataLabel(t);
        std::vector<int>& table = *tables[t];
        table.assign(listOf(label).size(), 0);
        RestoreData(label);
        for (int& entry : table) entry = ReadDataInt();
    }
}

int PhaseEndTick(int phase) {
    if (phase < 1 || phase > int(std::size(beat_tables::kPhaseEnd))) return -1;
    return beat_tables::kPhaseEnd[phase - 1];
}

const PhaseTable& DemoPhases() {
    static const PhaseTable phases = [] {
        PhaseTable p{};
        p[1].frame = parte1;
        p[2].frame = parte2;
        p[3].frame = parte3;
        p[4].entra = entra_parte4;
        p[4].frame = parte4;
        p[5].entra = entra_parte5;
        p[5].frame = parte5;
        p[6].entra = entra_parte6;
        p[6].frame = parte6;
        p[7].entra = entra_parte7;
        p[7].frame = parte7;
        p[8].entra = entra_parte8;
        p[8].frame = parte8;
        p[9].entra = entra_parte9;
        p[9].frame = parte9;
        p[10].entra = entra_parte10;
        p[10].frame = parte10;
        p[11].entra = entra_parte11;
        p[11].frame = parte11;
        return p;
    }();
    return phases;
}

void RunPhaseFrame(const PhaseTable& phases) {
    const int phase = parte;
    if (phase < 1 || phase > kPhaseCount) return;
    const PhaseEntry& entry = phases[std::size_t(phase)];
    if (!entry.frame) return; // a table without this phase: nothing to draw, nothing to end
    entry.frame();
    const int end = PhaseEndTick(phase);
    if (end >= 0 && ticks > float(end)) {
        parte = phase + 1;
        const PhaseEntry& next = phases[std::size_t(phase + 1)];
        if (next.entra) next.entra();
    }
}

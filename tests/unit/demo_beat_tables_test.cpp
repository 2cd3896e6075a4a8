// The beat tables and the constant lists: their contents as start-up fills them, and the read
// cursor that fills them and that the zoom events read.
#include "demo/beat_tables.h"
#include "demo/globals.h"
#include "demo/sequencer.h"

#include "demo_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using demotest::DemoTest;
using demotest::Exited;

// Each table as listed for the music: the phases in which it is tested, its number of values,
// its first and last value.
struct Expected {
    const char* name;
    const std::vector<int>* table;
    const int* pos;
    int firstPhase, lastPhase, count, first, last;
};

const Expected kExpected[] = {
    {"sincTuntaraTun", &sincTuntaraTun, &sincTuntaraTun_pos, 2, 3, 8, 278, 698},
    {"sincScrollPow", &sincScrollPow, &sincScrollPow_pos, 4, 4, 30, 716, 1645},
    {"sincScrollflash", &sincScrollflash, &sincScrollflash_pos, 4, 4, 3, 960, 1435},
    {"sincScrollclap", &sincScrollclap, &sincScrollclap_pos, 4, 4, 32, 732, 1648},
    {"sincCubeMapRiick", &sincCubeMapRiick, &sincCubeMapRiick_pos, 5, 5, 31, 1683, 2148},
    {"sincCubeMapPow", &sincCubeMapPow, &sincCubeMapPow_pos, 5, 5, 3, 1796, 2036},
    {"sincCubeMapClap", &sincCubeMapClap, &sincCubeMapClap_pos, 5, 5, 1, 1931, 1931},
    {"sincHamClap", &sincHamClap, &sinchamclap_pos, 6, 6, 16, 2172, 2607},
    {"sincHamPow", &sincHamPow, &sinchamPow_pos, 6, 6, 18, 2195, 2610},
    {"sincbolazoom", &sincbolazoom, &sincbolazoom_pos, 7, 7, 2, 2756, 2876},
    {"sincbolaflash", &sincbolaflash, &sincbolaflash_pos, 7, 7, 1, 2891, 2891},
    {"sincSaludosPow", &sincSaludosPow, &sincSaludosPow_pos, 8, 8, 15, 3050, 3445},
    {"sincSaludosClap", &sincSaludosClap, &sincSaludosClap_pos, 8, 8, 17, 3011, 3462},
    {"sincConstructorClap", &sincConstructorClap, &sincConstructorClap_pos, 9, 9, 16, 3491, 3926},
    {"sincConstructorPow", &sincConstructorPow, &sincConstructorPow_pos, 9, 9, 19, 3515, 3920},
};

using BeatTablesTest = DemoTest;

TEST_F(BeatTablesTest, StartUpFillsEveryTableInPhaseWindowEndingWithSentinel) {
    FillBeatTables();
    const int phaseEnd[10] = {235, 475, 715, 1675, 2155, 2635, 2995, 3475, 3959, 4200};
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.name);
        const std::vector<int>& t = *e.table;
        ASSERT_EQ(int(t.size()), e.count + 1);
        EXPECT_EQ(t.front(), e.first);
        EXPECT_EQ(t[std::size_t(e.count - 1)], e.last);
        EXPECT_EQ(t.back(), 100000);
        for (std::size_t i = 1; i < t.size(); ++i) EXPECT_LT(t[i - 1], t[i]) << "entry " << i;
        // Inside the phases that test it: after the clock passed the end of the phase before,
        // and no later than its last phase's end.
        for (int i = 0; i < e.count; ++i) {
            EXPECT_GT(t[std::size_t(i)], phaseEnd[e.firstPhase - 2]);
            EXPECT_LE(t[std::size_t(i)], phaseEnd[e.lastPhase - 1]);
        }
        EXPECT_EQ(*e.pos, 0);
    }
}

TEST_F(BeatTablesTest, FillingTwiceGivesTheSameTables) {
    FillBeatTables();
    const std::vector<int> before = sincHamPow;
    FillBeatTables();
    EXPECT_EQ(sincHamPow, before);
    EXPECT_EQ(sincHamPow.size(), 19u);
}

// The labels name the lists they restore to: reading a table's label gives that table's ticks.
TEST_F(BeatTablesTest, EachLabelRestoresToTheListOfTheSameName) {
    const DataLabel labels[15] = {
        DataLabel::TuntaraTunBeats,     DataLabel::ScrollPowBeats,
        DataLabel::ScrollFlashBeats,    DataLabel::ScrollClapBeats,
        DataLabel::CubeMapRiickBeats,   DataLabel::CubeMapPowBeats,
        DataLabel::CubeMapClapBeats,    DataLabel::HamClapBeats,
        DataLabel::HamPowBeats,         DataLabel::BolaZoomBeats,
        DataLabel::BolaFlashBeats,      DataLabel::SaludosPowBeats,
        DataLabel::SaludosClapBeats,    DataLabel::ConstructorClapBeats,
        DataLabel::ConstructorPowBeats,
    };
    for (int i = 0; i < 15; ++i) {
        SCOPED_TRACE(kExpected[i].name);
        const beat_tables::BeatTable* found = nullptr;
        for (const auto& t : beat_tables::kBeatTables)
            if (std::string(t.name) == kExpected[i].name) found = &t;
        ASSERT_NE(found, nullptr);
        RestoreData(labels[i]);
        for (int v : found->ticks) EXPECT_EQ(ReadDataInt(), v);
    }
}

TEST_F(BeatTablesTest, ZoomListsAreAsLongAsTheirTablesAndReadAsTheirTypes) {
    FillBeatTables();
    // Phase 4: Int items read into a Float, one per sincScrollPow event.
    RestoreData(DataLabel::Phase4Zoom);
    for (std::size_t i = 0; i + 1 < sincScrollPow.size(); ++i)
        EXPECT_EQ(ReadDataFloat(), float(i % 3 + 1)) << "item " << i;
    EXPECT_THROW(ReadDataFloat(), Exited);

    RestoreData(DataLabel::Phase5Zoom);
    EXPECT_EQ(sincCubeMapPow.size() - 1, 3u);
    EXPECT_EQ(ReadDataFloat(), 1.5f);
    EXPECT_EQ(ReadDataFloat(), 3.5f);
    EXPECT_EQ(ReadDataFloat(), 0.75f);

    RestoreData(DataLabel::Phase7Zoom);
    EXPECT_EQ(sincbolazoom.size() - 1, 2u);
    EXPECT_EQ(ReadDataFloat(), 2.5f);
    EXPECT_EQ(ReadDataFloat(), 1.0f);
    try {
        ReadDataFloat();
        ADD_FAILURE() << "read past the end of the list";
    } catch (const Exited& e) {
        EXPECT_EQ(e.status, -1);
        EXPECT_EQ(e.message, "Out of data");
    }
}

TEST_F(BeatTablesTest, FloatItemReadAsIntTruncatesAndRestoreStartsOver) {
    RestoreData(DataLabel::Phase5Zoom);
    EXPECT_EQ(ReadDataInt(), 1); // 1.5
    EXPECT_EQ(ReadDataInt(), 3); // 3.5
    EXPECT_EQ(ReadDataInt(), 0); // 0.75
    RestoreData(DataLabel::Phase5Zoom);
    EXPECT_EQ(ReadDataFloat(), 1.5f);
}

} // namespace

// One frame of phases 4, 6 and 8 at a set clock, with their beats and the random draws they
// make, in order; and the hand-overs into phases 5, 7 and 9.
#include "../unit/temp_dir.h"
#include "demo/dibujo.h"
#include "demo/flash.h"
#include "demo/media.h"
#include "demo/phases.h"
#include "demo/phases_opening.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tpiezagigante.h"
#include "demo/tpluma.h"
#include "demo/tscroll.h"
#include "element_fixture.h"
#include "engine/camera.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "platform/image2d.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

using elementgl::Exited;

// The globals the three phases draw with, made as start-up makes them (stand-in backgrounds),
// a fresh dot list and the beat tables filled.
class PenScenesTest : public elementgl::DemoElementTest {
  protected:
    void SetUp() override {
        DemoElementTest::SetUp();
        savedDots_ = tlapiz::lista_lapiz;
        tlapiz::lista_lapiz = CreateList<tlapizRef>();
        const auto image = [](std::uint32_t argb) {
            return LoadImage(gltest::SolidPixmap(16, 16, argb), 1);
        };
        fondo = image(gltest::Rgb(90, 90, 90));
        marco = image(gltest::Rgb(10, 20, 30));
        lapiz = MustLoadImage("media/lapiz.png", 1);
        flare = MustLoadImage("media/flare.png", 1);
        ticker = MustLoadImage("media/ticker.png", 1);
        creditos = MustLoadAnimImage("media/creditos.png", 1, 36, 0, 2600, 1);
        flash = tflash::crea();
        camara = CreateCamera(nullptr);
        CameraClsMode(camara, KEEPBUFFER, CLEARBUFFER);
        luz = CreateLight(1, nullptr);
        FillBeatTables();
        testseam::ResetRandom();
    }
    void TearDown() override {
        tpieza::destruyetodo();
        if (piezagigante) piezagigante->destruye();
        if (cubemap) cubemap->destruye();
        if (cubo) cubo->destruye();
        if (scroll) scroll->destruye();
        FreeEntity(luz);
        tlapiz::lista_lapiz = savedDots_;
        DemoElementTest::TearDown();
    }

    static void frame(void (*phase)(), float at) {
        ticks = at;
        phase();
    }
    // Puts every beat table of a phase past its last entry.
    static void noBeats(const std::vector<int>& table, int& pos) { pos = int(table.size()) - 1; }
    static TCamera& cam() { return static_cast<TCamera&>(*camara); }

  private:
    std::shared_ptr<TList<tlapizRef>> savedDots_;
};

// ---- Phase 4 ----

TEST_F(PenScenesTest, PhaseFourCreepsWithoutBeatsAndKicksZoomsAndSpinsOnThem) {
    BuildScrollerRow();
    dibujo = MustOpenFile("media/verde.lap");
    RestoreData(DataLabel::Phase4Zoom);
    // Before the first beat: 0.02 per frame from the first frame, zoom 1, no random draw while
    // the reader waits.
    testseam::ResetRandom();
    const std::uint32_t first = RandomBits();
    testseam::ResetRandom();
    const float pitch0 = pieces()[0]->pitch;
    for (int f = 1; f <= 3; ++f) {
        frame(parte4, 715.5f);
        EXPECT_FLOAT_EQ(EntityX(camara, 1), 0.02f * float(f));
        EXPECT_EQ(EntityZ(camara, 1), -45.0f);
    }
    EXPECT_FLOAT_EQ(cam().zoom, 1.0f);
    EXPECT_EQ(RandomBits(), first);
    EXPECT_EQ(scrollpausa, 57);
    const std::vector<tpiezaRef> row = pieces();
    EXPECT_FLOAT_EQ(row[0]->pitch, pitch0 - 1.5f) << "turned three times";
    const float roll0 = row[0]->roll;

    // Two ScrollPow beats close together fire on consecutive frames, each kicking the pan and
    // reading the next zoom (1, then 2).
    noBeats(sincScrollflash, sincScrollflash_pos);
    noBeats(sincScrollclap, sincScrollclap_pos);
    const float pos = scrollcampos;
    ASSERT_EQ(sincScrollPow_pos, 0);
    frame(parte4, float(sincScrollPow[1]));
    EXPECT_FLOAT_EQ(scrollcamvel, 1.32f);
    EXPECT_FLOAT_EQ(scrollcampos, pos + 1.32f);
    EXPECT_FLOAT_EQ(cam().zoom, 1.0f);
    frame(parte4, float(sincScrollPow[1]));
    EXPECT_FLOAT_EQ(scrollcamvel, 2.62f);
    EXPECT_FLOAT_EQ(cam().zoom, 2.0f);
    EXPECT_EQ(sincScrollPow_pos, 2);
    EXPECT_EQ(row[0]->roll, roll0 + 2);

    // A clap flashes and sets (not adds) a new spin per piece: pitch first, then yaw.
    for (const tpiezaRef& p : row) p->velpitch = p->velyaw = 100;
    sincScrollclap_pos = 0;
    noBeats(sincScrollPow, sincScrollPow_pos);
    scrollpausa = 10; // the reader draws nothing
    testseam::ResetRandom();
    std::vector<std::pair<float, float>> spins;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const float p = Rnd(-15, 15);
        spins.emplace_back(p, Rnd(-15, 15));
    }
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();
    frame(parte4, float(sincScrollclap[0]));
    EXPECT_EQ(RandomBits(), next);
    for (std::size_t i = 0; i < row.size(); ++i) {
        // The same frame's update has turned by it and damped it once.
        EXPECT_FLOAT_EQ(row[i]->velpitch, float(spins[i].first * 0.9)) << i;
        EXPECT_FLOAT_EQ(row[i]->velyaw, float(spins[i].second * 0.9)) << i;
    }
    EXPECT_EQ(flash->estado, 1);
    EXPECT_FLOAT_EQ(flash->maximo, 0.3f);

    // From tick 1670 the flash is restarted every frame.
    for (int f = 0; f < 4; ++f) frame(parte4, 1670);
    EXPECT_EQ(flash->estado, 1);
    EXPECT_FLOAT_EQ(flash->bajada, 0.625f);
}

TEST_F(PenScenesTest, TheHandOverIntoPhaseFiveClearsTheScrollerAndSetsUpTheRoom) {
    scroll = tscroll::crea(0, 0, 0);
    scroll->activa();
    cubo = tcubo::crea(camara);
    BuildScrollerRow();
    const std::vector<tpiezaRef> row = pieces();
    for (int i = 0; i < 5; ++i) tlapiz::crea(i, i, lapiz, 0, 0, 0);
    PositionEntity(camara, 33, 0, -45, 0);
    RotateEntity(camara, 5, -8, 0, 0);
    testseam::ResetRandom();
    int shapes[15];
    for (int& s : shapes) s = Rand(0, 6);
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();
    parte = 5;
    entra_parte5();
    EXPECT_EQ(RandomBits(), next);

    EXPECT_EQ(cubo->pivote->hide, 0) << "the room is shown";
    EXPECT_TRUE(tlapiz::lista_lapiz->IsEmpty());
    EXPECT_FLOAT_EQ(cam().zoom, 0.5f);
    EXPECT_EQ(EntityX(camara, 1), 0.0f);
    EXPECT_EQ(EntityZ(camara, 1), -20.0f);
    EXPECT_NEAR(EntityPitch(camara, 1), 0.0f, 1e-5);
    for (const tpiezaRef& p : row) EXPECT_FALSE(listed(p->pivote));
    for (const MeshRef& m : scroll->mallas) EXPECT_FALSE(listed(m));
    const std::vector<tpiezaRef> orbit = pieces();
    ASSERT_EQ(orbit.size(), 15u);
    for (std::size_t i = 0; i < 15; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(orbit[i]->tipo, shapes[i]);
        EXPECT_EQ(orbit[i]->x, float(2 * i + 5));
        EXPECT_EQ(orbit[i]->roll, 22.5f * float(i));
        EXPECT_EQ(orbit[i]->modo, 0);
        EXPECT_NE(orbit[i]->contornos[0], nullptr);
        EXPECT_EQ(cubopiezasang[i][0], 45.5f * float(i));
        EXPECT_EQ(cubopiezasang[i][1], 22.5f * float(i));
        EXPECT_EQ(cubopiezasang[i][2], 0.0f);
    }
    EXPECT_EQ(ReadDataFloat(), 1.5f) << "the cursor is on the phase-5 zoom list";
    EXPECT_EQ(parte, 5);
}

// ---- Phase 6 ----

TEST_F(PenScenesTest, PhaseSixJoltsEverythingOnItsBeatAndLeavesTheCameraOnTheLastSideView) {
    piezagigante = tpiezagigante::crea(20, 0, 60, 0, 0, 0);
    dibujo = MustOpenFile("media/estela.lap");
    dibujo2 = MustOpenFile("media/estela2.lap");
    noBeats(sincHamClap, sinchamclap_pos);
    const float pitch0 = piezagigante->destpitch;

    frame(parte6, 2160);
    EXPECT_EQ(tamcreditos, 0.0f);
    EXPECT_EQ(cam().vx, 10);
    EXPECT_EQ(cam().vwidth, 160);
    EXPECT_EQ(cam().vheight, 119);
    EXPECT_EQ(600 - cam().vy - cam().vheight, 120 + 5 * 120) << "side view 5, drawn at 120";
    EXPECT_EQ(rendersscroll, 119.0f);
    EXPECT_EQ(EntityX(camara, 1), 20.0f);
    EXPECT_EQ(CountList(tlapiz::lista_lapiz), 2) << "one dot from each pen";

    frame(parte6, float(sincHamPow[0]));
    EXPECT_EQ(tamcreditos, -24.0f) << "set after this frame's wave";
    EXPECT_EQ(piezagigante->destpitch, pitch0 + 45);
    EXPECT_EQ(600 - cam().vy - cam().vheight, 119 + 600 + 24) << "the views jolt at once";
    frame(parte6, float(sincHamPow[0]));
    EXPECT_FLOAT_EQ(tamcreditos, -22.8f);
    EXPECT_EQ(600 - cam().vy - cam().vheight, int(118 + 600 + 22.8f));

    // From tick 2630 the flash is restarted every frame.
    for (int f = 0; f < 5; ++f) {
        frame(parte6, 2631);
        EXPECT_FLOAT_EQ(flash->alfa, std::min(1.0f, 0.5f * float(f + 1))) << f;
    }
}

TEST_F(PenScenesTest, TheHandOverIntoPhaseSevenRestoresTheRoomAndKeepsTheTrailDots) {
    piezagigante = tpiezagigante::crea(20, 0, 60, 0, 0, 0);
    cubo = tcubo::crea(camara);
    cubemap = tcubemap::crea();
    HideEntity(cubo->pivote);
    HideEntity(cubemap->pivote);
    dibujo = MustOpenFile("media/estela.lap");
    dibujo2 = MustOpenFile("media/estela2.lap");
    const StreamRef a = dibujo, b = dibujo2;
    for (int i = 0; i < 3; ++i) tlapiz::crea(i, i, lapiz, 0, 0, 0);
    CameraViewport(camara, 10, 300, 160, 119);
    PositionEntity(camara, 20, 0, 0, 0);
    const PivotRef giant = piezagigante->pivote;
    testseam::ResetRandom();
    for (int i = 0; i < 15; ++i) Rand(0, 6);
    const float emitter = Rnd(0, 360);
    testseam::ResetRandom();
    parte = 7;
    entra_parte7();
    EXPECT_FALSE(listed(giant));
    EXPECT_NEAR(EntityPitch(luz, 1), 45.0f, 1e-4);
    EXPECT_NEAR(EntityYaw(luz, 1), -45.0f, 1e-4);
    EXPECT_EQ(EntityZ(camara, 1), -20.0f);
    EXPECT_EQ(EntityX(camara, 1), 0.0f);
    EXPECT_EQ(std::tuple(cam().vx, cam().vy, cam().vwidth, cam().vheight),
              std::tuple(0, 0, 800, 600));
    EXPECT_FLOAT_EQ(cam().zoom, 0.75f);
    EXPECT_EQ(cubo->pivote->hide, 0);
    EXPECT_EQ(cubemap->pivote->hide, 0);
    EXPECT_FALSE(a->IsOpen());
    EXPECT_FALSE(b->IsOpen());
    EXPECT_EQ(CountList(tlapiz::lista_lapiz), 3);
    EXPECT_EQ(pieces().size(), 15u);
    EXPECT_EQ(cubopiezasang[30][0], emitter);
    EXPECT_EQ(cubovelx, 2.0f);
    EXPECT_EQ(ReadDataFloat(), 2.5f);
}

// ---- Phase 8 ----

TEST_F(PenScenesTest, PhaseEightDriftsOnOneBeatAndSwitchesTheGreetingOnTheOther) {
    for (int i = 0; i < 3; ++i) tpieza::crea(i, float(11 * i), 0, 0, 0, 0, 0, 1, 0, nullptr);
    dibujo = MustOpenFile("media/saludo0.lap");
    saludosvelx = 0.25f;
    noBeats(sincSaludosPow, sincSaludosPow_pos);
    noBeats(sincSaludosClap, sincSaludosClap_pos);
    frame(parte8, 3000);
    const long first = CountList(tlapiz::lista_lapiz);
    EXPECT_GT(first, 10) << "greeting 0 read whole in the first frame";
    EXPECT_FLOAT_EQ(pieces()[1]->x, 11.25f);
    frame(parte8, 3000);
    EXPECT_EQ(CountList(tlapiz::lista_lapiz), first);

    // A drift beat and a greeting beat in one frame: drift x, drift y, then the spins, then
    // the greeting's file is read, then the dots draw.
    sincSaludosPow_pos = 0;
    sincSaludosClap_pos = 0;
    const float at = float(std::max(sincSaludosPow[0], sincSaludosClap[0]));
    ASSERT_LE(at, 3240.0f);
    testseam::ResetRandom();
    const float vx = Rnd(-0.5f, 0.5f), vy = Rnd(-0.5f, 0.5f);
    float spins[3][2];
    for (auto& s : spins) {
        s[0] = Rnd(-25, 25);
        s[1] = Rnd(-25, 25);
    }
    testseam::ResetRandom();
    const StreamRef old = dibujo;
    frame(parte8, at);
    EXPECT_EQ(saludosvelx, vx);
    EXPECT_EQ(saludosvely, vy);
    const std::vector<tpiezaRef> ps = pieces();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(ps[i]->velpitch, float(spins[i][0] * 0.9)) << i;
        EXPECT_FLOAT_EQ(ps[i]->velyaw, float(spins[i][1] * 0.9)) << i;
    }
    EXPECT_FALSE(old->IsOpen());
    EXPECT_TRUE(Eof(dibujo)) << "greeting 1 read whole in the frame that opened it";
    EXPECT_EQ(saludosnumero, 2);
    EXPECT_FLOAT_EQ(flash->maximo, 0.45f) << "up to tick 3240 at half strength";
    long burst = 0, stamped = 0;
    for (const tlapizRef& d : *tlapiz::lista_lapiz) {
        burst += d->estado == tlapiz::kVuelo;
        stamped += d->estado == tlapiz::kEstampado;
    }
    EXPECT_EQ(burst, first);
    EXPECT_GT(stamped, 10);

    // Past tick 3240 the greeting flash is at full strength.
    sincSaludosClap_pos = 1;
    ASSERT_LE(sincSaludosClap[1], 3241);
    frame(parte8, 3241);
    EXPECT_FLOAT_EQ(flash->maximo, 0.9f);
}

TEST_F(PenScenesTest, TheHandOverIntoPhaseNineOpensTheSceneAndTrailsAndDropsEveryDot) {
    for (int i = 0; i < 3; ++i) tpieza::crea(i, 0, 0, 0, 0, 0, 0, 1, 0, nullptr);
    for (int i = 0; i < 4; ++i) tlapiz::crea(i, i, flare, 255, 255, 255);
    dibujo = MustOpenFile("media/saludo16.lap");
    const std::weak_ptr<TStream> greeting = dibujo;
    CameraZoom(camara, 2.0f);
    parte = 9;
    entra_parte9();
    EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
    EXPECT_TRUE(tlapiz::lista_lapiz->IsEmpty());
    EXPECT_FLOAT_EQ(cam().zoom, 1.0f);
    ASSERT_NE(escenario, nullptr);
    EXPECT_EQ(StreamPos(escenario), 0);
    EXPECT_EQ(cam().fog_mode, 1);
    EXPECT_FLOAT_EQ(cam().fog_range_near, 10.0f);
    EXPECT_FLOAT_EQ(cam().fog_range_far, 80.0f);
    EXPECT_FLOAT_EQ(cam().fog_r, 245.0f / 255.0f);
    ASSERT_NE(dibujo, nullptr);
    ASSERT_NE(dibujo2, nullptr);
    EXPECT_EQ(StreamSize(dibujo), long(std::filesystem::file_size("media/estela.lap")));
    EXPECT_EQ(StreamSize(dibujo2), long(std::filesystem::file_size("media/estela2.lap")));
    EXPECT_EQ(StreamPos(dibujo), 0);
    EXPECT_TRUE(greeting.expired()) << "the last greeting's stream is released";
}

TEST_F(PenScenesTest, AMissingSceneFileEndsTheHandOverIntoPhaseNineNamingIt) {
    TempDir tmp;
    std::filesystem::create_directories(tmp.dir() / "media");
    const std::string before = CurrentDir();
    ASSERT_TRUE(ChangeDir(tmp.dir().string()));
    try {
        entra_parte9();
        ADD_FAILURE() << "the hand-over went on without media/escenario1.esc";
    } catch (const Exited& e) {
        EXPECT_NE(e.status, 0);
        EXPECT_NE(e.message.find("media/escenario1.esc"), std::string::npos) << e.message;
    }
    ChangeDir(before);
}

} // namespace

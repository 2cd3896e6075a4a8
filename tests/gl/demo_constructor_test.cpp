// The elements and frames of phases 9 to 11 on the engine's display, driven on a set clock:
// particles with their shared flare, the build step of the scene file, the beats, views and
// tickers of phase 9, the first fly-out frame of phase 10 and the Escape test of phase 11.
#include "../unit/temp_dir.h"
#include "demo/escena.h"
#include "demo/flash.h"
#include "demo/phase9.h"
#include "demo/phases.h"
#include "demo/sequencer.h"
#include "demo/tfuegoestela.h"
#include "demo/tparticula.h"
#include "element_fixture.h"
#include "engine/camera.h"
#include "engine/pivot.h"
#include "engine/sprite.h"
#include "engine/texture.h"
#include "platform/input.h"
#include "platform/mathfn.h"
#include "platform/random.h"
#include "platform/testing.h"
#include "stop_requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using elementgl::Exited;

// The demo's element tests with fresh particle and spark lists, a flash, the camera as
// start-up makes it, the beat tables and the constructor's pivot.
class ConstructorTest : public elementgl::DemoElementTest {
  protected:
    void SetUp() override {
        DemoElementTest::SetUp();
        savedParticles_ = tparticula::lista_particulas;
        tparticula::lista_particulas = CreateList<tparticulaRef>();
        savedSparks_ = tfuegoestela::lista_fuegoestela;
        tfuegoestela::lista_fuegoestela = CreateList<tfuegoestelaRef>();
        flash = tflash::crea();
        camara = CreateCamera(nullptr);
        CameraClsMode(camara, KEEPBUFFER, CLEARBUFFER);
        constructorpivot = CreatePivot(nullptr);
        FillBeatTables();
        testseam::ResetRandom();
    }
    void TearDown() override {
        tpieza::destruyetodo();
        tparticula::destruye();
        tfuegoestela::lista_fuegoestela = savedSparks_;
        tparticula::lista_particulas = savedParticles_;
        DemoElementTest::TearDown();
    }

    // `escenario` opened on a scene file of the records (seven floats each).
    void openScene(const std::vector<std::array<float, 7>>& records) {
        std::vector<std::uint8_t> bytes;
        for (const auto& r : records)
            for (float f : r)
                for (int i = 0; i < 4; ++i)
                    bytes.push_back(std::uint8_t(std::bit_cast<std::uint32_t>(f) >> (8 * i)));
        escenario = OpenFile(tmp_.write("escena.esc", bytes), true, false);
        ASSERT_NE(escenario, nullptr);
    }
    static std::vector<tparticulaRef> particles() {
        return tparticula::lista_particulas->ToVector();
    }
    static double distanceFromOrigin(const EntityRef& e) {
        return std::sqrt(double(EntityX(e, 1)) * EntityX(e, 1) +
                         double(EntityY(e, 1)) * EntityY(e, 1) +
                         double(EntityZ(e, 1)) * EntityZ(e, 1));
    }
    // The camera's viewport as CameraViewport was given it (y from the top).
    static std::array<int, 4> viewport() {
        return {camara->vx, 600 - camara->vy - camara->vheight, camara->vwidth, camara->vheight};
    }
    static void frame(void (*phase)(), float at) {
        ticks = at;
        phase();
    }

    TempDir tmp_;

  private:
    std::shared_ptr<TList<tparticulaRef>> savedParticles_;
    std::shared_ptr<TList<tfuegoestelaRef>> savedSparks_;
};

// ---- Particles ----

TEST_F(ConstructorTest, AHundredParticlesShareOneFlareAndDrawTheirNumbersInOrder) {
    struct Draws {
        float vx, vy, vz, gravedad, s;
    };
    std::vector<Draws> want(100);
    for (Draws& d : want) {
        d.vx = Rnd(-0.125f, 0.125f);
        d.vy = Rnd(0.05f, 0.25f);
        d.vz = Rnd(-0.125f, 0.125f);
        d.gravedad = Rnd(0.001f, 0.01f);
        d.s = Rnd(0.5f, 1.75f);
    }
    testseam::ResetRandom();
    const int textures = TTexture::tex_list->Count();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(tparticula::crea(1, 2, float(i)), 0);

    const auto all = particles();
    ASSERT_EQ(all.size(), 100u);
    EXPECT_EQ(TTexture::tex_list->Count(), textures + 1) << "the flare is loaded once";
    const TextureRef shared = GetBrushTexture(all[0]->sprite->brush, 0);
    ASSERT_NE(shared, nullptr);
    EXPECT_NE(TextureName(shared).find("flare.png"), std::string::npos);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const tparticula& p = *all[i];
        SCOPED_TRACE(i);
        ASSERT_NE(p.sprite, nullptr);
        EXPECT_TRUE(listed(p.sprite));
        EXPECT_EQ(GetBrushTexture(p.sprite->brush, 0), shared);
        EXPECT_EQ(p.sprite->brush->fx, 1);
        EXPECT_EQ(p.sprite->brush->blend, 3);
        EXPECT_EQ(p.z, float(i));
        EXPECT_EQ(p.alfa, 1.0f);
        EXPECT_EQ(p.vx, want[i].vx);
        EXPECT_EQ(p.vy, want[i].vy);
        EXPECT_EQ(p.vz, want[i].vz);
        EXPECT_EQ(p.gravedad, want[i].gravedad);
        EXPECT_EQ(p.sprite->scale_x, want[i].s);
        EXPECT_EQ(p.sprite->scale_y, want[i].s);
        EXPECT_EQ(EntityZ(p.sprite, 1), 0.0f) << "not placed before the first update";
        EXPECT_EQ(GetParent(p.sprite), nullptr);
    }
    tparticula::destruye();
    for (const tparticulaRef& p : all) EXPECT_FALSE(listed(p->sprite));
}

TEST_F(ConstructorTest, AMissingFlareEndsTheProgramNamingIt) {
    TempDir empty;
    const std::string before = CurrentDir();
    ASSERT_TRUE(ChangeDir(empty.dir().string()));
    try {
        tparticula::crea(0, 0, 0);
        ADD_FAILURE() << "a particle without its flare";
    } catch (const Exited& e) {
        EXPECT_NE(e.status, 0);
        EXPECT_NE(e.message.find("media/flare.png"), std::string::npos) << e.message;
    }
    ChangeDir(before);
    EXPECT_TRUE(tparticula::lista_particulas->IsEmpty());
}

// ---- The build step ----

TEST_F(ConstructorTest, TheBuildStepMakesTheRecordsPieceWithParticlesAndANewOrbit) {
    openScene({{2.9f, 4, 6, -2, 10, 20, 30}});
    struct {
        float angx, vel, dist;
    } want;
    want.angx = Rnd(15.0f, 30.0f);
    want.vel = Rnd(-3.0f, 3.0f);
    want.dist = Rnd(15.0f, 30.0f);
    float firstVx = Rnd(-0.125f, 0.125f);
    testseam::ResetRandom();

    ConstruyeSiguientePieza();
    EXPECT_EQ(flash->estado, 1);
    EXPECT_FLOAT_EQ(flash->maximo, 0.9f);
    EXPECT_FLOAT_EQ(flash->subida, 0.125f);
    EXPECT_FLOAT_EQ(flash->bajada, 0.06125f);
    ASSERT_EQ(pieces().size(), 1u);
    const tpieza& p = *pieces()[0];
    EXPECT_EQ(p.tipo, 2) << "the shape value is truncated";
    EXPECT_EQ(p.x, 4.0f);
    EXPECT_EQ(p.y, 6.0f);
    EXPECT_EQ(p.z, -2.0f);
    EXPECT_EQ(p.pitch, 10.0f);
    EXPECT_EQ(p.yaw, 20.0f);
    EXPECT_EQ(p.roll, 30.0f);
    EXPECT_EQ(p.modo, 0);
    EXPECT_EQ(p.velocidad, 0.025f);
    EXPECT_EQ(GetParent(p.pivote), constructorpivot);
    for (const MeshRef& c : p.contornos) EXPECT_NE(c, nullptr) << "outlined";
    EXPECT_EQ(camaraangx, want.angx);
    EXPECT_EQ(camaraangyvel, want.vel);
    EXPECT_EQ(camaradist, want.dist);
    const auto burst = particles();
    ASSERT_EQ(burst.size(), 5u);
    EXPECT_EQ(burst[0]->vx, firstVx) << "the particles draw after the camera";
    for (const tparticulaRef& q : burst) {
        EXPECT_EQ(q->x, 4.0f);
        EXPECT_EQ(q->y, 6.0f);
        EXPECT_EQ(q->z, -2.0f);
    }
}

TEST_F(ConstructorTest, ATenRecordFileBuildsTenPiecesAndThenSixOfShapeZeroAtTheOrigin) {
    std::vector<std::array<float, 7>> records;
    for (int n = 0; n < 10; ++n) records.push_back({float(n % 7), 2.0f * n + 1, 1, 1, 5, 5, 5});
    openScene(records);
    for (int n = 0; n < 16; ++n) ConstruyeSiguientePieza();
    const auto built = pieces();
    ASSERT_EQ(built.size(), 16u);
    for (int n = 0; n < 16; ++n) {
        SCOPED_TRACE(n);
        const tpieza& p = *built[std::size_t(n)];
        if (n < 10) {
            EXPECT_EQ(p.tipo, int(records[std::size_t(n)][0]));
            EXPECT_EQ(p.x, records[std::size_t(n)][1]);
        } else {
            EXPECT_EQ(p.tipo, 0);
            EXPECT_EQ(p.x, 0.0f);
            EXPECT_EQ(p.y, 0.0f);
            EXPECT_EQ(p.z, 0.0f);
            EXPECT_EQ(p.pitch, 0.0f);
            EXPECT_EQ(p.yaw, 0.0f);
            EXPECT_EQ(p.roll, 0.0f);
        }
    }
    EXPECT_EQ(particles().size(), 80u);
}

// ---- Phase 9 ----

TEST_F(ConstructorTest, PhaseNineJoltsOnItsBeatBuildsOnePiecePerFrameAndEndsWithTheViewAtTheMain) {
    openScene({{0, 0, 0, 0, 0, 0, 0}, {1, 2, 0, 0, 0, 0, 0}, {3, 4, 0, 0, 0, 0, 0}});
    frame(parte9, 3490);
    EXPECT_TRUE(pieces().empty());
    EXPECT_EQ(camaraangy, 1.0f) << "orbiting at the start speed";
    EXPECT_EQ((viewport()), (std::array<int, 4>{0, 32, 800, 536}));
    EXPECT_NEAR(distanceFromOrigin(camara), 15.0, 1e-4);

    // Tick 3515: the first jolt (after the ease) and the first piece, which is overdue.
    frame(parte9, 3515);
    EXPECT_EQ(tamcreditos, -24.0f);
    EXPECT_EQ(pieces().size(), 1u);
    EXPECT_EQ((viewport()), (std::array<int, 4>{0, 56, 800, 536}));
    // The camera ends at the main view: the new distance and pitch, turned by the new speed.
    EXPECT_NEAR(distanceFromOrigin(camara), camaradist, 1e-3);
    EXPECT_NEAR(EntityPitch(camara, 1), camaraangx, 1e-3);
    EXPECT_FLOAT_EQ(camaraangy, 1.0f + camaraangyvel);
    ASSERT_EQ(particles().size(), 5u);
    EXPECT_FLOAT_EQ(particles()[0]->alfa, 0.99f) << "updated in the frame of their birth";

    // The next frame eases the jolt to -22.8 and the views to 22 pixels lower.
    frame(parte9, 3516);
    EXPECT_FLOAT_EQ(tamcreditos, -22.8f);
    EXPECT_EQ((viewport()), (std::array<int, 4>{0, 54, 800, 536}));
    EXPECT_EQ(pieces().size(), 1u);

    // Two entries due at once (3521 and 3551) build one piece per frame, in file order.
    frame(parte9, 3560);
    frame(parte9, 3560);
    frame(parte9, 3560);
    ASSERT_EQ(pieces().size(), 3u);
    EXPECT_EQ(pieces()[1]->tipo, 1);
    EXPECT_EQ(pieces()[2]->tipo, 3);
    EXPECT_EQ(pieces()[2]->x, 4.0f);
}

TEST_F(ConstructorTest, PhaseNineRunsItsTickersAndRestartsTheFlashFrom3955) {
    // Past their last entries, so that no beat fires here.
    sincConstructorClap_pos = int(sincConstructorClap.size()) - 1;
    sincConstructorPow_pos = int(sincConstructorPow.size()) - 1;
    tickerx1 = -800;
    tickerx2 = 799;
    frame(parte9, 3955);
    EXPECT_EQ(tickerx1, 0) << "drawn at -800 and 0, then back to 0";
    EXPECT_EQ(tickerx2, 800);
    EXPECT_EQ(flash->estado, 0);
    frame(parte9, 3955);
    EXPECT_EQ(tickerx1, -1);
    EXPECT_EQ(tickerx2, 0);
    // Restarted in every frame: it rises by 0.125 a frame and then holds at its first step
    // past 0.6.
    for (int f = 1; f <= 8; ++f) {
        frame(parte9, 3956);
        EXPECT_FLOAT_EQ(flash->maximo, 0.6f);
        EXPECT_FLOAT_EQ(flash->alfa, 0.125f * float(std::min(f, 5))) << f;
    }
    // The phase-end test is the sequencer's: phase 10 begins after 3959.
    EXPECT_EQ(PhaseEndTick(9), 3959);
    EXPECT_EQ(parte, 1);
}

// ---- Phase 10 ----

TEST_F(ConstructorTest, PhaseTenBacksTheCameraAwayFromTheLastOrbitByAFifthPerFrame) {
    camaraangx = 20;
    camaraangy = 123;
    camaradist = 17.5f;
    camaraangyvel = 2.5f;
    const tpiezaRef p = tpieza::crea(1, 0, 0, 0, 0, 0, 0, 0, 1, constructorpivot);
    frame(parte10, 3960);
    EXPECT_NEAR(distanceFromOrigin(camara), 17.5, 1e-3) << "placed before the step";
    EXPECT_FLOAT_EQ(camaradist, 17.7f);
    EXPECT_NEAR(EntityPitch(camara, 1), 20.0, 1e-3);
    EXPECT_EQ(camaraangy, 123.0f) << "no longer turning";
    EXPECT_GT(p->actx[2], 0.0f) << "the pieces are updated";
    frame(parte10, 3961);
    EXPECT_NEAR(distanceFromOrigin(camara), 17.7, 1e-3);
}

// ---- Phase 11 ----

// The quit event and the stop signals end the end screen as Escape does, within the frame.
TEST_F(ConstructorTest, PhaseElevenEndsTheProgramOnEscapeBeforeTheFlip) {
    stoptest::DefaultStopSignalsAfter restore;
    frame(parte11, 0);
    EXPECT_EQ(halvreny, 573.0f);
    EXPECT_EQ(frecuenciafuegos, 59);
    EXPECT_EQ(poscreditos, 2.0f);
    for (const stoptest::StopRequest request : stoptest::kAllStopRequests) {
        SCOPED_TRACE(stoptest::Name(request));
        stoptest::Request(request);
        const float before = poscreditos;
        try {
            frame(parte11, 0);
            ADD_FAILURE() << "the request did not end the program";
        } catch (const Exited& e) {
            EXPECT_EQ(e.status, 0);
        }
        EXPECT_EQ(poscreditos, before + 2.0f) << "the frame was drawn first";
        // The press was taken by the phase's own test.
        EXPECT_EQ(KeyHit(Key::Escape), 0);
    }
}

} // namespace

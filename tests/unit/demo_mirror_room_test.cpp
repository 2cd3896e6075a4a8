// The mirror-sphere room without a display: the lumpy sphere and its random draws, the orbit and
// beat-kick steps of phases 5 and 7, and the giant piece's motion and shape changes. (Without a
// display the cube map is null: the commands given it do nothing.) What needs textures or rendering
// is tested under tests/gl.
#include "demo/globals.h"
#include "demo/phases.h"
#include "demo/tcubemap.h"
#include "demo/tpieza.h"
#include "demo/tpiezagigante.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "entity_fixture.h"
#include "piece_fixture.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

using piecetest::kShapes;
using piecetest::UntexturedPiece;

namespace {

class MirrorRoomTest : public SceneTest {
  protected:
    void TearDown() override {
        for (auto& row : cubopiezasang)
            for (float& a : row) a = 0.0f;
        SceneTest::TearDown();
    }
    piecetest::PieceListGuard guard_;
};

// ---- Mirror sphere ----

TEST_F(MirrorRoomTest, TheSphereIsLumpedInTheDrawOrderZYXThenGetsItsBreathingAngles) {
    MeshRef smooth = CreateSphere(tcubemap::kSegmentos, nullptr);
    const SurfaceRef ref = GetSurface(smooth, 1);
    testseam::ResetRandom();
    tcubemapRef c = tcubemap::crea();
    ASSERT_NE(c, nullptr);
    const SurfaceRef s = GetSurface(c->esfera, 1);
    ASSERT_EQ(CountSurfaces(c->esfera), 1);
    ASSERT_EQ(CountVertices(s), 4512);
    ASSERT_EQ(CountVertices(ref), 4512);

    // The same draws again, by hand: per vertex z, then y, then x; then the three angles.
    testseam::ResetRandom();
    float largest = 0.0f;
    for (int v = 0; v < 4512; ++v) {
        const float dz = Rnd(-0.009f, 0.009f);
        const float dy = Rnd(-0.009f, 0.009f);
        const float dx = Rnd(-0.009f, 0.009f);
        ASSERT_EQ(VertexX(s, v), float(double(VertexX(ref, v)) + dx)) << v;
        ASSERT_EQ(VertexY(s, v), float(double(VertexY(ref, v)) + dy)) << v;
        ASSERT_EQ(VertexZ(s, v), float(double(VertexZ(ref, v)) + dz)) << v;
        for (float d : {VertexX(s, v) - VertexX(ref, v), VertexY(s, v) - VertexY(ref, v),
                        VertexZ(s, v) - VertexZ(ref, v)}) {
            EXPECT_LT(std::fabs(d), 0.009f + 1e-6f) << v;
            largest = std::max(largest, std::fabs(d));
        }
    }
    EXPECT_GT(largest, 0.008f) << "the offsets use the whole range";
    EXPECT_EQ(c->ang1, Rnd(0, 359));
    EXPECT_EQ(c->ang2, Rnd(0, 359));
    EXPECT_EQ(c->ang3, Rnd(0, 359));
    // The mesh's bounds follow the moved vertices.
    EXPECT_NE(MeshWidth(c->esfera), MeshWidth(smooth));
}

TEST_F(MirrorRoomTest, AfterCreationNothingIsDrawnAndCambiaPutsASmoothSphereInPlace) {
    tcubemapRef c = tcubemap::crea();
    EXPECT_EQ(c->modo, 1);
    EXPECT_EQ(c->esfera->EntityHidden(), 1);
    EXPECT_EQ(c->camara->EntityHidden(), 1);
    EXPECT_EQ(c->pivote->hide, 0);
    EXPECT_EQ(GetParent(c->esfera), c->pivote);
    ASSERT_NE(c->esfera->brush, nullptr);
    EXPECT_EQ(c->esfera->brush->fx, 25);
    EXPECT_FLOAT_EQ(c->brocha->red, 200.0f / 255);
    EXPECT_EQ(c->brocha->shine, 1.0f);

    const MeshRef lumpy = c->esfera;
    MeshRef smooth = CreateSphere(tcubemap::kSegmentos, nullptr);
    c->cambia();
    EXPECT_FALSE(inList(lumpy));
    ASSERT_TRUE(inList(c->esfera));
    EXPECT_EQ(GetParent(c->esfera), c->pivote);
    const SurfaceRef s = GetSurface(c->esfera, 1);
    const SurfaceRef ref = GetSurface(smooth, 1);
    ASSERT_EQ(CountVertices(s), CountVertices(ref));
    for (int v = 0; v < CountVertices(s); ++v) {
        ASSERT_EQ(VertexX(s, v), VertexX(ref, v));
        ASSERT_EQ(VertexY(s, v), VertexY(ref, v));
        ASSERT_EQ(VertexZ(s, v), VertexZ(ref, v));
    }
    ASSERT_NE(c->esfera->brush, nullptr);
    EXPECT_EQ(c->esfera->brush->fx, 9);
    // The pivot stands as an unturned pivot turned by (90, 135, 45).
    PivotRef expected = CreatePivot(nullptr);
    TurnEntity(expected, 90, 135, 45, 0);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(GetMatElement(c->pivote, r, k), GetMatElement(expected, r, k), 1e-5);

    c->destruye();
    EXPECT_FALSE(inList(c->esfera));
    EXPECT_FALSE(inList(c->camara));
    EXPECT_TRUE(inList(c->pivote)) << "the pivot stays";
}

// ---- Orbit pieces of phases 5 and 7 ----

TEST_F(MirrorRoomTest, OrbitPiecesStayTenFromTheOriginWhateverTheirSpin) {
    std::vector<tpiezaRef> ps;
    for (int i = 0; i < 15; ++i) {
        ps.push_back(UntexturedPiece(i % 7, 0));
        ps.back()->velpitch = float(i) * 3;
        ps.back()->velyaw = -float(i);
        cubopiezasang[i][0] = float(i) * 45.5f;
        cubopiezasang[i][1] = float(i) * 22.5f;
    }
    PivotRef turned = CreatePivot(nullptr);
    for (int f = 1; f <= 40; ++f) {
        OrbitaPiezas(0.5f, 1.0f, 0.75f, 1);
        for (std::size_t i = 0; i < ps.size(); ++i) {
            const tpieza& p = *ps[i];
            const float d = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
            ASSERT_NEAR(d, kRadioOrbita, 1e-4) << "piece " << i << " frame " << f;
            // The pivot stands where the piece says, turned by the piece's own angles.
            ASSERT_NEAR(EntityX(p.pivote, 1), p.x, 1e-5);
            RotateEntity(turned, p.pitch, p.yaw, p.roll, 0);
            for (int r = 0; r < 3; ++r)
                for (int k = 0; k < 3; ++k)
                    ASSERT_NEAR(GetMatElement(p.pivote, r, k), GetMatElement(turned, r, k), 1e-5)
                        << "piece " << i << " frame " << f;
        }
    }
    // Rows grew by the steps; the piece's own pitch gained 1 and its spin per frame.
    EXPECT_FLOAT_EQ(cubopiezasang[2][0], 91.0f + 20.0f);
    EXPECT_FLOAT_EQ(cubopiezasang[2][1], 45.0f + 40.0f);
    EXPECT_FLOAT_EQ(cubopiezasang[2][2], 30.0f);
    EXPECT_EQ(cubopiezasang[15][0], 0.0f) << "rows past the pieces are untouched";
    // The orbit direction from pitch and yaw of row 0 (20 and 40 degrees), as the face table
    // has it: a positive yaw turns +z toward -x, a positive pitch toward -y.
    const tpieza& first = *ps[0];
    const double pr = 20.0 * M_PI / 180, yr = 40.0 * M_PI / 180;
    EXPECT_NEAR(first.x, -10 * std::cos(pr) * std::sin(yr), 1e-4); // yaw turns +z toward -x
    EXPECT_NEAR(first.y, -10 * std::sin(pr), 1e-4);
    EXPECT_NEAR(first.z, 10 * std::cos(pr) * std::cos(yr), 1e-4);
}

TEST_F(MirrorRoomTest, PhaseFiveOrbitLeavesThePiecesOwnTurnAndPiecesPastTheTableAlone) {
    std::vector<tpiezaRef> ps;
    for (int i = 0; i < 33; ++i) ps.push_back(UntexturedPiece(0, 1));
    OrbitaPiezas(1, 1, 1, 0);
    EXPECT_EQ(ps[0]->pitch, 0.0f);
    EXPECT_EQ(cubopiezasang[31][2], 1.0f);
    EXPECT_NEAR(std::hypot(ps[31]->x, ps[31]->y, ps[31]->z), 10.0, 1e-4);
    EXPECT_EQ(ps[32]->x, 0.0f);
    EXPECT_EQ(ps[32]->z, 0.0f);
}

TEST_F(MirrorRoomTest, TheBeatKickAddsRollYawPitchDrawsPieceByPiece) {
    std::vector<tpiezaRef> ps;
    for (int i = 0; i < 3; ++i) {
        ps.push_back(UntexturedPiece(i, 0));
        ps.back()->velpitch = 1;
        ps.back()->velyaw = 2;
        ps.back()->velroll = 3;
    }
    testseam::ResetRandom();
    PateaPiezasOrbita();
    testseam::ResetRandom();
    for (const tpiezaRef& p : ps) {
        const float r = Rnd(-15, 15), y = Rnd(-15, 15), q = Rnd(-15, 15);
        EXPECT_EQ(p->velroll, float(3.0 + r));
        EXPECT_EQ(p->velyaw, float(2.0 + y));
        EXPECT_EQ(p->velpitch, float(1.0 + q));
    }
}

// ---- Giant piece ----

// The giant piece as the demo makes it, untextured, showing shape tipo as if crea had drawn
// the shape before it.
tpiezagiganteRef UntexturedGiant(int tipo) {
    tpiezagiganteRef g = tpiezagigante::creaConTextura(nullptr, 20, 0, 60, 0, 0, 0);
    g->tipo = tipo - 1; // shape 0 comes after any number outside the table
    g->cambiatipo();
    return g;
}

TEST_F(MirrorRoomTest, CambiatipoStepsThroughTheShapesAndWrapsAnyOtherNumberToZero) {
    const int cases[][2] = {{0, 1}, {1, 2}, {2, 3},  {3, 4},   {4, 5},   {5, 6},
                            {6, 0}, {7, 0}, {-1, 0}, {-40, 0}, {1000, 0}};
    for (const auto& c : cases) {
        tpiezagigante g;
        g.tipo = c[0];
        EXPECT_EQ(g.cambiatipo(), 0);
        ASSERT_EQ(g.tipo, c[1]) << c[0];
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(g.destx[i], kShapes[std::size_t(c[1])].blocks[i][0]) << c[0];
            EXPECT_EQ(g.desty[i], kShapes[std::size_t(c[1])].blocks[i][1]) << c[0];
        }
    }
}

TEST_F(MirrorRoomTest, TheGiantPieceChangesShapeOnTheFirstUpdateAndEvery61Frames) {
    tpiezagiganteRef g = UntexturedGiant(3);
    std::vector<int> changes;
    int last = g->tipo;
    for (int call = 1; call <= 123; ++call) {
        g->actualiza();
        if (g->tipo != last) changes.push_back(call);
        last = g->tipo;
    }
    EXPECT_EQ(changes, (std::vector<int>{1, 62, 123}));
    EXPECT_EQ(g->tipo, 6);
    EXPECT_FLOAT_EQ(g->yaw, 61.5f);
}

TEST_F(MirrorRoomTest, BlocksGlideAtVelocidadAndTakeNewTargetsFromTheNextFrame) {
    tpiezagiganteRef g = UntexturedGiant(6); // the first update moves on to shape 0
    g->actualiza();
    // This frame's glide still aimed at shape 6's targets (5 % of the way); the targets are
    // shape 0's now.
    const auto& six = kShapes[6].blocks;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(EntityX(g->cubos[i], 0), 0.05f * six[i][0]) << i;
        EXPECT_FLOAT_EQ(EntityY(g->cubos[i], 0), 0.05f * six[i][1]) << i;
    }
    EXPECT_EQ(g->tipo, 0);
    g->actualiza();
    const auto& zero = kShapes[0].blocks;
    for (std::size_t i = 0; i < 4; ++i) {
        const float x = 0.05f * six[i][0];
        const float y = 0.05f * six[i][1];
        EXPECT_FLOAT_EQ(EntityX(g->cubos[i], 0), x + (zero[i][0] - x) * 0.05f) << i;
        EXPECT_FLOAT_EQ(EntityY(g->cubos[i], 0), y + (zero[i][1] - y) * 0.05f) << i;
    }
    // Placed in world space at its position; its scale (set by crea) is left alone.
    EXPECT_EQ(EntityX(g->pivote, 1), 20.0f);
    EXPECT_EQ(EntityZ(g->pivote, 1), 60.0f);
    // After 59 more frames a block has covered about 95 % of the change.
    for (int f = 0; f < 59; ++f) g->actualiza();
    EXPECT_GT(g->actx[3], 0.95f * 4);
    EXPECT_LT(g->actx[3], 4.0f);
}

TEST_F(MirrorRoomTest, PitchFollowsTwoQuickKicksToNinetyWithoutOvershootAndRollStays) {
    tpiezagiganteRef g = UntexturedGiant(0);
    g->destpitch += 45;
    g->actualiza();
    g->destpitch += 45;
    float before = g->pitch;
    for (int f = 0; f < 400; ++f) {
        g->actualiza();
        ASSERT_GE(g->pitch, before);
        ASSERT_LE(g->pitch, 90.0f);
        before = g->pitch;
    }
    EXPECT_NEAR(g->pitch, 90.0f, 1e-3);
    EXPECT_EQ(g->roll, 0.0f);
    // Half of one kick is done after 14 frames (0.95^14 < 0.5), not after 13.
    tpiezagiganteRef h = UntexturedGiant(0);
    h->destpitch = 45;
    for (int f = 0; f < 13; ++f) h->actualiza();
    EXPECT_LT(h->pitch, 22.5f);
    h->actualiza();
    EXPECT_GT(h->pitch, 22.5f);
}

TEST_F(MirrorRoomTest, EveryUpdateShowsTheGiantPieceAgain) {
    tpiezagiganteRef g = UntexturedGiant(0);
    HideEntity(g->pivote);
    g->actualiza();
    EXPECT_EQ(g->pivote->hide, 0);
    HideEntity(g->pivote);
    g->actualiza();
    EXPECT_EQ(g->pivote->hide, 0);
    g->destruye();
    EXPECT_FALSE(inList(g->pivote));
    EXPECT_FALSE(inList(g->cubos[0]));
}

TEST_F(MirrorRoomTest, AGiantPieceWithoutEngineObjectsIsSafe) {
    tpiezagigante g;
    EXPECT_EQ(g.actualiza(), 0);
    EXPECT_EQ(g.tipo, 1);
    EXPECT_EQ(g.destruye(), 0);
}

} // namespace

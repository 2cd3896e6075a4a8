// Block pieces without a display: the per-frame motion of a piece (glide, snap, spin, world
// placement), destruction, and the flying pieces of the opening phases (spawn draws, motion,
// lifetime and removal). Pieces are built by crea's own code given no texture; loading the
// texture is tested under tests/gl.
#include "demo/phases_opening.h"
#include "demo/tpieza.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "entity_fixture.h"
#include "piece_fixture.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using piecetest::kShapes;
using piecetest::ReferenceSpawns;
using piecetest::UntexturedPiece;

namespace {

class PieceTest : public SceneTest {
  protected:
    piecetest::PieceListGuard guard_;

    static std::vector<tpiezaRef> pieces() { return tpieza::lista_piezas->ToVector(); }
    static float localX(const MeshRef& m) { return EntityX(m, 0); }
    static float localY(const MeshRef& m) { return EntityY(m, 0); }
};

TEST_F(PieceTest, APieceWithoutEngineObjectsStillMovesItsFieldsAndIsSafeToDestroy) {
    // The commands given its null handles do nothing; the spin and the glide run as usual.
    tpieza p;
    p.velyaw = 10;
    p.destx = {0, -2, 2, 4};
    EXPECT_EQ(p.actualiza(), 0);
    EXPECT_EQ(p.yaw, 10.0f);
    EXPECT_FLOAT_EQ(p.velyaw, 9.0f);
    EXPECT_FLOAT_EQ(p.actx[3], 4.0f * 0.0125f);
    EXPECT_EQ(p.acty[3], 0.0f);
    EXPECT_EQ(p.destruye(), 0);
}

TEST_F(PieceTest, GlidingBlocksStartTogetherAndCloseInGeometrically) {
    tpiezaRef p = UntexturedPiece(0, 0);
    p->actualiza();
    // First frame: 1.25 % of the way; block 0, whose target is the pivot, never moves.
    const float first[4] = {0.0f, -0.025f, 0.025f, 0.05f};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(localX(p->cubos[i]), first[i]) << "block " << i;
        EXPECT_EQ(localY(p->cubos[i]), 0.0f);
        EXPECT_EQ(p->actx[i], first[i]);
    }
    // The remaining distance shrinks by (1 - 0.0125) per frame: about half is left after 55
    // frames (just under half after 56), 1 % after 367.
    for (int n = 2; n <= 367; ++n) {
        p->actualiza();
        const double left = std::pow(1.0 - 0.0125, n);
        EXPECT_NEAR(p->actx[3], 4.0 * (1.0 - left), 1e-4) << "frame " << n;
        if (n == 55) {
            EXPECT_GT(4.0f - p->actx[3], 2.0f);
        }
        if (n == 56) {
            EXPECT_LT(4.0f - p->actx[3], 2.0f);
        }
    }
    EXPECT_LT(4.0f - localX(p->cubos[3]), 0.04f);
    EXPECT_EQ(localX(p->cubos[0]), 0.0f);
}

TEST_F(PieceTest, AnotherSpeedTakesEffectAtTheNextUpdate) {
    tpiezaRef p = UntexturedPiece(2, 0);
    p->actualiza();
    EXPECT_FLOAT_EQ(p->acty[3], 4.0f * 0.0125f);
    p->velocidad = 0.025f;
    p->actualiza();
    // 0.05 + (4 - 0.05) x 0.025
    EXPECT_FLOAT_EQ(p->acty[3], 0.05f + 3.95f * 0.025f);
    EXPECT_FLOAT_EQ(localY(p->cubos[3]), p->acty[3]);
}

TEST_F(PieceTest, StandingBlocksShowTheShapeAtOnceAndLeaveTheGlideAlone) {
    for (int tipo = 0; tipo < 7; ++tipo) {
        tpiezaRef p = UntexturedPiece(tipo, 1);
        p->actualiza();
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(localX(p->cubos[i]), kShapes[std::size_t(tipo)].blocks[i][0])
                << "tipo " << tipo << " block " << i;
            EXPECT_EQ(localY(p->cubos[i]), kShapes[std::size_t(tipo)].blocks[i][1]);
            EXPECT_EQ(EntityZ(p->cubos[i], 0), 0.0f);
            EXPECT_EQ(p->actx[i], 0.0f);
            EXPECT_EQ(p->acty[i], 0.0f);
        }
    }
}

TEST_F(PieceTest, AnyOtherModeLeavesEverythingAsItWas) {
    tpiezaRef p = UntexturedPiece(0, 2);
    p->x = 3;
    p->velyaw = 10;
    p->velpitch = 5;
    p->actualiza();
    EXPECT_EQ(p->yaw, 0.0f);
    EXPECT_EQ(p->velyaw, 10.0f);
    EXPECT_EQ(p->velpitch, 5.0f);
    EXPECT_EQ(EntityX(p->pivote, 1), 0.0f);
    EXPECT_EQ(localX(p->cubos[1]), 0.0f);
}

TEST_F(PieceTest, ASpinKickTurnsTenTimesItsSizeFallingByATenthEachFrame) {
    tpiezaRef p = UntexturedPiece(1, 1);
    p->velyaw = 15;
    p->velpitch = -4;
    p->velroll = 30; // not part of the motion
    p->actualiza();
    EXPECT_FLOAT_EQ(p->yaw, 15.0f); // the turn takes the undamped spin
    EXPECT_FLOAT_EQ(p->velyaw, 13.5f);
    EXPECT_FLOAT_EQ(p->pitch, -4.0f);
    p->actualiza();
    EXPECT_FLOAT_EQ(p->yaw, 28.5f);
    for (int n = 0; n < 400; ++n) p->actualiza();
    EXPECT_NEAR(p->yaw, 150.0f, 1e-3f);
    EXPECT_NEAR(p->pitch, -40.0f, 1e-3f);
    EXPECT_EQ(p->roll, 0.0f);
    EXPECT_EQ(p->velroll, 30.0f);
    EXPECT_NEAR(EntityYaw(p->pivote, 1), 150.0f, 1e-3f);
}

TEST_F(PieceTest, ThePivotLandsAtTheWorldPlaceUnderAMovedAndTurnedParent) {
    PivotRef parent = CreatePivot(nullptr);
    PositionEntity(parent, 5, -3, 12, 0);
    RotateEntity(parent, 10, 40, -20, 0);
    tpiezaRef p = UntexturedPiece(3, 1, parent);
    // Not yet updated: the pivot sits at its parent's origin.
    EXPECT_NEAR(EntityX(p->pivote, 1), 5.0f, 1e-5f);
    EXPECT_NEAR(EntityZ(p->pivote, 1), 12.0f, 1e-5f);

    p->x = -7;
    p->y = 2.5f;
    p->z = 30;
    p->pitch = 25;
    p->yaw = -60;
    p->roll = 80;
    p->actualiza();
    const TMatrix want = composeLocal(identityMatrix(), -7, 2.5f, 30, 25, -60, 80, 1, 1, 1);
    expectMatrixNear(p->pivote->mat, want, 1e-4f);
}

TEST_F(PieceTest, DestroyingFreesTheEngineObjectsAndKeepsThePieceListed) {
    tpiezaRef a = UntexturedPiece(0, 0);
    tpiezaRef b = UntexturedPiece(4, 1);
    ASSERT_EQ(TEntity::entity_list->Count(), 10);
    a->destruye();
    EXPECT_EQ(TEntity::entity_list->Count(), 5);
    EXPECT_FALSE(inList(a->pivote));
    EXPECT_FALSE(inList(a->cubos[2]));
    EXPECT_EQ(pieces(), (std::vector<tpiezaRef>{a, b}));
    // The fields still refer to the freed objects.
    EXPECT_NE(a->pivote, nullptr);
}

TEST_F(PieceTest, DestroyAllFreesEveryPieceOnceAndEmptiesTheList) {
    std::vector<tpiezaRef> made;
    for (int i = 0; i < 5; ++i) made.push_back(UntexturedPiece(i, 0));
    // A piece outside the list is not touched.
    auto outside = std::make_shared<tpieza>();
    outside->pivote = CreatePivot(nullptr);
    EXPECT_EQ(tpieza::destruyetodo(), 0);
    EXPECT_EQ(tpieza::lista_piezas->Count(), 0);
    EXPECT_EQ(listed(), (std::vector<EntityRef>{outside->pivote}));
    // Again on the empty list, and on no list at all: nothing happens.
    EXPECT_EQ(tpieza::destruyetodo(), 0);
    tpieza::lista_piezas = nullptr;
    EXPECT_EQ(tpieza::destruyetodo(), 0);
}

// ---- Flying pieces ----

TEST_F(PieceTest, TheSpawnTestDrawsInTheFixedOrder) {
    const int frames = 600;
    const auto want = ReferenceSpawns(frames);
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();
    int spawned = 0;
    for (int f = 0; f < frames; ++f) {
        const auto got = DrawFlyingPieceSpawn();
        ASSERT_EQ(got.has_value(), want[std::size_t(f)].has_value()) << "frame " << f;
        if (!got) continue;
        ++spawned;
        const FlyingPieceSpawn& w = *want[std::size_t(f)];
        EXPECT_EQ(got->roll, w.roll);
        EXPECT_EQ(got->yaw, w.yaw);
        EXPECT_EQ(got->pitch, w.pitch);
        EXPECT_EQ(got->y, w.y);
        EXPECT_EQ(got->x, w.x);
        EXPECT_EQ(got->tipo, w.tipo);
        EXPECT_TRUE(got->tipo >= 0 && got->tipo <= 6);
        EXPECT_TRUE(got->x >= -15 && got->x < 15 && got->y >= -15 && got->y < 20);
    }
    // About one frame in ten spawns, and the generator ends where the reference left it.
    EXPECT_GT(spawned, 30);
    EXPECT_LT(spawned, 100);
    EXPECT_EQ(RandomBits(), next);
}

TEST_F(PieceTest, AFlyingPieceMovesEachFrameAndGoesInItsThreeHundredthFrame) {
    tpiezaRef p = UntexturedPiece(6, 0);
    p->z = kFlyingStartZ;
    p->yaw = 10;
    p->roll = 20;
    MoveFlyingPieces();
    // Its first step and update come in the same frame: first drawn at z 129.5.
    EXPECT_EQ(p->z, 129.5f);
    EXPECT_EQ(p->roll, 21.0f);
    EXPECT_EQ(p->yaw, 9.0f);
    EXPECT_FLOAT_EQ(EntityZ(p->pivote, 1), 129.5f);
    EXPECT_EQ(p->actx[1], -0.025f); // actualiza ran: the blocks glide
    for (int frame = 2; frame <= 299; ++frame) MoveFlyingPieces();
    // Updated in 299 frames, last at z -19.5.
    ASSERT_EQ(pieces(), std::vector<tpiezaRef>{p});
    EXPECT_EQ(p->z, -19.5f);
    EXPECT_FLOAT_EQ(EntityZ(p->pivote, 1), -19.5f);
    EXPECT_EQ(p->roll, 319.0f);
    MoveFlyingPieces();
    // Frame 300: z reaches -20, and the piece goes without another update.
    EXPECT_EQ(p->z, -20.0f);
    EXPECT_TRUE(pieces().empty());
    EXPECT_TRUE(TEntity::entity_list->IsEmpty());
    EXPECT_FLOAT_EQ(p->roll, 320.0f);
}

TEST_F(PieceTest, RemovingAPieceInThePassLeavesTheOthersMoving) {
    tpiezaRef first = UntexturedPiece(0, 1);
    tpiezaRef leaving = UntexturedPiece(1, 1);
    tpiezaRef last = UntexturedPiece(2, 1);
    first->z = 40;
    leaving->z = -19.5f;
    last->z = -19.75f; // steps to -20.25: goes too
    tpiezaRef after = UntexturedPiece(3, 1);
    after->z = 10;
    MoveFlyingPieces();
    EXPECT_EQ(pieces(), (std::vector<tpiezaRef>{first, after}));
    EXPECT_EQ(first->z, 39.5f);
    EXPECT_EQ(after->z, 9.5f);
    EXPECT_FLOAT_EQ(EntityZ(after->pivote, 1), 9.5f);
    EXPECT_EQ(TEntity::entity_list->Count(), 10);
    // Pieces on no list, and no list: nothing to do.
    tpieza::lista_piezas = nullptr;
    MoveFlyingPieces();
}

} // namespace

// The demo's block pieces, 3D scroller and the opening phases' pieces and hand-over into
// phase 4, built with their textures from the generated media folder on the engine's display.
#include "demo/phases.h"
#include "demo/phases_opening.h"
#include "demo/sequencer.h"
#include "demo/tscroll.h"
#include "element_fixture.h"
#include "engine/camera.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine/texture.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using elementgl::DemoElementTest;
using piecetest::kShapes;
using piecetest::ReferenceSpawns;

namespace {

// ---- Block pieces ----

TEST_F(DemoElementTest, EachShapeIsBuiltInItsColourWithOutlinedBlocks) {
    PivotRef parent = CreatePivot(nullptr);
    PositionEntity(parent, 3, 4, 5, 0);
    for (int tipo = 0; tipo < 7; ++tipo) {
        const std::string what = "tipo " + std::to_string(tipo);
        const auto& shape = kShapes[std::size_t(tipo)];
        tpiezaRef p = tpieza::crea(tipo, 1, 2, 3, 10, 20, 30, 1, 1, parent);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(pieces().back(), p) << what;
        EXPECT_EQ(p->tipo, tipo);
        EXPECT_EQ(p->modo, 1);
        EXPECT_EQ(p->x, 1.0f);
        EXPECT_EQ(p->z, 3.0f);
        EXPECT_EQ(p->pitch, 10.0f);
        EXPECT_EQ(p->roll, 30.0f);
        // The pivot waits at its parent's origin for the first update.
        EXPECT_EQ(GetParent(p->pivote), parent);
        EXPECT_FLOAT_EQ(EntityX(p->pivote, 1), 3.0f);
        EXPECT_FLOAT_EQ(EntityZ(p->pivote, 1), 5.0f);

        // The blocks: the shape's colour, the shared piece texture, shininess 2.
        expectColour(p->brocha, shape.colour, what);
        EXPECT_EQ(p->brocha->shine, 2.0f);
        ASSERT_NE(tpieza::textura, nullptr);
        EXPECT_EQ(p->brocha->tex[0], tpieza::textura);
        EXPECT_NE(tpieza::textura->file.find("pieza.png"), std::string::npos);
        EXPECT_EQ(tpieza::textura->flags & 1, 1);
        // The outlines: black, untextured, no shine.
        expectColour(p->brochacontorno, {0, 0, 0}, what);
        EXPECT_EQ(p->brochacontorno->tex[0], nullptr);
        EXPECT_EQ(p->brochacontorno->shine, 0.0f);

        EXPECT_EQ(CountChildren(p->pivote), 4);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(p->destx[i], shape.blocks[i][0]) << what << " block " << i;
            EXPECT_EQ(p->desty[i], shape.blocks[i][1]) << what << " block " << i;
            EXPECT_EQ(p->actx[i], 0.0f);
            const MeshRef& cube = p->cubos[i];
            ASSERT_NE(cube, nullptr);
            EXPECT_EQ(GetParent(cube), p->pivote);
            EXPECT_EQ(CountVertices(GetSurface(cube, 1)), 24); // the standard cube
            // A copy of the brush's settings, not the brush itself.
            EXPECT_NE(cube->brush, p->brocha);
            EXPECT_EQ(TBrush::CompareBrushes(cube->brush, p->brocha), 1) << what;
            const MeshRef& rim = p->contornos[i];
            ASSERT_NE(rim, nullptr);
            EXPECT_EQ(GetParent(rim), cube);
            EXPECT_FLOAT_EQ(rim->sx, -1.05f);
            EXPECT_FLOAT_EQ(rim->sy, -1.05f);
            EXPECT_FLOAT_EQ(rim->sz, -1.05f);
            EXPECT_EQ(TBrush::CompareBrushes(rim->brush, p->brochacontorno), 1) << what;
        }
        p->actualiza();
        EXPECT_NEAR(EntityX(p->pivote, 1), 1.0f, 1e-5f);
        EXPECT_NEAR(EntityY(p->pivote, 1), 2.0f, 1e-5f);
        EXPECT_NEAR(EntityZ(p->pivote, 1), 3.0f, 1e-5f);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(EntityX(p->cubos[i], 0), shape.blocks[i][0]) << what;
            EXPECT_EQ(EntityY(p->cubos[i], 0), shape.blocks[i][1]) << what;
        }
    }
    EXPECT_EQ(pieces().size(), 7u);
}

TEST_F(DemoElementTest, WithoutOutlinesAPieceHasFourMeshes) {
    tpiezaRef plain = tpieza::crea(4, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
    EXPECT_EQ(TEntity::entity_list->Count(), 5); // pivot and four blocks
    for (const MeshRef& rim : plain->contornos) EXPECT_EQ(rim, nullptr);
    tpieza::crea(4, 0, 0, 0, 0, 0, 0, 0, 7, nullptr);
    EXPECT_EQ(TEntity::entity_list->Count(), 5 + 9);
    plain->destruye();
    EXPECT_EQ(TEntity::entity_list->Count(), 9);
    EXPECT_EQ(pieces().size(), 2u);
    tpieza::destruyetodo();
    EXPECT_TRUE(TEntity::entity_list->IsEmpty());
    EXPECT_TRUE(pieces().empty());
}

TEST_F(DemoElementTest, AHundredPiecesShareTheOneTexture) {
    for (int i = 0; i < 100; ++i) tpieza::crea(i % 7, 0, 0, 0, 0, 0, 0, 0, 1, nullptr);
    int loaded = 0;
    for (const TextureRef& t : *TTexture::tex_list) {
        if (t && t->file.find("pieza.png") != std::string::npos) ++loaded;
    }
    EXPECT_EQ(loaded, 1);
    for (const tpiezaRef& p : pieces()) EXPECT_EQ(p->brocha->tex[0], tpieza::textura);
    tpieza::destruyetodo();
}

TEST_F(DemoElementTest, AnUnknownShapeMakesABarePivotThatIsSafeToUpdateAndDestroy) {
    for (int tipo : {7, -1, 1000}) {
        tpiezaRef p = tpieza::crea(tipo, 5, 0, 0, 0, 0, 0, 0, 1, nullptr);
        EXPECT_EQ(p->brocha, nullptr);
        EXPECT_EQ(CountChildren(p->pivote), 0);
        p->actualiza();
        EXPECT_FLOAT_EQ(EntityX(p->pivote, 1), 5.0f);
        p->destruye();
        EXPECT_FALSE(listed(p->pivote));
    }
    EXPECT_EQ(pieces().size(), 3u);
}

// ---- 3D scroller ----

TEST_F(DemoElementTest, TheScrollerIsAHiddenStripOfSixTexturedQuads) {
    tscrollRef s = tscroll::crea(0, 0, 0);
    ASSERT_NE(s, nullptr);
    const float want[6][5] = {
        // x, y, z, u, v of vertices 0 to 5
        {-1, 1, 0, 0, 0},  {1, 1, 0, 1, 0}, {-1, -1, 0, 0, 1},
        {-1, -1, 0, 0, 1}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        const std::string what = "quad " + std::to_string(i);
        const MeshRef& m = s->mallas[i];
        ASSERT_NE(m, nullptr) << what;
        EXPECT_EQ(GetParent(m), nullptr);
        EXPECT_EQ(EntityX(m, 1), 40.0f * float(i)) << what;
        EXPECT_EQ(EntityY(m, 1), 0.0f);
        EXPECT_EQ(EntityZ(m, 1), 0.0f);
        EXPECT_EQ(m->sx, 20.0f);
        EXPECT_EQ(m->sz, 20.0f);
        EXPECT_EQ(m->hide, 1) << what;
        EXPECT_EQ(m->brush->blend, 1);
        EXPECT_EQ(m->brush->fx, 1);

        ASSERT_EQ(CountSurfaces(m), 1);
        const SurfaceRef& surf = s->superficies[i];
        EXPECT_EQ(GetSurface(m, 1), surf);
        ASSERT_EQ(CountVertices(surf), 6);
        ASSERT_EQ(CountTriangles(surf), 2);
        for (int v = 0; v < 6; ++v) {
            EXPECT_EQ(VertexX(surf, v), want[v][0]) << what << " vertex " << v;
            EXPECT_EQ(VertexY(surf, v), want[v][1]) << what << " vertex " << v;
            EXPECT_EQ(VertexZ(surf, v), want[v][2]) << what << " vertex " << v;
            EXPECT_EQ(VertexU(surf, v, 0), want[v][3]) << what << " vertex " << v;
            EXPECT_EQ(VertexV(surf, v, 0), want[v][4]) << what << " vertex " << v;
        }
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(TriangleVertex(surf, 0, c), c);
            EXPECT_EQ(TriangleVertex(surf, 1, c), 3 + c);
        }

        // Brush i, image i, with flags 59, painted onto the quad's surface.
        const BrushRef& b = tscroll::textura[i];
        ASSERT_NE(b, nullptr) << what;
        const TextureRef tex = GetBrushTexture(b, 0);
        ASSERT_NE(tex, nullptr) << what;
        EXPECT_NE(tex->file.find("scroll" + std::to_string(i) + ".png"), std::string::npos);
        EXPECT_EQ(tex->flags, 59);
        ASSERT_NE(surf->brush, nullptr);
        EXPECT_EQ(surf->brush->tex[0], tex);
        EXPECT_EQ(surf->brush->blend, 1);
    }
    // The strip covers x -20 to 220 and y -20 to 20.
    EXPECT_FLOAT_EQ(MeshWidth(s->mallas[0]) * s->mallas[0]->sx, 40.0f);

    s->activa();
    for (const MeshRef& m : s->mallas) EXPECT_EQ(m->hide, 0);
    s->destruye();
    for (const MeshRef& m : s->mallas) EXPECT_FALSE(listed(m));
    for (const BrushRef& b : tscroll::textura) EXPECT_NE(GetBrushTexture(b, 0), nullptr);
}

TEST_F(DemoElementTest, TheScrollerStartsWhereItIsAsked) {
    tscrollRef s = tscroll::crea(10, -5, 30);
    EXPECT_EQ(s->x, 10.0f);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(EntityX(s->mallas[i], 1), 10.0f + 40.0f * float(i));
        EXPECT_EQ(EntityY(s->mallas[i], 1), -5.0f);
        EXPECT_EQ(EntityZ(s->mallas[i], 1), 30.0f);
    }
    s->destruye();
}

TEST_F(DemoElementTest, TheStripFacesAViewerInFrontOfIt) {
    // Drawn on black, full-bright and blended by the images' alpha: the lettering shows, and only
    // inside the strip, which starts at x -20 (screen x 222 at distance 45) and spans y -20 to
    // 20 (screen y 122 to 478). A quad that faced away would be culled.
    camara = CreateCamera(nullptr);
    CameraClsMode(camara, CLEARBUFFER, CLEARBUFFER);
    CameraClsColor(camara, 0, 0, 0);
    PositionEntity(camara, 0, 0, -45, 0);
    scroll = tscroll::crea(0, 0, 0);
    RenderWorld();
    const auto hidden = testseam::CaptureFrame();
    scroll->activa();
    RenderWorld();
    const auto shown = testseam::CaptureFrame();
    int lit = 0, outside = 0;
    for (int y = 0; y < gltest::kHeight; ++y) {
        for (int x = 0; x < gltest::kWidth; ++x) {
            EXPECT_EQ(gltest::At(hidden, x, y), gltest::Rgb(0, 0, 0));
            if (gltest::At(shown, x, y) == gltest::Rgb(0, 0, 0)) continue;
            ++lit;
            if (x < 220 || y < 120 || y > 480) ++outside;
        }
    }
    EXPECT_GT(lit, 2000);
    EXPECT_EQ(outside, 0);
    scroll->destruye();
}

// ---- Opening phases ----

TEST_F(DemoElementTest, FlyingPiecesCarryTheirDrawsAndMoveFromTheFarDistance) {
    const int frames = 250; // fewer than a piece's 300-frame life: none leaves
    const auto draws = ReferenceSpawns(frames);
    testseam::ResetRandom();
    for (int f = 0; f < frames; ++f) SpawnAndMoveFlyingPieces();

    const std::vector<tpiezaRef> got = pieces();
    std::size_t k = 0;
    for (int f = 0; f < frames; ++f) {
        if (!draws[std::size_t(f)]) continue;
        ASSERT_LT(k, got.size());
        const FlyingPieceSpawn& d = *draws[std::size_t(f)];
        const tpiezaRef& p = got[k++];
        const int steps = frames - f; // its spawn frame included
        EXPECT_EQ(p->tipo, d.tipo) << "spawned in frame " << f;
        EXPECT_EQ(p->x, d.x);
        EXPECT_EQ(p->y, d.y);
        EXPECT_EQ(p->pitch, d.pitch);
        float yaw = d.yaw, roll = d.roll, z = kFlyingStartZ;
        for (int n = 0; n < steps; ++n) {
            yaw -= 1.0f;
            roll += 1.0f;
            z -= 0.5f;
        }
        EXPECT_EQ(p->yaw, yaw);
        EXPECT_EQ(p->roll, roll);
        EXPECT_EQ(p->z, z);
        EXPECT_EQ(p->modo, 0);
        EXPECT_NE(p->contornos[0], nullptr);
        EXPECT_EQ(GetParent(p->pivote), nullptr);
        EXPECT_NEAR(EntityZ(p->pivote, 1), z, 1e-4f);
    }
    EXPECT_EQ(k, got.size());
    EXPECT_GT(k, 10u);
    // The newest piece, spawned this frame or shortly before, is first drawn at z 129.5.
    for (const tpiezaRef& p : got) EXPECT_LE(p->z, 129.5f);
    tpieza::destruyetodo();
}

TEST_F(DemoElementTest, TheHandOverIntoPhaseFourSetsUpTheScroller) {
    camara = CreateCamera(nullptr);
    CameraFogRange(camara, 125, 130);
    PositionEntity(camara, -15, -10, -15, 0);
    RotateEntity(camara, 5, -8, 0, 0);
    scroll = tscroll::crea(0, 0, 0);
    std::vector<tpiezaRef> flying;
    for (int i = 0; i < 5; ++i) {
        flying.push_back(tpieza::crea(i, 0, 0, float(50 - i), 0, 0, 0, 0, 1, nullptr));
        flying.back()->actualiza();
    }
    RestoreData(DataLabel::Phase7Zoom);
    parte = 4;

    // The row's angles: roll, yaw, pitch per piece, in row order.
    testseam::ResetRandom();
    std::vector<std::array<float, 3>> angles; // roll, yaw, pitch
    for (int i = 0; i < 11; ++i) angles.push_back({Rnd(0, 359), Rnd(0, 359), Rnd(0, 359)});
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();

    entra_parte4();

    EXPECT_EQ(parte, 4);
    // The flying pieces are gone, engine objects and all.
    for (const tpiezaRef& p : flying) {
        EXPECT_FALSE(listed(p->pivote));
        EXPECT_FALSE(listed(p->contornos[3]));
    }
    // Eleven row pieces, shapes 0 to 6 then 0 to 3, standing, outlined, scaled by 1.5 and not
    // yet placed.
    const std::vector<tpiezaRef> row = pieces();
    ASSERT_EQ(row.size(), 11u);
    for (std::size_t i = 0; i < row.size(); ++i) {
        const tpiezaRef& p = row[i];
        const std::string what = "row piece " + std::to_string(i);
        EXPECT_EQ(p->tipo, int(i % 7)) << what;
        EXPECT_EQ(p->x, 20.0f * float(i) - 2.5f) << what;
        EXPECT_EQ(p->y, 0.0f);
        EXPECT_EQ(p->z, -8.0f);
        EXPECT_EQ(p->roll, angles[i][0]) << what;
        EXPECT_EQ(p->yaw, angles[i][1]) << what;
        EXPECT_EQ(p->pitch, angles[i][2]) << what;
        EXPECT_EQ(p->modo, 1);
        EXPECT_NE(p->contornos[0], nullptr);
        EXPECT_EQ(GetParent(p->pivote), nullptr);
        EXPECT_EQ(p->pivote->sx, 1.5f);
        EXPECT_EQ(p->pivote->sy, 1.5f);
        EXPECT_EQ(p->pivote->sz, 1.5f);
        EXPECT_EQ(EntityX(p->pivote, 1), 0.0f) << what;
        EXPECT_EQ(EntityZ(p->pivote, 1), 0.0f) << what;
        EXPECT_EQ(EntityX(p->cubos[1], 0), 0.0f) << what;
    }
    EXPECT_EQ(RandomBits(), next); // the row drew 33 numbers, nothing else

    for (const MeshRef& m : scroll->mallas) EXPECT_EQ(m->hide, 0);
    // The camera faces the start of the strip, turned as before; fog out of reach.
    EXPECT_FLOAT_EQ(EntityX(camara, 0), 0.0f);
    EXPECT_FLOAT_EQ(EntityY(camara, 0), 0.0f);
    EXPECT_FLOAT_EQ(EntityZ(camara, 0), -45.0f);
    EXPECT_NEAR(EntityPitch(camara, 0), 5.0f, 1e-4f);
    EXPECT_NEAR(EntityYaw(camara, 0), -8.0f, 1e-4f);
    EXPECT_EQ(camara->fog_range_near, 999.0f);
    EXPECT_EQ(camara->fog_range_far, 1000.0f);
    // The first line drawing is open at its start.
    ASSERT_NE(dibujo, nullptr);
    StreamRef same = OpenFile("media/verde.lap", true, false);
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(ReadInt(dibujo), ReadInt(same));
    // The read cursor is on the phase-4 zoom list.
    EXPECT_EQ(ReadDataInt(), 1);
    EXPECT_EQ(ReadDataInt(), 2);
    EXPECT_EQ(ReadDataInt(), 3);
    // Phase 4 places the row when it updates it.
    row[3]->actualiza();
    EXPECT_FLOAT_EQ(EntityX(row[3]->pivote, 1), 57.5f);
    EXPECT_FLOAT_EQ(EntityZ(row[3]->pivote, 1), -8.0f);
    tpieza::destruyetodo();
    scroll->destruye();
}

} // namespace

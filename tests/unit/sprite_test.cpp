// Sprites: the quad, loading, the sprite settings, copies and the drawing matrix built for a
// camera in each view mode.
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/sprite.h"

#include "view_fixture.h"

#include <algorithm>
#include <cmath>

namespace {

class SpriteTest : public ViewTest {
  protected:
    // A camera at the origin turned by the angles.
    static CameraRef turnedCamera(float pitch, float yaw, float roll) {
        CameraRef c = CreateCamera(nullptr);
        RotateEntity(c, pitch, yaw, roll, 0);
        return c;
    }
    // The matrix of a top-level pivot placed and turned as given, with scale (sx, sy, 1): what
    // a sprite facing that way is drawn with.
    static TMatrix facing(const SpriteRef& s, float pitch, float yaw, float roll, float sx = 1,
                          float sy = 1) {
        PivotRef p = CreatePivot(nullptr);
        PositionEntity(p, s->EntityX(1), s->EntityY(1), s->EntityZ(1), 0);
        RotateEntity(p, pitch, yaw, roll, 0);
        ScaleEntity(p, sx, sy, 1, 0);
        TMatrix m = p->mat;
        FreeEntity(p);
        return m;
    }
    static void draw(const CameraRef& cam, const std::vector<SpriteRef>& sprites) {
        TList<MeshRef> list;
        for (const SpriteRef& s : sprites) list.AddLast(s);
        TSprite::UpdateSprites(cam, list);
    }
    static Vec3 column(const TMatrix& m, int column) {
        return {m.grid[column][0], m.grid[column][1], m.grid[column][2]};
    }
};

TEST_F(SpriteTest, CreateSpriteBuildsTheQuad) {
    SpriteRef s = CreateSprite(nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->EntityClass(), "Sprite");
    EXPECT_TRUE(inList(s));
    EXPECT_EQ(s->angle, 0.0f);
    EXPECT_EQ(s->scale_x, 1.0f);
    EXPECT_EQ(s->scale_y, 1.0f);
    EXPECT_EQ(s->handle_x, 0.0f);
    EXPECT_EQ(s->handle_y, 0.0f);
    EXPECT_EQ(s->view_mode, 1);
    EXPECT_EQ(s->brush->fx, 1) << "full-bright";
    ASSERT_EQ(s->CountSurfaces(), 1);
    SurfaceRef surf = s->GetSurface(1);
    EXPECT_EQ(surf->brush, nullptr);
    ASSERT_EQ(surf->CountVertices(), 4);
    const float want[4][5] = {
        {-1, -1, 0, 0, 1}, {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(surf->VertexX(v), want[v][0]) << v;
        EXPECT_EQ(surf->VertexY(v), want[v][1]) << v;
        EXPECT_EQ(surf->VertexZ(v), want[v][2]) << v;
        EXPECT_EQ(surf->VertexU(v, 0), want[v][3]) << v;
        EXPECT_EQ(surf->VertexV(v, 0), want[v][4]) << v;
    }
    ASSERT_EQ(surf->CountTriangles(), 2);
    const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < 2; ++t)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(surf->TriangleVertex(t, c), tris[t][c]);
    EXPECT_FLOAT_EQ(s->MeshWidth(), 2.0f);

    PivotRef p = CreatePivot(nullptr);
    PositionEntity(p, 1, 2, 3, 0);
    SpriteRef child = CreateSprite(p);
    expectMatrixNear(child->mat, p->mat, 0.0f);
}

TEST_F(SpriteTest, LoadSpriteWithoutItsFileStillGivesASprite) {
    // Without a display no texture can be made: the sprite comes back untextured.
    SpriteRef additive = LoadSprite("no/such/file.png", COLORTEXTURE, nullptr);
    ASSERT_NE(additive, nullptr);
    EXPECT_EQ(additive->brush->tex[0], nullptr);
    EXPECT_EQ(additive->brush->blend, 3) << "no alpha flag: additive";
    SpriteRef alpha = LoadSprite("no/such/file.png", ALPHATEXTURE, nullptr);
    EXPECT_EQ(alpha->brush->blend, 0) << "alpha flag: default blend kept";
}

TEST_F(SpriteTest, SettersStoreTheirValues) {
    SpriteRef s = CreateSprite(nullptr);
    RotateSprite(s, 45);
    ScaleSprite(s, 2, 3);
    HandleSprite(s, 1, -1);
    SpriteViewMode(s, 7);
    EXPECT_EQ(s->angle, 45.0f);
    EXPECT_EQ(s->scale_x, 2.0f);
    EXPECT_EQ(s->scale_y, 3.0f);
    EXPECT_EQ(s->handle_x, 1.0f);
    EXPECT_EQ(s->handle_y, -1.0f);
    EXPECT_EQ(s->view_mode, 7);
    RotateSprite(nullptr, 1);
    ScaleSprite(nullptr, 1, 1);
    HandleSprite(nullptr, 1, 1);
    SpriteViewMode(nullptr, FACINGSPRITE);
}

TEST_F(SpriteTest, ModeOneFacesTheCameraWithItsPitchAndYaw) {
    CameraRef cam = turnedCamera(20, 30, 40);
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 0, 0, 5, 0);
    RotateEntity(s, 10, 70, 5, 0); // the sprite's own turn does not count
    ScaleSprite(s, 2, 0.5f);
    draw(cam, {s});
    expectMatrixNear(s->sprite_mat, facing(s, 20, 30, 0, 2, 0.5f), 1e-5f, "mode 1");
    // The quad's normal is the camera's view axis.
    const Vec3 n = column(s->sprite_mat, 2), f = column(cam->mat, 2);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(n[std::size_t(i)], f[std::size_t(i)], 1e-5f);
}

TEST_F(SpriteTest, ModesThreeAndFourTakeTheCameraRoll) {
    CameraRef cam = turnedCamera(20, 30, 40);
    SpriteRef three = CreateSprite(nullptr);
    PositionEntity(three, 1, 2, 3, 0);
    SpriteViewMode(three, ROLLINGSPRITE);
    SpriteRef four = CreateSprite(nullptr);
    PositionEntity(four, -1, 0, 8, 0);
    SpriteViewMode(four, UPRIGHTSPRITE);
    RotateSprite(four, 45);
    draw(cam, {three, four});
    expectMatrixNear(three->sprite_mat, facing(three, 20, 30, 40), 1e-5f, "mode 3");
    expectMatrixNear(four->sprite_mat, facing(four, 0, 30, 40 + 45), 1e-5f, "mode 4");
    // Mode 3 turns the quad exactly as the camera is turned.
    expectMatrixNear(rotationOf(three->sprite_mat), rotationOf(cam->mat), 1e-5f);
}

TEST_F(SpriteTest, ModeTwoDrawsWithTheEntityMatrix) {
    CameraRef cam = turnedCamera(20, 30, 40);
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 1, 2, 3, 0);
    RotateEntity(s, 10, 70, 5, 0);
    ScaleEntity(s, 2, 2, 2, 0);
    ScaleSprite(s, 5, 5);
    SpriteViewMode(s, FREESPRITE);
    draw(cam, {s});
    expectMatrixNear(s->sprite_mat, s->mat, 0.0f);
}

TEST_F(SpriteTest, OtherModesKeepTheAnglesOfTheSpriteBefore) {
    CameraRef cam = turnedCamera(20, 30, 40);
    SpriteRef first = CreateSprite(nullptr);
    SpriteViewMode(first, 9);
    SpriteRef lead = CreateSprite(nullptr);
    SpriteViewMode(lead, ROLLINGSPRITE);
    SpriteRef follower = CreateSprite(nullptr);
    PositionEntity(follower, 0, 0, 4, 0);
    SpriteViewMode(follower, 0);
    draw(cam, {first, lead, follower});
    expectMatrixNear(first->sprite_mat, facing(first, 0, 0, 0), 1e-6f, "angles start at 0");
    expectMatrixNear(follower->sprite_mat, facing(follower, 20, 30, 40), 1e-5f,
                     "the mode-3 sprite's angles");
    // Each pass starts again at 0.
    draw(cam, {follower});
    expectMatrixNear(follower->sprite_mat, facing(follower, 0, 0, 0), 1e-6f, "a new pass");
}

TEST_F(SpriteTest, HandleAndScalePlaceTheQuad) {
    CameraRef cam = turnedCamera(-15, 60, 0);
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 3, -2, 9, 0);
    HandleSprite(s, 1, 1);
    ScaleSprite(s, 2, 3);
    draw(cam, {s});
    const Vec3 at = mapPoint(s->sprite_mat, {1, 1, 0});
    EXPECT_NEAR(at[0], 3, 1e-5f);
    EXPECT_NEAR(at[1], -2, 1e-5f);
    EXPECT_NEAR(at[2], -9, 1e-5f) << "stored z";
    // The opposite corner lies 2 x 2 and 2 x 3 away along the quad's axes.
    const Vec3 far = mapPoint(s->sprite_mat, {-1, -1, 0});
    const float dx = far[0] - at[0], dy = far[1] - at[1], dz = far[2] - at[2];
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), std::sqrt(16.0f + 36.0f), 1e-4f);
}

TEST_F(SpriteTest, UnderAParentTheQuadKeepsItsWorldSizeAndFacesTheCamera) {
    CameraRef cam = turnedCamera(0, 30, 25);
    PivotRef parent = CreatePivot(nullptr);
    PositionEntity(parent, 5, 0, 0, 0);
    RotateEntity(parent, 0, 40, 0, 0);
    ScaleEntity(parent, 2, 2, 2, 0);
    SpriteRef s = CreateSprite(parent);
    PositionEntity(s, 1, 0, 0, 0);
    SpriteViewMode(s, UPRIGHTSPRITE);
    draw(cam, {s});
    // The camera's roll is not applied under a parent: the sprite faces it with yaw alone.
    // (The quad is flat: its z axis keeps the parent's z scale, which draws nothing.)
    const TMatrix want = facing(s, 0, 30, 0);
    for (int col : {0, 1, 3}) {
        for (int row = 0; row < 4; ++row) {
            EXPECT_NEAR(s->sprite_mat.grid[col][row], want.grid[col][row], 1e-5f)
                << "grid[" << col << "][" << row << "]";
        }
    }
    expectMatrixNear(rotationOf(s->sprite_mat), rotationOf(want), 1e-5f, "faces the camera");
}

TEST_F(SpriteTest, ANullCameraChangesNothing) {
    SpriteRef s = CreateSprite(nullptr);
    draw(nullptr, {s});
    expectMatrixNear(s->sprite_mat, TMatrix{}, 0.0f);
}

TEST_F(SpriteTest, CopyEntitySharesTheQuadAndCopiesTheSettings) {
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 1, 2, 3, 0);
    RotateSprite(s, 10);
    ScaleSprite(s, 2, 3);
    HandleSprite(s, 0.5f, -0.5f);
    SpriteViewMode(s, UPRIGHTSPRITE);
    EntityAutoFade(s, 5, 15);
    EntityColor(s, 255, 0, 0);
    s->collision_type = 2;
    CameraRef cam = turnedCamera(0, 30, 0);
    draw(cam, {s});

    auto c = std::dynamic_pointer_cast<TSprite>(CopyEntity(s, nullptr));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->EntityClass(), "Sprite");
    EXPECT_TRUE(inList(c));
    EXPECT_EQ(c->surf_list, s->surf_list) << "the same surfaces";
    EXPECT_EQ(c->CountSurfaces(), 1);
    BrushRef b = TBrush::CreateBrush(0, 255, 0);
    s->GetSurface(1)->PaintSurface(b);
    EXPECT_EQ(c->GetSurface(1)->brush, b) << "painting a surface of one shows on both";
    EXPECT_NE(c->brush, s->brush);
    EXPECT_EQ(c->brush->red, 1.0f);
    EXPECT_EQ(c->brush->fx, 1);
    EXPECT_EQ(c->angle, 10.0f);
    EXPECT_EQ(c->scale_x, 2.0f);
    EXPECT_EQ(c->scale_y, 3.0f);
    EXPECT_EQ(c->handle_x, 0.5f);
    EXPECT_EQ(c->handle_y, -0.5f);
    EXPECT_EQ(c->view_mode, 4);
    EXPECT_EQ(c->auto_fade, 1);
    EXPECT_EQ(c->fade_far, 15.0f);
    EXPECT_EQ(c->collision_type, 2);
    expectMatrixNear(c->sprite_mat, s->sprite_mat, 0.0f);
    expectMatrixNear(c->mat, s->mat, 0.0f);
    EXPECT_FLOAT_EQ(c->MeshWidth(), 2.0f) << "bounds recomputed on first use";
}

} // namespace

namespace {

// Every corner of the drawn quad lies in the sprite's cull sphere, whatever the camera, scale,
// handle, parent and view mode; without a parent (or under a parent scaled evenly) the farthest
// corner lies on it, so the sphere is no larger than it must be.
TEST_F(SpriteTest, CullSphereHoldsTheDrawnQuad) {
    struct Case {
        float scale_x, scale_y, handle_x, handle_y;
        int mode;
        float parent_sx, parent_sy, parent_sz; // 0: no parent
        bool tight;
    } cases[] = {
        {1, 1, 0, 0, 1, 0, 0, 0, true},   {8, 1, 0, 0, 1, 0, 0, 0, true},
        {2, 3, 1, 1, 3, 0, 0, 0, true},   {-2, 0.5f, -3, 2, 4, 0, 0, 0, true},
        {3, 1, 1, 0, 1, 2, 2, 2, true},   {3, 2, -1, 0.5f, 4, 0.5f, 3, 1, false},
        {1, 1, 4, 0, 7, -2, 1, 1, false},
    };
    const float cams[][3] = {{0, 0, 0}, {-30, 70, 10}, {45, -120, 60}};
    for (const Case& k : cases) {
        for (const auto& a : cams) {
            TEntity::entity_list = CreateList<EntityRef>();
            CameraRef cam = turnedCamera(a[0], a[1], a[2]);
            EntityRef parent;
            if (k.parent_sx != 0) {
                parent = CreatePivot(nullptr);
                PositionEntity(parent, 1, 2, 3, 0);
                RotateEntity(parent, 20, 50, -10, 0);
                ScaleEntity(parent, k.parent_sx, k.parent_sy, k.parent_sz, 0);
            }
            SpriteRef s = CreateSprite(parent);
            PositionEntity(s, 3, -2, 9, 0);
            ScaleSprite(s, k.scale_x, k.scale_y);
            HandleSprite(s, k.handle_x, k.handle_y);
            SpriteViewMode(s, k.mode);
            s->GetBounds();
            draw(cam, {s});
            const TSphere sphere = s->CullSphere();
            float farthest = 0;
            for (const Vec3& corner :
                 {Vec3{-1, -1, 0}, Vec3{-1, 1, 0}, Vec3{1, 1, 0}, Vec3{1, -1, 0}}) {
                const Vec3 at = mapPoint(s->sprite_mat, corner); // stored z
                const float dx = at[0] - sphere.centre.x, dy = at[1] - sphere.centre.y,
                            dz = -at[2] - sphere.centre.z;
                farthest = std::max(farthest, std::sqrt(dx * dx + dy * dy + dz * dz));
            }
            SCOPED_TRACE(testing::Message()
                         << "scale " << k.scale_x << " " << k.scale_y << " handle " << k.handle_x
                         << " " << k.handle_y << " mode " << k.mode << " camera " << a[1]);
            EXPECT_LE(farthest, sphere.radius * (1 + 1e-5f));
            if (k.tight) {
                EXPECT_NEAR(farthest, sphere.radius, 1e-4f * sphere.radius);
            }
        }
    }
}

TEST_F(SpriteTest, ScaledOrHandledSpriteReachingIntoTheViewIsInIt) {
    // A camera at the origin looking along +z with a 90-degree field of view; the sprite's
    // position (10, 0, 4) is well to the right of it.
    CameraRef cam = CreateCamera(nullptr);
    viewtest::loadView(*cam);
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 10, 0, 4, 0);
    EXPECT_EQ(cam->EntityInView(s), 0.0f) << "the plain quad spans x 9..11: outside";
    // Scaled 8 wide the quad spans x 2..18, handled 3 to the right at scale 2 it spans x 2..6;
    // both reach into the view (x < 4 at distance 4).
    ScaleSprite(s, 8, 1);
    EXPECT_GT(cam->EntityInView(s), 0.0f);
    ScaleSprite(s, 2, 1);
    HandleSprite(s, 3, 0);
    EXPECT_GT(cam->EntityInView(s), 0.0f);
    // Mode 2 draws with the entity matrix, which the sprite scale and handle do not enter.
    SpriteViewMode(s, 2);
    EXPECT_EQ(cam->EntityInView(s), 0.0f);
    ScaleEntity(s, 8, 1, 1, 0);
    EXPECT_GT(cam->EntityInView(s), 0.0f);
}

} // namespace

// The camera without GL: creation and lists, viewport, settings, the projection's field of view
// and jitter, frustum planes and the frustum test, projection of points, copies and freeing.
#include "engine/commands.h"

#include "view_fixture.h"

#include <cmath>

namespace {

using viewtest::boxMesh;
using viewtest::loadView;

class CameraTest : public ViewTest {};

TEST_F(CameraTest, CreateCameraSetsDefaultsAndJoinsBothLists) {
    CameraRef c = CreateCamera(nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->EntityClass(), "Camera");
    EXPECT_EQ(c->vx, 0);
    EXPECT_EQ(c->vy, 0);
    EXPECT_EQ(c->vwidth, 800);
    EXPECT_EQ(c->vheight, 600);
    EXPECT_EQ(c->cls_color, 1);
    EXPECT_EQ(c->cls_zbuffer, 1);
    EXPECT_EQ(c->range_near, 1.0f);
    EXPECT_EQ(c->range_far, 1000.0f);
    EXPECT_EQ(c->zoom, 1.0f);
    EXPECT_EQ(c->fog_mode, 0);
    EXPECT_EQ(c->fog_range_near, 1.0f);
    EXPECT_EQ(c->fog_range_far, 1000.0f);
    expectMatrixNear(c->mat, identityMatrix(), 0.0f, "top-level camera");
    EXPECT_TRUE(inList(c));
    EXPECT_EQ(cameras(), std::vector<EntityRef>{c});
    // cam_list insertion keeps the entity_list link: freeing must find it there.
    EXPECT_EQ(c->entity_link.lock()->List(), TEntity::entity_list.get());

    PivotRef p = CreatePivot(nullptr);
    PositionEntity(p, 1, 2, 3, 0);
    CameraRef child = CreateCamera(p);
    EXPECT_EQ(child->GetParent(), p);
    expectMatrixNear(child->mat, p->mat, 0.0f, "camera under a parent");
}

TEST_F(CameraTest, ViewportIsStoredFromTheBottomOfTheDisplay) {
    CameraRef c = CreateCamera(nullptr);
    struct Case {
        int x, y, w, h;
        int vy;
    };
    const Case cases[] = {{0, 0, 400, 300, 300},
                          {0, 0, 256, 256, 344},
                          {100, 50, 400, 300, 250},
                          {0, 0, 800, 600, 0}};
    for (const Case& k : cases) {
        CameraViewport(c, k.x, k.y, k.w, k.h);
        EXPECT_EQ(c->vx, k.x);
        EXPECT_EQ(c->vy, k.vy) << k.x << "," << k.y << " " << k.w << "x" << k.h;
        EXPECT_EQ(c->vwidth, k.w);
        EXPECT_EQ(c->vheight, k.h);
    }
}

// Cameras made while no display is open meet the display when it opens (TCamera::FollowDisplay,
// which Graphics3D calls): a viewport left to the display becomes the whole display; a viewport
// or scissor box the program set keeps its place counted from the top-left corner, on a first
// display and on one of another size opened later.
TEST_F(CameraTest, CamerasFollowTheDisplayThatOpensAfterThem) {
    testseam::SetSizeWithoutDisplay(0, 0);
    CameraRef left = CreateCamera(nullptr);
    CameraRef set = CreateCamera(nullptr);
    CameraViewport(set, 10, 20, 300, 200);
    CameraScissor(set, 30, 40, 50, 60);
    EXPECT_EQ(left->vwidth, 0) << "no display yet";

    for (const auto& [w, h] : {std::pair{800, 600}, std::pair{1024, 768}}) {
        testseam::SetSizeWithoutDisplay(w, h); // the display's size from here on
        TCamera::FollowDisplay(w, h);
        EXPECT_EQ(left->vx, 0);
        EXPECT_EQ(left->vy, 0);
        EXPECT_EQ(left->vwidth, w);
        EXPECT_EQ(left->vheight, h);
        EXPECT_EQ(set->vx, 10);
        EXPECT_EQ(set->vy, h - 200 - 20) << w << "x" << h;
        EXPECT_EQ(set->vwidth, 300);
        EXPECT_EQ(set->vheight, 200);
        EXPECT_EQ(set->sx, 30);
        EXPECT_EQ(set->sy, h - 60 - 40) << w << "x" << h;
    }
    CameraRef copy = std::static_pointer_cast<TCamera>(CopyEntity(left, nullptr));
    CameraViewport(left, 0, 0, 100, 100);
    testseam::SetSizeWithoutDisplay(640, 480);
    TCamera::FollowDisplay(640, 480);
    EXPECT_EQ(left->vwidth, 100) << "set by the program now";
    EXPECT_EQ(left->vy, 480 - 100);
    EXPECT_EQ(copy->vwidth, 640) << "a copy follows as its source did";
}

// Every camera setting away from its default, through the commands.
void setAllSettings(const CameraRef& c) {
    CameraViewport(c, 10, 20, 300, 200);
    CameraClsColor(c, 255, 128, 0);
    CameraClsMode(c, KEEPBUFFER, CLEARBUFFER);
    CameraRange(c, 0.5f, 250.0f);
    CameraZoom(c, 2.5f);
    CameraFogMode(c, LINEARFOG);
    CameraFogColor(c, 510, 51, 0);
    CameraFogRange(c, 10.0f, 90.0f);
}

TEST_F(CameraTest, SettersStoreColoursDividedAndTheRestUnchanged) {
    CameraRef c = CreateCamera(nullptr);
    setAllSettings(c);
    EXPECT_EQ(c->cls_r, 1.0f);
    EXPECT_EQ(c->cls_g, 128.0f / 255.0f);
    EXPECT_EQ(c->cls_b, 0.0f);
    EXPECT_EQ(c->cls_color, 0);
    EXPECT_EQ(c->cls_zbuffer, 1);
    EXPECT_EQ(c->range_near, 0.5f);
    EXPECT_EQ(c->range_far, 250.0f);
    EXPECT_EQ(c->zoom, 2.5f);
    EXPECT_EQ(c->fog_mode, 1);
    EXPECT_EQ(c->fog_r, 2.0f);
    EXPECT_EQ(c->fog_g, 0.2f);
    EXPECT_EQ(c->fog_b, 0.0f);
    EXPECT_EQ(c->fog_range_near, 10.0f);
    EXPECT_EQ(c->fog_range_far, 90.0f);

    // Null cameras: the commands do nothing.
    CameraViewport(nullptr, 0, 0, 1, 1);
    CameraZoom(nullptr, 3);
    CameraProject(nullptr, 1, 2, 3);
    EXPECT_EQ(EntityInView(c, nullptr), 0);
    EXPECT_EQ(EntityInView(nullptr, c), 0);
}

TEST_F(CameraTest, FieldOfViewFollowsZoomAndAspect) {
    CameraRef c = CreateCamera(nullptr);
    struct Case {
        float zoom;
        int w, h;
        float near_range;
    };
    const Case cases[] = {
        {1, 800, 600, 1}, {2, 800, 600, 1}, {0.5f, 400, 400, 2}, {1.25f, 256, 512, 0.1f}};
    for (const Case& k : cases) {
        CameraZoom(c, k.zoom);
        CameraViewport(c, 0, 0, k.w, k.h);
        CameraRange(c, k.near_range, 100);
        const double aspect = double(k.w) / k.h;
        EXPECT_NEAR(c->Fovy(), 2 * std::atan(1 / (k.zoom * aspect)) * 180 / M_PI, 1e-4);
        // The horizontal half-width at the near plane is near / zoom, the vertical one that
        // over the aspect ratio.
        const TCamera::FrustumRect r = c->ProjectionRect();
        const double half_w = k.near_range / k.zoom, half_h = half_w / aspect;
        EXPECT_NEAR(r.right, half_w, 1e-5 * half_w) << k.zoom << " " << k.w << "x" << k.h;
        EXPECT_NEAR(r.left, -half_w, 1e-5 * half_w);
        EXPECT_NEAR(r.top, half_h, 1e-5 * half_h);
        EXPECT_NEAR(r.bottom, -half_h, 1e-5 * half_h);
    }
    CameraZoom(c, 1);
    CameraViewport(c, 0, 0, 800, 600);
    EXPECT_NEAR(c->Fovy(), 73.7397953f, 1e-4f);
}

// Puts back the capabilities, which the engine reset leaves alone.
class JitterTest : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        caps_ = glstate::Capabilities();
    }
    void TearDown() override {
        testseam::SetGLCapabilities(caps_);
        CameraTest::TearDown();
    }
    static void setAccumBuffer(bool on) {
        GLCapabilities caps = glstate::Capabilities();
        caps.accumBuffer = on;
        testseam::SetGLCapabilities(caps);
    }

  private:
    GLCapabilities caps_;
};

TEST_F(JitterTest, ProjectionIsShiftedBySubPixelOffsetsOnlyWhileAntiAliasing) {
    CameraRef c = CreateCamera(nullptr);
    CameraViewport(c, 0, 0, 400, 300);
    const TCamera::FrustumRect plain = c->ProjectionRect();
    setAccumBuffer(true);
    TGlobal::AntiAlias(4);
    TGlobal::jitter = 1; // (0.125, 0.75) in the 4-sample table
    const TCamera::FrustumRect shifted = c->ProjectionRect();
    // The shift in pixels is the frustum shift over the frustum size times the viewport size;
    // the image moves by (jx, jy), so the frustum by the opposite.
    const double px = (shifted.left - plain.left) / (plain.right - plain.left) * 400;
    const double py = (shifted.bottom - plain.bottom) / (plain.top - plain.bottom) * 300;
    EXPECT_NEAR(px, -0.125, 1e-5);
    EXPECT_NEAR(py, -0.75, 1e-5);
    EXPECT_NEAR(shifted.right - shifted.left, plain.right - plain.left, 1e-6);

    float jx = -1, jy = -1;
    TGlobal::AntiAlias(0); // off: no jitter, whatever the sample index holds
    TCamera::CurrentJitter(jx, jy);
    EXPECT_EQ(jx, 0.0f);
    EXPECT_EQ(jy, 0.0f);
    TGlobal::AntiAlias(4);
    setAccumBuffer(false); // no accumulation buffer: no anti-aliasing either
    TCamera::CurrentJitter(jx, jy);
    EXPECT_EQ(jx, 0.0f);
    setAccumBuffer(true);
    TGlobal::jitter = 99; // outside the table
    TCamera::CurrentJitter(jx, jy);
    EXPECT_EQ(jx, 0.0f);
    EXPECT_EQ(jy, 0.0f);
}

TEST_F(CameraTest, FrustumPlanesAreUnitAndPointInwards) {
    CameraRef c = CreateCamera(nullptr);
    loadView(*c);
    // Right, left, bottom, top, far, near in the stored (z-negated) form of an unrotated camera
    // at the origin with a 90-degree horizontal field of view.
    const float s = float(1 / std::sqrt(2.0)), t = 1 / 1.25f;
    const float expected[6][4] = {{-s, 0, -s, 0},         {s, 0, -s, 0},   {0, t, -0.75f * t, 0},
                                  {0, -t, -0.75f * t, 0}, {0, 0, 1, 1000}, {0, 0, -1, -1}};
    for (int k = 0; k < 6; ++k) {
        for (int e = 0; e < 4; ++e) {
            // The far plane's terms come from a difference of nearly equal floats.
            const float tol = k == 4 ? 0.1f : 1e-5f;
            EXPECT_NEAR(c->frustum[k][e], expected[k][e], tol) << "plane " << k << " " << e;
        }
    }
}

TEST_F(CameraTest, FrustumTestOfPointsAndSpheres) {
    CameraRef c = CreateCamera(nullptr);
    loadView(*c);
    // Unrotated camera at the origin, zoom 1 on 800x600, range 1 to 1000: inside means
    // |x| < z, |y| < 0.75 z and 1 < z < 1000. The result is the distance beyond the near plane
    // (z - 1) plus the radius.
    struct Case {
        float x, y, z, radius;
        float result;
    };
    const Case cases[] = {
        {0, 0, 10, 0, 9},          {0, 0, 0.5f, 0, 0},    {0, 0, 0.5f, 1, 0.5f},
        {0, 0, -5, 0, 0},          {0, 0, 1000.5f, 0, 0}, {0, 0, 1000.5f, 1, 1000.5f},
        {11, 0, 10, 0, 0},         {-11, 0, 10, 0, 0},    {9.9f, 0, 10, 0, 9},
        {11, 0, 10, 1, 10},        {12, 0, 10, 1, 0},     {0, 7.4f, 10, 0, 9},
        {0, 7.6f, 10, 0, 0},       {0, -7.6f, 10, 0, 0},  {0, -7.6f, 10, 0.5f, 9.5f},
        {0, 0, 0, 1.001f, 0.001f}, {-30, 20, 40, 0, 39},
    };
    for (const Case& k : cases) {
        PivotRef p = CreatePivot(nullptr);
        PositionEntity(p, k.x, k.y, k.z, 0);
        p->cull_radius = k.radius;
        EXPECT_NEAR(c->EntityInFrustum(p), k.result, 2e-4f * (1 + k.result))
            << "(" << k.x << ", " << k.y << ", " << k.z << ") r " << k.radius;
    }
    EXPECT_EQ(c->EntityInFrustum(nullptr), 0.0f);

    // Exactly at minus its radius from a plane: outside.
    PivotRef on = CreatePivot(nullptr);
    PositionEntity(on, 12, 0, 10, 0);
    const float* right = c->frustum[0];
    on->cull_radius = -(right[0] * 12.0f + right[1] * 0.0f + right[2] * -10.0f + right[3]);
    ASSERT_GT(on->cull_radius, 1.0f);
    EXPECT_EQ(c->EntityInFrustum(on), 0.0f);
    on->cull_radius += 0.01f;
    EXPECT_GT(c->EntityInFrustum(on), 9.0f);
}

TEST_F(CameraTest, FrustumOfAMovedAndTurnedCamera) {
    CameraRef c = CreateCamera(nullptr);
    PositionEntity(c, 10, 0, 0, 0);
    RotateEntity(c, 0, 90, 0, 0); // looks along -x; its right is +z
    loadView(*c);
    struct Case {
        float x, y, z;
        bool inside;
    };
    const Case cases[] = {{0, 0, 0, true},    {0, 0, 9, true},    {0, 0, 11, false},
                          {0, 0, -11, false}, {20, 0, 0, false},  {0, 7, 0, true},
                          {0, 8, 0, false},   {-500, 0, 0, true}, {-1000, 0, 0, false}};
    for (const Case& k : cases) {
        PivotRef p = CreatePivot(nullptr);
        PositionEntity(p, k.x, k.y, k.z, 0);
        EXPECT_EQ(c->EntityInFrustum(p) > 0, k.inside) << k.x << ", " << k.y << ", " << k.z;
    }
    PivotRef ahead = CreatePivot(nullptr);
    EXPECT_NEAR(c->EntityInFrustum(ahead), 9.0f, 1e-4f);
}

TEST_F(CameraTest, MeshesAreTestedWithTheirBoundsCentreAndScaledRadius) {
    CameraRef c = CreateCamera(nullptr);
    loadView(*c);
    // Bounds x 19..21 around a mesh at z 10: centre x 20, far outside the right plane, although
    // the entity itself sits straight ahead.
    MeshRef m = boxMesh(19, -1, -1, 21, 1, 1);
    PositionEntity(m, 0, 0, 10, 0);
    EXPECT_EQ(c->EntityInFrustum(m), 0.0f);
    PositionEntity(m, -20, 0, 30, 0); // centre at (0, 0, 30)
    EXPECT_NEAR(c->EntityInFrustum(m), 29.0f + std::sqrt(3.0f) * 2 / 2, 1e-3f);

    // The radius is scaled by the largest magnitude of the global scales: mirrored or not.
    MeshRef n = boxMesh(-1, -1, -1, 1, 1, 1);
    MeshCullRadius(n, 1);
    PositionEntity(n, 0, 0, 0.5f, 0);
    ScaleEntity(n, 2, 3, 1, 0);
    EXPECT_NEAR(c->EntityInFrustum(n), -0.5f + 3, 1e-4f);
    ScaleEntity(n, -3, 1, 1, 0);
    EXPECT_NEAR(c->EntityInFrustum(n), -0.5f + 3, 1e-4f);
    // Mirrored, 5.5 to the right of the view at distance 2: its x extent (-3..3) reaches into the
    // view just as the unmirrored mesh's does.
    MeshRef o = boxMesh(-1, -1, -1, 1, 1, 1); // radius sqrt(3) in the mesh's units
    PositionEntity(o, 5.5f, 0, 2, 0);
    for (float sx : {3.0f, -3.0f}) {
        ScaleEntity(o, sx, 1, 1, 0);
        EXPECT_GT(c->EntityInFrustum(o), 0.0f) << "x scale " << sx;
    }
}

TEST_F(CameraTest, EntityInViewRefreshesMeshBoundsAndTheCommandCountsAnyPartInside) {
    CameraRef c = CreateCamera(nullptr);
    loadView(*c);
    MeshRef m = TMesh::CreateMesh(nullptr);
    PositionEntity(m, 0, 0, 10, 0);
    EXPECT_GT(c->EntityInFrustum(m), 0.0f) << "no bounds yet: tested at its position";
    SurfaceRef s = m->CreateSurface(nullptr);
    s->AddVertex(20, 0, 0, 0, 0, 0);
    s->AddVertex(22, 0, 0, 0, 0, 0);
    s->AddVertex(22, 1, 0, 0, 0, 0);
    s->AddTriangle(0, 1, 2);
    EXPECT_EQ(c->EntityInView(m), 0.0f) << "the bounds, refreshed first, lie outside";

    // The command truncates, but an entity inside by less than one unit still counts as seen.
    PivotRef p = CreatePivot(nullptr);
    struct Case {
        float z;
        float value;
        int command;
    } cases[] = {{1.7f, 0.7f, 1}, {2.5f, 1.5f, 1}, {3.9f, 2.9f, 2}, {500, 499, 499}, {0.5f, 0, 0}};
    for (const Case& k : cases) {
        PositionEntity(p, 0, 0, k.z, 0);
        EXPECT_NEAR(c->EntityInView(p), k.value, 1e-3f) << "z " << k.z;
        EXPECT_EQ(EntityInView(p, c), k.command) << "z " << k.z;
    }

    // A small quad (side 0.2) wholly in view just past the near plane scores below 1: seen.
    MeshRef near = boxMesh(-0.1f, -0.1f, 0, 0.1f, 0.1f, 0);
    PositionEntity(near, 0, 0, 1.3f, 0);
    const float value = c->EntityInView(near);
    EXPECT_GT(value, 0.0f);
    EXPECT_LT(value, 1.0f);
    EXPECT_EQ(EntityInView(near, c), 1);
}

TEST_F(CameraTest, CameraProjectMatchesAnIndependentProjection) {
    CameraRef c = CreateCamera(nullptr);
    CameraViewport(c, 100, 50, 400, 300);
    PositionEntity(c, 1, 2, -3, 0);
    RotateEntity(c, 10, 20, 30, 0);
    loadView(*c);
    const std::array<std::array<float, 3>, 5> points = {
        {{1, 2, 10}, {4, -1, 7}, {-3, 5, 50}, {0, 0, 0}, {10, 10, -20}}};
    for (const auto& p : points) {
        std::array<double, 3> want{};
        ASSERT_TRUE(
            viewtest::projectPoint(c->mod_mat, c->proj_mat, c->viewport, p[0], p[1], p[2], want));
        CameraProject(c, p[0], p[1], p[2]);
        EXPECT_NEAR(ProjectedX(), want[0], 1e-3 * (1 + std::fabs(want[0])));
        EXPECT_NEAR(ProjectedY(), want[1], 1e-3 * (1 + std::fabs(want[1])));
        EXPECT_NEAR(ProjectedZ(), want[2], 1e-4 * (1 + std::fabs(want[2])));
    }
}

TEST_F(CameraTest, CameraProjectStraightAheadHitsTheViewportCentre) {
    CameraRef c = CreateCamera(nullptr);
    CameraViewport(c, 100, 50, 400, 300); // stored bottom at 250
    loadView(*c);
    CameraProject(c, 0, 0, 10);
    EXPECT_NEAR(ProjectedX(), 300.0f, 1e-3f);
    EXPECT_NEAR(ProjectedY(), 400.0f, 1e-3f) << "counted from the bottom";
    EXPECT_GT(ProjectedZ(), 0.0f);
    EXPECT_LT(ProjectedZ(), 1.0f);
    // A point right of centre on the camera's horizontal: half the half-width away at z 10.
    CameraProject(c, 5, 0, 10);
    EXPECT_NEAR(ProjectedX(), 300.0f + 100.0f, 1e-3f);
    // A point on the eye plane cannot be projected: all three results are 0.
    CameraProject(c, 5, 0, 0);
    EXPECT_EQ(ProjectedX(), 0.0f);
    EXPECT_EQ(ProjectedY(), 0.0f);
    EXPECT_EQ(ProjectedZ(), 0.0f);
}

TEST_F(CameraTest, ACameraNeverUpdatedProjectsEverythingToZero) {
    CameraRef c = CreateCamera(nullptr);
    CameraProject(c, 0, 0, 10);
    EXPECT_EQ(ProjectedX(), 0.0f);
    EXPECT_EQ(ProjectedY(), 0.0f);
    EXPECT_EQ(ProjectedZ(), 0.0f);
    EXPECT_EQ(c->mod_mat, (std::array<double, 16>{}));
    EXPECT_EQ(c->viewport, (std::array<int, 4>{}));
}

TEST_F(CameraTest, CamerasAreListedByOrderAndEntityOrderReinserts) {
    CameraRef cam1 = CreateCamera(nullptr);
    CameraRef cam2 = CreateCamera(nullptr);
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{cam1, cam2}));
    const std::vector<EntityRef> entities = listed();

    EntityOrder(cam2, 1);
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{cam2, cam1})) << "larger orders first";
    EXPECT_EQ(listed(), entities) << "entity_list keeps its order";
    EXPECT_EQ(cam2->entity_link.lock()->List(), TEntity::entity_list.get());

    CameraRef cam3 = CreateCamera(nullptr);
    EntityOrder(cam3, 1);
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{cam3, cam2, cam1}))
        << "equal positive order goes before those there";
    EntityOrder(cam2, 0);
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{cam3, cam1, cam2}))
        << "equal order 0 goes after those there";
    EntityOrder(cam3, -2);
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{cam1, cam2, cam3}));
}

TEST_F(CameraTest, FreedCameraLeavesBothListsForGood) {
    CameraRef a = CreateCamera(nullptr);
    CameraRef b = CreateCamera(nullptr);
    PivotRef child = CreatePivot(a);
    FreeEntity(a);
    EXPECT_FALSE(inList(a));
    EXPECT_FALSE(inList(child));
    EXPECT_EQ(cameras(), std::vector<EntityRef>{b});
    // Re-ordering a freed camera must not bring it back into the camera list.
    EntityOrder(a, 5);
    EXPECT_EQ(cameras(), std::vector<EntityRef>{b});
    FreeEntity(a); // a second free is harmless
    EXPECT_EQ(cameras(), std::vector<EntityRef>{b});
}

TEST_F(CameraTest, CopyEntityCopiesSettingsButNotTheReadBackView) {
    PivotRef parent = CreatePivot(nullptr);
    PositionEntity(parent, 0, 5, 0, 0);
    CameraRef c = CreateCamera(nullptr);
    PositionEntity(c, 1, 2, 3, 0);
    setAllSettings(c);
    EntityOrder(c, 3);
    NameEntity(c, "eye");
    PivotRef child = CreatePivot(c);
    loadView(*c);

    auto copy = std::dynamic_pointer_cast<TCamera>(CopyEntity(c, parent));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->EntityClass(), "Camera");
    EXPECT_EQ(copy->EntityName(), "eye");
    EXPECT_EQ(copy->order, 3);
    EXPECT_EQ(copy->GetParent(), parent);
    EXPECT_EQ(copy->CountChildren(), 1);
    EXPECT_TRUE(inList(copy));
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{copy, c}))
        << "by the copied order, ahead of the equal one there";
    TMatrix want = parent->mat;
    want.Multiply(c->mat);
    expectMatrixNear(copy->mat, want, 1e-6f);
    const auto same = [&](auto field, const char* name) {
        EXPECT_EQ((*copy).*field, (*c).*field) << name;
    };
    same(&TCamera::vx, "vx");
    same(&TCamera::vy, "vy");
    same(&TCamera::vwidth, "vwidth");
    same(&TCamera::vheight, "vheight");
    same(&TCamera::cls_r, "cls_r");
    same(&TCamera::cls_g, "cls_g");
    same(&TCamera::cls_b, "cls_b");
    same(&TCamera::cls_color, "cls_color");
    same(&TCamera::cls_zbuffer, "cls_zbuffer");
    same(&TCamera::range_near, "range_near");
    same(&TCamera::range_far, "range_far");
    same(&TCamera::zoom, "zoom");
    same(&TCamera::fog_mode, "fog_mode");
    same(&TCamera::fog_r, "fog_r");
    same(&TCamera::fog_g, "fog_g");
    same(&TCamera::fog_b, "fog_b");
    same(&TCamera::fog_range_near, "fog_range_near");
    same(&TCamera::fog_range_far, "fog_range_far");
    EXPECT_EQ(copy->mod_mat, (std::array<double, 16>{}));
    EXPECT_EQ(copy->proj_mat, (std::array<double, 16>{}));
    EXPECT_EQ(copy->viewport, (std::array<int, 4>{}));
    EXPECT_EQ(copy->frustum[5][2], 0.0f);
}

} // namespace

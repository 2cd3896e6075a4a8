// The camera pass set-up and the lights' GL state, read back from GL: viewport, scissor,
// clearing, fog, projection and view matrices, and each light's GL light after a pass,
// including passes after a 2D/3D hand-over and after lights were made or freed between passes.
#include "engine/commands.h"
#include "engine_fixture.h"

#include "../unit/view_fixture.h"

#include <array>
#include <cmath>

namespace {
using namespace gltest;

// Each test starts in the engine's state with empty entity, camera and light lists.
class PassTest : public EngineSceneTest {
  protected:
    // One camera pass as the renderer runs it: the camera, then every light in list order.
    static void pass(const CameraRef& cam) {
        cam->Update();
        for (const LightRef& l : *TLight::light_list) l->Update();
    }

    static std::array<float, 4> light(GLenum id, GLenum pname) {
        std::array<float, 4> v{-9, -9, -9, -9};
        glGetLightfv(id, pname, v.data());
        return v;
    }
    static float lightValue(GLenum id, GLenum pname) { return light(id, pname)[0]; }

    static void expectNear4(const std::array<float, 4>& got, const std::array<float, 4>& want,
                            float tol, const char* what) {
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(got[std::size_t(i)], want[std::size_t(i)], tol) << what << "[" << i << "]";
    }

    // The view matrix of the camera applied to a world point or direction (command
    // coordinates, w 1 or 0): what GL holds in eye space.
    static std::array<float, 4> toEye(const CameraRef& cam, float x, float y, float z, float w) {
        const auto m = viewtest::expectedModelView(*cam);
        const double in[4] = {x, y, -z, w};
        std::array<float, 4> out{};
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += m[std::size_t(4 * k + r)] * in[k];
            out[std::size_t(r)] = float(s);
        }
        return out;
    }
};

TEST_F(PassTest, CameraUpdateSetsViewportScissorProjectionAndView) {
    CameraRef cam = CreateCamera(nullptr);
    CameraViewport(cam, 100, 50, 400, 300);
    CameraZoom(cam, 1.5f);
    CameraRange(cam, 0.5f, 200);
    PositionEntity(cam, 1, 2, -3, 0);
    RotateEntity(cam, 10, 20, 30, 0);
    cam->Update();

    GLint vp[4] = {}, sc[4] = {}, mode = 0;
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetIntegerv(GL_SCISSOR_BOX, sc);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    const GLint want_vp[4] = {100, 600 - 300 - 50, 400, 300};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(vp[i], want_vp[i]) << "viewport " << i;
        EXPECT_EQ(sc[i], want_vp[i]) << "scissor " << i;
        EXPECT_EQ(cam->viewport[std::size_t(i)], want_vp[i]);
    }
    EXPECT_EQ(mode, GL_MODELVIEW);

    double proj[16], model[16];
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    const auto want_proj = viewtest::expectedProjection(*cam);
    const auto want_model = viewtest::expectedModelView(*cam);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(proj[i], want_proj[std::size_t(i)], 1e-4 * (1 + std::fabs(proj[i])))
            << "projection " << i;
        EXPECT_NEAR(model[i], want_model[std::size_t(i)], 1e-5) << "model-view " << i;
        EXPECT_EQ(cam->proj_mat[std::size_t(i)], proj[i]) << "read back " << i;
        EXPECT_EQ(cam->mod_mat[std::size_t(i)], model[i]) << "read back " << i;
    }

    // The planes from GL agree with those of the same view computed without GL, and the
    // projection with the read-back view agrees with an independent one.
    auto twin = std::static_pointer_cast<TCamera>(CopyEntity(cam, nullptr));
    viewtest::loadView(*twin);
    for (int k = 0; k < 6; ++k)
        for (int e = 0; e < 4; ++e)
            EXPECT_NEAR(cam->frustum[k][e], twin->frustum[k][e], k == 4 ? 0.1f : 1e-4f)
                << "plane " << k << " " << e;
    std::array<double, 3> want{};
    ASSERT_TRUE(viewtest::projectPoint(cam->mod_mat, cam->proj_mat, cam->viewport, 2, 1, 8, want));
    CameraProject(cam, 2, 1, 8);
    EXPECT_NEAR(ProjectedX(), want[0], 1e-3);
    EXPECT_NEAR(ProjectedY(), want[1], 1e-3);
    EXPECT_NEAR(ProjectedZ(), want[2], 1e-5);
}

TEST_F(PassTest, FogFollowsTheCameraFogMode) {
    CameraRef cam = CreateCamera(nullptr);
    CameraFogMode(cam, LINEARFOG);
    CameraFogColor(cam, 255, 51, 0);
    CameraFogRange(cam, 10, 90);
    cam->Update();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    GLint fog_mode = 0;
    glGetIntegerv(GL_FOG_MODE, &fog_mode);
    EXPECT_EQ(fog_mode, GL_LINEAR);
    GLfloat start = 0, end = 0, colour[4] = {};
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_EQ(start, 10.0f);
    EXPECT_EQ(end, 90.0f);
    EXPECT_NEAR(colour[0], 1.0f, 1e-6f);
    EXPECT_NEAR(colour[1], 0.2f, 1e-6f);
    EXPECT_NEAR(colour[2], 0.0f, 1e-6f);
    for (int mode : {0, -1}) {
        glEnable(GL_FOG);
        InvalidateGLState(); // a program's own GL call
        CameraFogMode(cam, mode);
        cam->Update();
        EXPECT_FALSE(glIsEnabled(GL_FOG)) << "mode " << mode;
    }
    CameraFogMode(cam, 7);
    cam->Update();
    EXPECT_TRUE(glIsEnabled(GL_FOG)) << "any positive mode is linear fog";
}

TEST_F(PassTest, UnusableViewportsAndRangesRaiseNoGLError) {
    CameraRef cam = CreateCamera(nullptr);
    CameraViewport(cam, 0, 0, 0, 100);
    cam->Update();
    EXPECT_EQ(GLErrors(), "") << "zero width";
    CameraViewport(cam, 0, 0, -10, -10);
    cam->Update();
    EXPECT_EQ(GLErrors(), "") << "negative size";
    CameraViewport(cam, 0, 0, 100, 100);
    CameraZoom(cam, 0);
    cam->Update();
    EXPECT_EQ(GLErrors(), "") << "zoom 0";
    CameraZoom(cam, 1);
    CameraRange(cam, 0, 10);
    cam->Update();
    EXPECT_EQ(GLErrors(), "") << "near 0";
    CameraRange(cam, 5, 5);
    cam->Update();
    EXPECT_EQ(GLErrors(), "") << "no depth";
}

// Fills the whole back buffer with blue and depth 0.5.
void fillFrame() {
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(GL_TRUE);
    glClearColor(0, 0, 1, 1);
    glClearDepth(0.5);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glEnable(GL_SCISSOR_TEST);
    InvalidateGLState();
}

std::uint32_t pixelAt(int x, int y) { // GL window coordinates
    std::uint8_t p[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgb(p[0], p[1], p[2]);
}

float depthAt(int x, int y) {
    float d = -1;
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
    return d;
}

TEST_F(PassTest, ClearingFollowsTheClearModeWithinTheViewport) {
    CameraRef cam = CreateCamera(nullptr);
    CameraViewport(cam, 100, 100, 200, 100); // GL rows 400..499
    CameraClsColor(cam, 255, 0, 0);
    struct Case {
        int colour, depth;
        bool colour_cleared, depth_cleared;
    };
    const Case cases[] = {
        {1, 1, true, true}, {1, 0, true, false}, {0, 1, false, true}, {2, 2, false, false}};
    for (const Case& k : cases) {
        fillFrame();
        glDepthMask(GL_FALSE); // as translucent drawing leaves it
        InvalidateGLState();
        CameraClsMode(cam, k.colour, k.depth);
        cam->Update();
        const char* what = k.colour == 1 ? (k.depth == 1 ? "1,1" : "1,0") : (k.depth ? "0/2" : "");
        EXPECT_EQ(Hex(pixelAt(150, 450)), Hex(k.colour_cleared ? Rgb(255, 0, 0) : Rgb(0, 0, 255)))
            << what << " " << k.colour << "," << k.depth;
        EXPECT_NEAR(depthAt(150, 450), k.depth_cleared ? 1.0f : 0.5f, 1e-3f)
            << k.colour << "," << k.depth;
        // Outside the viewport nothing is touched.
        EXPECT_EQ(Hex(pixelAt(50, 450)), Hex(Rgb(0, 0, 255)));
        EXPECT_EQ(Hex(pixelAt(150, 350)), Hex(Rgb(0, 0, 255)));
        EXPECT_NEAR(depthAt(350, 450), 0.5f, 1e-3f);
    }
}

TEST_F(PassTest, CreateLightSetsUpItsGLLightAtOnce) {
    LightRef dir = CreateLight(1, nullptr);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    expectNear4(light(GL_LIGHT0, GL_SPECULAR), {1, 1, 1, 1}, 0, "specular");
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_CONSTANT_ATTENUATION), 1.0f) << "directional: untouched";
    LightRef spot = CreateLight(3, nullptr);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    expectNear4(light(GL_LIGHT1, GL_SPECULAR), {1, 1, 1, 1}, 0, "specular");
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_CONSTANT_ATTENUATION), 0.0f);
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_SPOT_EXPONENT), 10.0f);
}

TEST_F(PassTest, APassPlacesEachLightInEyeSpaceWithItsSettings) {
    CameraRef cam = CreateCamera(nullptr);
    PositionEntity(cam, 0, 1, -5, 0);
    RotateEntity(cam, 0, 30, 0, 0);
    LightRef sun = CreateLight(1, nullptr);
    RotateEntity(sun, 0, 90, 0, 0); // shines along +x... its forward axis turned by the yaw
    LightColor(sun, 255, 128, 0);
    LightRef spot = CreateLight(3, nullptr);
    PositionEntity(spot, 2, 3, 4, 0);
    RotateEntity(spot, 45, 0, 0, 0);
    LightColor(spot, 0, 255, 51);
    LightRange(spot, 50);
    LightConeAngles(spot, 10, 60);
    LightRef bulb = CreateLight(2, nullptr);
    PositionEntity(bulb, -1, 0, 2, 0);
    LightRange(bulb, 4);
    pass(cam);

    // Directional: (0, 0, 1, 0) of the light's own frame, through the light and the view.
    const Vec3 fwd = mapPoint(sun->mat, {0, 0, 1});
    const Vec3 org = mapPoint(sun->mat, {0, 0, 0});
    expectNear4(light(GL_LIGHT0, GL_POSITION),
                toEye(cam, fwd[0] - org[0], fwd[1] - org[1], -(fwd[2] - org[2]), 0), 1e-5f,
                "directional position");
    expectNear4(light(GL_LIGHT0, GL_DIFFUSE), {1, 128 / 255.0f, 0, 1}, 1e-6f, "diffuse");
    expectNear4(light(GL_LIGHT0, GL_SPECULAR), {1, 1, 1, 1}, 0, "specular");
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_SPOT_CUTOFF), 180.0f);

    expectNear4(light(GL_LIGHT1, GL_POSITION), toEye(cam, 2, 3, 4, 1), 1e-4f, "spot position");
    expectNear4(light(GL_LIGHT1, GL_DIFFUSE), {0, 1, 0.2f, 1}, 1e-6f, "diffuse");
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_CONSTANT_ATTENUATION), 0.0f);
    EXPECT_FLOAT_EQ(lightValue(GL_LIGHT1, GL_LINEAR_ATTENUATION), 0.02f);
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_SPOT_CUTOFF), 30.0f);
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_SPOT_EXPONENT), 10.0f);
    // The spot points along its forward axis: pitched 45 degrees down from +z.
    const auto dir = light(GL_LIGHT1, GL_SPOT_DIRECTION);
    const auto want = toEye(cam, 0, -std::sqrt(0.5f), std::sqrt(0.5f), 0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(dir[std::size_t(i)], want[std::size_t(i)], 1e-5f);

    expectNear4(light(GL_LIGHT2, GL_POSITION), toEye(cam, -1, 0, 2, 1), 1e-4f, "point position");
    EXPECT_FLOAT_EQ(lightValue(GL_LIGHT2, GL_LINEAR_ATTENUATION), 0.25f);
    EXPECT_EQ(lightValue(GL_LIGHT2, GL_SPOT_CUTOFF), 180.0f);
    for (GLenum id : {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2}) EXPECT_TRUE(glIsEnabled(id));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
}

TEST_F(PassTest, SettingsMadeAtCreationSurviveTheHandOverTo2D) {
    CameraRef cam = CreateCamera(nullptr);
    LightRef dir = CreateLight(1, nullptr);
    LightRef spot = CreateLight(3, nullptr);
    // The 2D layer gets its own lighting state back and hands the engine's state over again
    // without the lights' settings.
    TGlobal::Begin2D();
    TGlobal::End2D();
    pass(cam);
    for (GLenum id : {GL_LIGHT0, GL_LIGHT1}) {
        EXPECT_TRUE(glIsEnabled(id));
        expectNear4(light(id, GL_SPECULAR), {1, 1, 1, 1}, 0, "specular");
    }
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_CONSTANT_ATTENUATION), 0.0f);
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_SPOT_EXPONENT), 10.0f);
}

TEST_F(PassTest, ALightMadeAfterRenderingStartedTakesItsOwnNumber) {
    CameraRef cam = CreateCamera(nullptr);
    LightRef red = CreateLight(2, nullptr);
    LightColor(red, 255, 0, 0);
    pass(cam);
    LightRef green = CreateLight(2, nullptr);
    LightColor(green, 0, 255, 0);
    for (int frame = 0; frame < 3; ++frame) {
        pass(cam);
        expectNear4(light(GL_LIGHT0, GL_DIFFUSE), {1, 0, 0, 1}, 0, "first light");
        expectNear4(light(GL_LIGHT1, GL_DIFFUSE), {0, 1, 0, 1}, 0, "second light");
    }
    // A second camera in the same frame sets the same lights on the same numbers.
    CameraRef other = CreateCamera(nullptr);
    pass(other);
    expectNear4(light(GL_LIGHT0, GL_DIFFUSE), {1, 0, 0, 1}, 0, "second camera");
}

TEST_F(PassTest, AfterAFreeTheLightsLeftAreRenumberedWithTheirOwnSettings) {
    CameraRef cam = CreateCamera(nullptr);
    LightRef spot = CreateLight(3, nullptr);
    LightConeAngles(spot, 20, 40);
    LightRef bulb = CreateLight(2, nullptr);
    LightColor(bulb, 0, 0, 255);
    LightRange(bulb, 10);
    LightRef sun = CreateLight(1, nullptr);
    pass(cam);
    FreeEntity(spot);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2)) << "the highest number in use goes out";
    pass(cam);
    expectNear4(light(GL_LIGHT0, GL_DIFFUSE), {0, 0, 1, 1}, 0, "the point light");
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_SPOT_CUTOFF), 180.0f) << "no cone left from the spot";
    EXPECT_EQ(lightValue(GL_LIGHT0, GL_CONSTANT_ATTENUATION), 0.0f);
    EXPECT_FLOAT_EQ(lightValue(GL_LIGHT0, GL_LINEAR_ATTENUATION), 0.1f);
    EXPECT_EQ(lightValue(GL_LIGHT1, GL_SPOT_CUTOFF), 180.0f) << "the sun, no cone either";
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
}

TEST_F(PassTest, AHiddenLightIsSwitchedOffAndKeepsItsNumber) {
    CameraRef cam = CreateCamera(nullptr);
    PivotRef holder = CreatePivot(nullptr);
    LightRef hidden = CreateLight(2, holder);
    LightRef shown = CreateLight(2, nullptr);
    LightColor(shown, 0, 255, 0);
    HideEntity(holder);
    pass(cam);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    expectNear4(light(GL_LIGHT1, GL_DIFFUSE), {0, 1, 0, 1}, 0, "the shown light");
    ShowEntity(holder);
    pass(cam);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
}

} // namespace

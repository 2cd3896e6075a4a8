// The mirror-sphere room on the display: the sky cube, the mirror sphere's frame update and
// what it reflects, the giant piece as start-up makes it, one frame of phases 5 and 7 at a set
// clock with their beats, and the hand-overs into phases 6 and 8.
#include "../unit/temp_dir.h"
#include "demo/flash.h"
#include "demo/phases.h"
#include "demo/phases_steps.h"
#include "demo/sequencer.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tparticula.h"
#include "demo/tpiezagigante.h"
#include "element_fixture.h"
#include "engine/camera.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine/texture.h"
#include "platform/image2d.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>

namespace {

using elementgl::Exited;

int MaxChannelDiff(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int s : {0, 8, 16}) d = std::max(d, std::abs(int(a >> s & 0xff) - int(b >> s & 0xff)));
    return d;
}

// The six faces of a cube map's level 0, RGBA bytes each, in GL's face order.
std::array<std::vector<std::uint8_t>, 6> Faces(const TextureRef& t) {
    std::array<std::vector<std::uint8_t>, 6> faces;
    glBindTexture(GL_TEXTURE_CUBE_MAP, t->gltex.at(0));
    InvalidateGLState(); // a bind of the test's own
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (std::size_t i = 0; i < 6; ++i) {
        faces[i].resize(std::size_t(t->width * t->height * 4));
        glGetTexImage(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                      faces[i].data());
    }
    return faces;
}

// The room of phases 5 and 7 as the hand-over into phase 5 leaves it: sky cube shown, mirror
// sphere, camera at (0, 0, -20) unturned with zoom 0.5, fifteen orbit pieces, the read cursor on
// the phase-5 zoom list; stand-in 2D images.
class MirrorRoomTest : public elementgl::DemoElementTest {
  protected:
    void SetUp() override {
        DemoElementTest::SetUp();
        savedParticles_ = tparticula::lista_particulas;
        tparticula::lista_particulas = CreateList<tparticulaRef>();
        const auto image = [](std::uint32_t argb) {
            return LoadImage(gltest::SolidPixmap(16, 16, argb), 1);
        };
        fondo = image(gltest::Rgb(90, 90, 90));
        obel = image(gltest::Rgb(0, 200, 0));
        varnik = image(gltest::Rgb(0, 0, 200));
        flash = tflash::crea();
        camara = CreateCamera(nullptr);
        CameraClsMode(camara, KEEPBUFFER, CLEARBUFFER);
        CameraFogMode(camara, LINEARFOG);
        CameraFogRange(camara, 999, 1000);
        CameraRange(camara, 0.1f, 500);
        CameraZoom(camara, 0.5f);
        PositionEntity(camara, 0, 0, -20, 0);
        luz = CreateLight(1, nullptr);
        cubo = tcubo::crea(camara);
        cubo->activa();
        cubemap = tcubemap::crea();
        FillBeatTables();
        CreaPiezasOrbita();
        RestoreData(DataLabel::Phase5Zoom);
        testseam::ResetRandom();
    }
    void TearDown() override {
        tpieza::destruyetodo();
        tparticula::destruye();
        tparticula::lista_particulas = savedParticles_;
        if (cubemap) cubemap->destruye();
        if (cubo) cubo->destruye();
        FreeEntity(luz);
        DemoElementTest::TearDown();
    }

    static void frame(void (*phase)(), float at) {
        ticks = at;
        phase();
    }

  private:
    std::shared_ptr<TList<tparticulaRef>> savedParticles_;
};

// ---- Sky cube ----

TEST_F(MirrorRoomTest, TheSkyCubeIsAHiddenRoomOfSixInwardFacesUntilShown) {
    tcuboRef c = tcubo::crea(nullptr);
    EXPECT_EQ(c->pivote->hide, 1);
    EXPECT_EQ(GetParent(c->caras[0]), c->pivote);
    // Face i lies 75 from the centre on its side and faces the centre.
    const float centre[6][3] = {{0, 0, 75},  {75, 0, 0}, {0, 0, -75},
                                {-75, 0, 0}, {0, 75, 0}, {0, -75, 0}};
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(EntityX(c->caras[i], 1), centre[i][0], 1e-4);
        EXPECT_NEAR(EntityY(c->caras[i], 1), centre[i][1], 1e-4);
        EXPECT_NEAR(EntityZ(c->caras[i], 1), centre[i][2], 1e-4);
        // The quad's front looks along its own -z.
        TFormVector(0, 0, -1, c->caras[i], nullptr);
        const float len =
            std::sqrt(TFormedX() * TFormedX() + TFormedY() * TFormedY() + TFormedZ() * TFormedZ());
        EXPECT_NEAR(TFormedX() / len, -centre[i][0] / 75, 1e-5);
        EXPECT_NEAR(TFormedY() / len, -centre[i][1] / 75, 1e-5);
        EXPECT_NEAR(TFormedZ() / len, -centre[i][2] / 75, 1e-5);
        ASSERT_NE(c->caras[i]->brush, nullptr);
        EXPECT_EQ(c->caras[i]->brush->fx, 1);
        EXPECT_EQ(c->caras[i]->brush->blend, 1);
        const TextureRef tex = GetBrushTexture(tcubo::textura[i], 0);
        ASSERT_NE(tex, nullptr);
        EXPECT_NE(tex->file.find("cubo000" + std::to_string(i) + "b.png"), std::string::npos);
        EXPECT_EQ(tex->flags & 59, 59);
    }
    c->activa();
    EXPECT_EQ(c->pivote->hide, 0);
    c->destruye();
    EXPECT_FALSE(listed(c->caras[5]));
}

TEST_F(MirrorRoomTest, TheSkyCubeCoversTheViewOnlyWhenShownOpaqueCentredAndWhole) {
    EXPECT_TRUE(tcubo::opaca) << "the room's images are opaque";
    EXPECT_FALSE(cubo->TapaLaVista(camara)) << "not yet centred on the camera";
    CentraCubo(30, 45, 10);
    EXPECT_TRUE(cubo->TapaLaVista(camara));
    EXPECT_FALSE(cubo->TapaLaVista(nullptr));
    const struct {
        const char* what;
        void (*change)(const tcuboRef&, const CameraRef&);
        void (*undo)(const tcuboRef&, const CameraRef&);
    } kCases[] = {
        {"a face hidden", [](const tcuboRef& c, const CameraRef&) { HideEntity(c->caras[3]); },
         [](const tcuboRef& c, const CameraRef&) { ShowEntity(c->caras[3]); }},
        {"the cube hidden", [](const tcuboRef& c, const CameraRef&) { HideEntity(c->pivote); },
         [](const tcuboRef& c, const CameraRef&) { ShowEntity(c->pivote); }},
        {"the camera moved", [](const tcuboRef&, const CameraRef& v) { MoveEntity(v, 0, 0, 1); },
         [](const tcuboRef&, const CameraRef& v) { MoveEntity(v, 0, 0, -1); }},
        {"a part of the display",
         [](const tcuboRef&, const CameraRef& v) { CameraViewport(v, 0, 0, 400, 600); },
         [](const tcuboRef&, const CameraRef& v) { CameraViewport(v, 0, 0, 800, 600); }},
        {"far range short of the corners",
         [](const tcuboRef&, const CameraRef& v) { CameraRange(v, 0.1f, 120); },
         [](const tcuboRef&, const CameraRef& v) { CameraRange(v, 0.1f, 500); }},
        // At zoom 0.5 the view's corners meet the faces at a depth of 75 / sqrt(7.25) = 27.9.
        {"near range past the view's corners",
         [](const tcuboRef&, const CameraRef& v) { CameraRange(v, 28, 500); },
         [](const tcuboRef&, const CameraRef& v) { CameraRange(v, 0.1f, 500); }},
        {"the cube scaled",
         [](const tcuboRef& c, const CameraRef&) { ScaleEntity(c->pivote, 50, 75, 75, 0); },
         [](const tcuboRef& c, const CameraRef&) { ScaleEntity(c->pivote, 75, 75, 75, 0); }},
        {"images with see-through texels",
         [](const tcuboRef&, const CameraRef&) { tcubo::opaca = false; },
         [](const tcuboRef&, const CameraRef&) { tcubo::opaca = true; }},
    };
    for (const auto& c : kCases) {
        c.change(cubo, camara);
        EXPECT_FALSE(cubo->TapaLaVista(camara)) << c.what;
        c.undo(cubo, camara);
        EXPECT_TRUE(cubo->TapaLaVista(camara)) << "undone: " << c.what;
    }
    CameraRange(camara, 27.5f, 500);
    EXPECT_TRUE(cubo->TapaLaVista(camara)) << "near range just inside the corners";
}

TEST_F(MirrorRoomTest, LeavingOutTheBackgroundUnderTheSkyCubeLeavesTheFrameAsItWas) {
    // A background that would show anywhere it was not covered: the whole screen magenta.
    fondo = LoadImage(gltest::SolidPixmap(800, 600, gltest::Rgb(255, 0, 255)), 1);
    for (const float yaw : {0.0f, 37.0f, 45.0f}) {
        CentraCubo(45, yaw, 45);
        ASSERT_TRUE(cubo->TapaLaVista(camara)) << "yaw " << yaw;
        // Drawn always: with the cube hidden while FondoEspejo looks, it is not left out.
        const auto render = [](bool always) {
            if (always) HideEntity(cubo->pivote);
            FondoEspejo();
            if (always) ShowEntity(cubo->pivote);
            RenderWorld();
            return testseam::CaptureFrame();
        };
        // The frame the last one left, then each way from that same start.
        const testseam::FrameCapture start = render(true);
        const testseam::FrameCapture drawn = render(true);
        const testseam::FrameCapture left = render(false);
        EXPECT_TRUE(drawn.rgba == left.rgba) << "yaw " << yaw;
        EXPECT_TRUE(start.rgba == drawn.rgba) << "yaw " << yaw;
    }
}

TEST_F(MirrorRoomTest, ACameraInsideTheCubeSeesARoomFaceInEveryDirection) {
    // The room alone, from its centre: no pixel keeps the clear colour.
    HideEntity(cubemap->pivote);
    tpieza::destruyetodo();
    CameraClsMode(camara, CLEARBUFFER, CLEARBUFFER);
    CameraClsColor(camara, 255, 0, 255);
    CameraZoom(camara, 1);
    for (int face = 0; face < 6; ++face) {
        const CubeFace turn = GetCubeFace(face);
        RotateEntity(camara, turn.pitch, turn.yaw, turn.roll, 0);
        CentraCubo(0, 0, 0);
        RenderWorld();
        const testseam::FrameCapture shot = testseam::CaptureFrame();
        int magenta = 0;
        for (int y = 0; y < shot.height; y += 7)
            for (int x = 0; x < shot.width; x += 7)
                magenta += (shot.Pixel(x, y) & 0xffffff) == 0xff00ff;
        EXPECT_EQ(magenta, 0) << turn.pitch << " " << turn.yaw;
    }
}

// ---- Mirror sphere ----

TEST_F(MirrorRoomTest, AnUpdateRendersSixFacesAndLeavesTheSphereShownAndItsCameraHidden) {
    ASSERT_NE(cubemap->textura, nullptr);
    EXPECT_TRUE(cubemap->textura->cube_map);
    EXPECT_EQ(cubemap->textura->width, 256);
    EXPECT_EQ(cubemap->camara->vwidth, 256);
    for (int invertido : {0, 1, 0}) {
        SCOPED_TRACE(invertido);
        const float a1 = cubemap->ang1;
        ActualizaEspejo(invertido);
        EXPECT_FLOAT_EQ(cubemap->ang1, a1 + 3);
        EXPECT_EQ(cubemap->esfera->hide, 0);
        EXPECT_EQ(cubemap->camara->hide, 1);
        EXPECT_EQ(camara->hide, 0);
        EXPECT_EQ(cubemap->textura->cube_mode, invertido ? 2 : 1);
        EXPECT_EQ(cubemap->textura->cube_face, 5);
        const float s[3] = {cubemap->pivote->sx, cubemap->pivote->sy, cubemap->pivote->sz};
        for (float v : s) {
            if (invertido) {
                EXPECT_LE(v, -3.0f);
                EXPECT_GE(v, -5.0f);
            } else {
                EXPECT_GE(v, 3.0f);
                EXPECT_LE(v, 5.0f);
            }
        }
        EXPECT_NEAR(s[0], (invertido ? -1 : 1) * (4 + std::cos(cubemap->ang1 * M_PI / 180)), 1e-5);
        EXPECT_NEAR(s[1], (invertido ? -1 : 1) * (4 + std::sin(cubemap->ang2 * M_PI / 180)), 1e-5);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(MirrorRoomTest, TheSphereShowsTheRoomBehindTheCameraAndNotItself) {
    // The camera looks at the sphere; straight back from the sphere's middle lies the room's
    // -z face, behind the camera and out of its own view.
    tpieza::destruyetodo();
    CameraZoom(camara, 1);
    CentraCubo(0, 0, 0);
    const auto render = [&](bool mirror) {
        if (mirror) ActualizaEspejo(0);
        RenderWorld();
        return testseam::CaptureFrame();
    };
    const testseam::FrameCapture before = render(true);
    // Recolour the face behind the camera a strong red: its surface's brush, texture and all,
    // so that the room's own colours play no part.
    BrushRef red = CreateBrush(255, 0, 0);
    BrushFX(red, FULLBRIGHTFX);
    PaintMesh(cubo->caras[2], red);
    // The main view alone does not change: the face is behind the camera ...
    const testseam::FrameCapture stale = render(false);
    // ... but once the sphere has rendered its faces again, its middle turns red.
    const testseam::FrameCapture after = render(true);

    // Red-dominated pixels in the sphere's middle (a box of 40 x 40 around the screen centre,
    // where the reflection looks straight back).
    const auto reddish = [](const testseam::FrameCapture& f) {
        int n = 0;
        for (int y = 280; y < 320; ++y)
            for (int x = 380; x < 420; ++x) {
                const std::uint32_t c = f.Pixel(x, y);
                const int r = int(c >> 16 & 0xff), g = int(c >> 8 & 0xff), b = int(c & 0xff);
                n += r > g + 60 && r > b + 60;
            }
        return n;
    };
    EXPECT_EQ(reddish(stale), reddish(before));
    EXPECT_GT(reddish(after), reddish(before) + 200)
        << reddish(before) << " before, " << reddish(after) << " after";
    // The room seen directly beside the sphere is unchanged (same turn of the breathing aside,
    // the sphere is 5 units wide at most: the corner is room).
    EXPECT_LE(MaxChannelDiff(after.Pixel(20, 20), stale.Pixel(20, 20)), 2);
}

TEST_F(MirrorRoomTest, TheFaceViewsNeverContainTheSphere) {
    // Painted flat green and drawn from both sides, the sphere would fill every face view of a
    // camera at its centre.
    tpieza::destruyetodo();
    BrushRef green = CreateBrush(0, 255, 0);
    BrushFX(green, 1 + 8 + 16);
    PaintEntity(cubemap->esfera, green);
    HideEntity(camara);
    cubemap->actualiza(0, nullptr);
    ShowEntity(camara);
    int greenTexels = 0;
    for (const std::vector<std::uint8_t>& face : Faces(cubemap->textura))
        for (std::size_t i = 0; i + 3 < face.size(); i += 4)
            greenTexels += face[i] == 0 && face[i + 1] == 255 && face[i + 2] == 0;
    EXPECT_EQ(greenTexels, 0);
    // The sphere is drawn in the main view, green.
    RenderWorld();
    EXPECT_EQ(testseam::CaptureFrame().Pixel(400, 300) & 0xffffff, 0x00ff00u);
}

TEST_F(MirrorRoomTest, FacesRenderedInPartShowTheSameSphereAsWholeFaces) {
    const TextureRef t = cubemap->textura;
    for (int invertido : {0, 1}) {
        if (invertido != 0) cubemap->cambia();
        // Faces filled magenta first: a texel the sphere reads that the partial renders left
        // out would show as a difference.
        std::vector<std::uint8_t> magenta;
        for (int i = 0; i < t->width * t->height; ++i)
            magenta.insert(magenta.end(), {255, 0, 255, 255});
        glBindTexture(GL_TEXTURE_CUBE_MAP, t->gltex.at(0));
        InvalidateGLState(); // a bind of the test's own
        for (int f = 0; f < 6; ++f)
            glTexSubImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f), 0, 0, 0, t->width,
                            t->height, GL_RGBA, GL_UNSIGNED_BYTE, magenta.data());
        ActualizaEspejo(invertido);
        RenderWorld();
        const testseam::FrameCapture partial = testseam::CaptureFrame();
        // The same faces rendered whole, the sphere and its breathing as they stand.
        HideEntity(camara);
        ShowEntity(cubemap->camara);
        HideEntity(cubemap->esfera);
        for (int cara = 0; cara < 6; ++cara) {
            const CubeFace g = GetCubeFace(cara);
            SetCubeFace(t, cara);
            RotateEntity(cubemap->camara, g.pitch, g.yaw, g.roll, 0);
            RenderWorldToCubeTex(t);
        }
        ShowEntity(cubemap->esfera);
        HideEntity(cubemap->camara);
        ShowEntity(camara);
        RenderWorld();
        const testseam::FrameCapture whole = testseam::CaptureFrame();
        EXPECT_TRUE(partial.rgba == whole.rgba) << "cube mode " << invertido + 1;
        // Turned inside out and culled, the sphere shows only the half of the directions that
        // face the camera: a good part of the faces is left out.
        long texels = 0;
        for (const CubeFaceTexels& r : CubeMapTexelsRead(t, cubemap->esfera, camara))
            texels += long(std::max(r.x1 - r.x0 + 1, 0)) * std::max(r.y1 - r.y0 + 1, 0);
        const long quarters = 6L * t->width * t->height * 3 / 4;
        if (invertido != 0) {
            EXPECT_LT(texels, quarters);
        } else {
            EXPECT_GT(texels, quarters) << "drawn from both sides, it reads nearly everything";
        }
    }
    // Without a camera: all six empty.
    for (const CubeFaceTexels& r : CubeMapTexelsRead(t, cubemap->esfera, nullptr))
        EXPECT_GT(r.x0, r.x1);
}

// ---- Giant piece ----

TEST_F(MirrorRoomTest, TheGiantPieceIsBuiltHiddenWhiteAndTenTimesTheSizeOneShapeOn) {
    testseam::ResetRandom();
    const int drawn = Rand(0, 6);
    testseam::ResetRandom();
    tpiezagiganteRef g = tpiezagigante::crea(20, 0, 60, 0, 0, 0);
    EXPECT_EQ(g->tipo, (drawn + 1) % 7);
    EXPECT_EQ(g->pivote->hide, 1);
    EXPECT_EQ(g->pivote->sx, 10.0f);
    EXPECT_EQ(g->pivote->sz, 10.0f);
    ASSERT_NE(tpiezagigante::textura, nullptr);
    EXPECT_NE(tpiezagigante::textura->file.find("piezalinea.png"), std::string::npos);
    expectColour(g->brocha, {255, 255, 255}, "giant piece");
    EXPECT_EQ(g->brocha->shine, 10.0f);
    EXPECT_EQ(CountChildren(g->pivote), 4);
    for (const MeshRef& c : g->cubos) {
        ASSERT_NE(c->brush, nullptr);
        EXPECT_EQ(GetBrushTexture(GetEntityBrush(c), 0), tpiezagigante::textura);
    }
    g->actualiza();
    EXPECT_EQ(g->pivote->hide, 0);
    EXPECT_EQ(g->tipo, (drawn + 2) % 7);
    g->destruye();
    EXPECT_FALSE(listed(g->cubos[1]));
}

// ---- Phase 5 ----

TEST_F(MirrorRoomTest, PhaseFiveWithoutBeatsTurnsTheCubeAndKeepsTheZoom) {
    parte = 5;
    frame(parte5, 1680);
    frame(parte5, 1681);
    EXPECT_EQ(sincCubeMapPow_pos, 0);
    EXPECT_FLOAT_EQ(cuboangx, 0.25f);
    EXPECT_FLOAT_EQ(cuboangy, 0.25f);
    // The cube was turned to the angles before this frame's step, centred on the camera.
    EXPECT_NEAR(EntityPitch(cubo->pivote, 0), 0.125f, 1e-4);
    EXPECT_NEAR(EntityZ(cubo->pivote, 0), -20.0f, 1e-5);
    EXPECT_FLOAT_EQ(camara->zoom, 0.5f);
    EXPECT_EQ(camara->hide, 0);
    EXPECT_EQ(cubemap->esfera->hide, 0);
    for (const tpiezaRef& p : pieces()) EXPECT_NEAR(std::hypot(p->x, p->y, p->z), 10.0, 1e-4);
    EXPECT_EQ(parte, 5) << "the phase-end test is the sequencer's";
}

TEST_F(MirrorRoomTest, PhaseFiveBeatsZoomReverseTheCubeKickThePiecesAndFlash) {
    const float pow0 = float(sincCubeMapPow[0]);
    frame(parte5, pow0);
    EXPECT_EQ(sincCubeMapPow_pos, 1);
    EXPECT_FLOAT_EQ(camara->zoom, 1.5f);
    EXPECT_EQ(cubovelx, -0.125f);
    EXPECT_EQ(cubovely, -0.125f);
    // The Riick beat: each piece's spin gains roll, yaw, pitch draws in that order.
    const float riick = float(sincCubeMapRiick[0]);
    sincCubeMapRiick_pos = 0;
    std::vector<std::array<float, 3>> spin;
    for (const tpiezaRef& p : pieces()) spin.push_back({p->velroll, p->velyaw, p->velpitch});
    testseam::ResetRandom();
    std::vector<std::array<float, 3>> draws;
    for (std::size_t i = 0; i < spin.size(); ++i)
        draws.push_back({Rnd(-15, 15), Rnd(-15, 15), Rnd(-15, 15)});
    testseam::ResetRandom();
    sincCubeMapPow_pos = int(sincCubeMapPow.size()) - 1; // no second zoom beat
    sincCubeMapClap_pos = int(sincCubeMapClap.size()) - 1;
    frame(parte5, riick);
    const std::vector<tpiezaRef> ps = pieces();
    for (std::size_t i = 0; i < ps.size(); ++i) {
        EXPECT_EQ(ps[i]->velroll, spin[i][0] + draws[i][0]) << i;
        // actualiza has damped yaw and pitch spin once since the kick.
        EXPECT_FLOAT_EQ(ps[i]->velyaw, float((spin[i][1] + draws[i][1]) * 0.9)) << i;
    }
    // From tick 2150 the flash is held at full strength.
    for (int f = 0; f < 3; ++f) frame(parte5, 2151);
    EXPECT_FLOAT_EQ(flash->alfa, 1.0f);
}

TEST_F(MirrorRoomTest, TheHandOverIntoPhaseSixHidesTheRoomAndOpensTheTrailPens) {
    parte = 6;
    entra_parte6();
    EXPECT_EQ(cubo->pivote->hide, 1);
    EXPECT_EQ(cubemap->pivote->hide, 1);
    EXPECT_TRUE(listed(cubemap->esfera)) << "kept for phase 7";
    EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
    EXPECT_FLOAT_EQ(camara->zoom, 1.0f);
    EXPECT_EQ(EntityZ(camara, 0), 0.0f);
    ASSERT_NE(dibujo, nullptr);
    ASSERT_NE(dibujo2, nullptr);
    EXPECT_NEAR(EntityPitch(luz, 0), 0.0f, 1e-5);
    EXPECT_NEAR(EntityYaw(luz, 0), 0.0f, 1e-5);
    EXPECT_EQ(parte, 6);
}

TEST_F(MirrorRoomTest, AMissingTrailFileEndsTheHandOverNamingIt) {
    TempDir tmp;
    std::filesystem::create_directories(tmp.dir() / "media");
    std::filesystem::copy_file("media/estela.lap", tmp.dir() / "media/estela.lap");
    const std::string before = CurrentDir();
    ASSERT_TRUE(ChangeDir(tmp.dir().string()));
    try {
        entra_parte6();
        ADD_FAILURE() << "the hand-over went on without media/estela2.lap";
    } catch (const Exited& e) {
        EXPECT_NE(e.status, 0);
        EXPECT_NE(e.message.find("media/estela2.lap"), std::string::npos) << e.message;
    }
    ChangeDir(before);
}

// ---- Phase 7 ----

TEST_F(MirrorRoomTest, PhaseSevenEasesTheZoomAndEmitsOneParticlePerFrame) {
    cubemap->cambia();
    RestoreData(DataLabel::Phase7Zoom);
    cubopiezasang[30][0] = 90;
    frame(parte7, 2640);
    EXPECT_FLOAT_EQ(zoomcamara, 0.1375f);
    EXPECT_FLOAT_EQ(camara->zoom, 0.1375f);
    EXPECT_FLOAT_EQ(cubopiezasang[30][0], 91.0f);
    ASSERT_EQ(tparticula::lista_particulas->Count(), 1);
    // Born on the ellipse at 91 degrees and moved once by its own velocity.
    const tparticula& first = *tparticula::lista_particulas->First();
    EXPECT_NEAR(first.x - first.vx, 8 * std::cos(91 * M_PI / 180), 1e-4);
    EXPECT_NEAR(first.z - first.vz, 10 * std::sin(91 * M_PI / 180), 1e-4);
    for (int f = 0; f < 4; ++f) frame(parte7, 2641);
    EXPECT_EQ(tparticula::lista_particulas->Count(), 5);
    for (const tpiezaRef& p : pieces()) EXPECT_NEAR(std::hypot(p->x, p->y, p->z), 10.0, 1e-4);
    EXPECT_LT(cubemap->pivote->sx, 0.0f) << "inverted";
    EXPECT_EQ(camara->hide, 0);

    // The zoom beat: a new target, the cube's turn reversed, a short flash.
    const float vely = cubovely;
    frame(parte7, float(sincbolazoom[0]));
    EXPECT_EQ(zoomcamaradest, 2.5f);
    EXPECT_EQ(cubovely, -vely);
    EXPECT_EQ(flash->maximo, 0.5f);
    EXPECT_EQ(flash->bajada, 0.6125f);
}

TEST_F(MirrorRoomTest, TheHandOverIntoPhaseEightLaysOutTheGreetingsField) {
    cubemap->cambia();
    for (int f = 0; f < 3; ++f) frame(parte7, 2700);
    testseam::ResetRandom();
    struct Draw {
        float roll, yaw, pitch;
        int tipo;
    };
    std::vector<Draw> draws;
    for (int n = 0; n < 116; ++n) {
        Draw d;
        d.roll = Rnd(0, 359);
        d.yaw = Rnd(0, 359);
        d.pitch = Rnd(0, 359);
        d.tipo = Rand(0, 6);
        draws.push_back(d);
    }
    const float velx = Rnd(-0.5f, 0.5f), vely = Rnd(-0.5f, 0.5f);
    testseam::ResetRandom();
    const tcubemapRef sphere = cubemap;
    parte = 8;
    entra_parte8();

    EXPECT_FALSE(listed(sphere->esfera));
    EXPECT_FALSE(listed(cubo->caras[0]));
    EXPECT_TRUE(tparticula::lista_particulas->IsEmpty());
    const std::vector<tpiezaRef> ps = pieces();
    ASSERT_EQ(ps.size(), 116u);
    std::set<float> zs;
    for (std::size_t n = 0; n < ps.size(); ++n) {
        const tpieza& p = *ps[n];
        EXPECT_EQ(p.tipo, draws[n].tipo) << n;
        EXPECT_EQ(p.roll, draws[n].roll) << n;
        EXPECT_EQ(p.pitch, draws[n].pitch) << n;
        EXPECT_EQ(p.modo, 1);
        EXPECT_EQ(p.contornos[0], nullptr);
        EXPECT_EQ(std::fmod(p.x, 11.0f), 0.0f);
        EXPECT_GE(p.x, -33.0f);
        EXPECT_LE(p.y, 44.0f);
        zs.insert(p.z);
    }
    EXPECT_EQ(zs, (std::set<float>{0, 15, 30}));
    EXPECT_EQ(ps.front()->x, -11.0f);
    EXPECT_EQ(ps.front()->y, -11.0f);
    EXPECT_EQ(ps[1]->x, 0.0f) << "columns fastest";
    EXPECT_EQ(ps.back()->x, 44.0f);
    EXPECT_EQ(ps.back()->z, 30.0f);
    EXPECT_EQ(saludosvelx, velx);
    EXPECT_EQ(saludosvely, vely);
    EXPECT_FLOAT_EQ(camara->zoom, 1.0f);
    EXPECT_EQ(EntityZ(camara, 0), -10.0f);
    EXPECT_EQ(camara->fog_mode, 1);
    EXPECT_FLOAT_EQ(camara->fog_b, 96.0f / 255);
    EXPECT_EQ(camara->fog_range_near, 25.0f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_green, 128.0f / 255);
    EXPECT_NEAR(EntityPitch(luz, 0), 30.0f, 1e-4);
    EXPECT_NE(dibujo, nullptr);
    cubemap = nullptr; // freed already
    cubo = nullptr;
}

} // namespace

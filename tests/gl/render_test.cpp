// The render pipeline and mesh drawing, read back as pixels: small scenes whose colours follow
// from the projection, lighting, fog, blending and texture rules.
//
// Unless a test says otherwise the camera sits at the origin looking along +z with zoom 1 on
// the whole 800x600 display, so a point (x, y) at distance z lands on pixel
// (400 + 400 x / z, 300 - 400 y / z), counted from the top left.
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine/sprite.h"
#include "engine/surface.h"
#include "engine/texture.h"
#include "engine_fixture.h"
#include "platform/gltext.h"

#include "../unit/temp_dir.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {
using namespace gltest;

class RenderTest : public EngineSceneTest {
  protected:
    void TearDown() override {
        TGlobal::AmbientLight(127.5f, 127.5f, 127.5f);
        TGlobal::AntiAlias(0);
        EngineSceneTest::TearDown();
    }

    // A camera at the origin on the whole display, cleared to the colour.
    static CameraRef camera(int r = 0, int g = 0, int b = 0) {
        CameraRef cam = CreateCamera(nullptr);
        CameraClsColor(cam, float(r), float(g), float(b));
        return cam;
    }

    // Adds the rectangle (x0, y0)-(x1, y1) at depth z facing the camera (normal toward -z),
    // texture coordinates 0..1 from the top left; with front false its triangles face away.
    static void addQuad(const SurfaceRef& s, float x0, float y0, float x1, float y1, float z,
                        bool front = true) {
        const int v = CountVertices(s);
        AddVertex(s, x0, y0, z, 0, 1, 0);
        AddVertex(s, x0, y1, z, 0, 0, 0);
        AddVertex(s, x1, y1, z, 1, 0, 0);
        AddVertex(s, x1, y0, z, 1, 1, 0);
        for (int i = v; i < v + 4; ++i) VertexNormal(s, i, 0, 0, -1);
        if (front) {
            AddTriangle(s, v, v + 1, v + 2);
            AddTriangle(s, v, v + 2, v + 3);
        } else {
            AddTriangle(s, v, v + 2, v + 1);
            AddTriangle(s, v, v + 3, v + 2);
        }
    }

    // A mesh of one such rectangle, full-bright white unless painted otherwise.
    static MeshRef quad(float x0, float y0, float x1, float y1, float z, int fx = 1) {
        MeshRef m = CreateMesh(nullptr);
        addQuad(CreateSurface(m, nullptr), x0, y0, x1, y1, z);
        EntityFX(m, fx);
        return m;
    }

    // A square of half-size h around its entity's position, placed on the view axis at
    // distance z (translucent meshes are sorted by their entity's distance).
    static MeshRef centred(float h, float z, int fx = 1) {
        MeshRef m = quad(-h, -h, h, h, 0, fx);
        PositionEntity(m, 0, 0, z, 0);
        return m;
    }

    static testseam::FrameCapture render() {
        RenderWorld();
        return testseam::CaptureFrame();
    }

    // A texture loaded from a PNG of the pixmap (the default filter makes it mipmapped).
    TextureRef texture(const PixmapRef& p, int flags) {
        const std::string path = tmp_.path("t" + std::to_string(serial_++) + ".png");
        EXPECT_TRUE(SavePixmapPNG(p, path));
        TextureRef t = LoadTexture(path, flags);
        EXPECT_TRUE(t);
        return t;
    }

    TempDir tmp_;

  private:
    int serial_ = 0;
};

constexpr std::uint32_t kWhite = Rgb(255, 255, 255);
constexpr std::uint32_t kBlack = Rgb(0, 0, 0);

// The channels of 0xAARRGGBB as a mix: a x fraction + b x (1 - fraction).
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double fraction) {
    int c[3];
    for (int i = 0; i < 3; ++i) {
        const int shift = 16 - 8 * i;
        c[i] = int(double(a >> shift & 255) * fraction + double(b >> shift & 255) * (1 - fraction) +
                   0.5);
    }
    return Rgb(c[0], c[1], c[2]);
}

TEST_F(RenderTest, UnlitQuadCoversExactlyItsProjectedRectangle) {
    camera();
    quad(-1, -1, 1, 0.5f, 4); // pixels x 300..499, y 250..399
    const auto f = render();
    EXPECT_TRUE(RectIs(f, 300, 250, 200, 150, kWhite));
    EXPECT_TRUE(RectIs(f, 299, 249, 202, 1, kBlack)) << "row above";
    EXPECT_TRUE(RectIs(f, 299, 400, 202, 1, kBlack)) << "row below";
    EXPECT_TRUE(RectIs(f, 299, 250, 1, 150, kBlack)) << "column left";
    EXPECT_TRUE(RectIs(f, 500, 250, 1, 150, kBlack)) << "column right";

    // A quad turned away is culled; with fx 16 it is drawn.
    TEntity::entity_list = CreateList<EntityRef>();
    MeshRef back = CreateMesh(nullptr);
    addQuad(CreateSurface(back, nullptr), -1, -1, 1, 1, 4, false);
    EntityFX(back, FULLBRIGHTFX);
    EXPECT_TRUE(RectIs(render(), 300, 200, 200, 200, kBlack));
    EntityFX(back, FULLBRIGHTFX | NOCULLFX);
    EXPECT_TRUE(RectIs(render(), 300, 200, 200, 200, kWhite));
}

TEST_F(RenderTest, SpriteIsTurnedToEachCamera) {
    // Seen from (4, 0, 0) the sprite at (0, 0, 4) lies 45 degrees off the z axis; turned to the
    // camera it shows as a square of side 2 at distance sqrt(32): 141 pixels, not the 100-pixel
    // wide sliver an unturned quad would give.
    CameraRef cam = camera();
    SpriteRef s = CreateSprite(nullptr);
    PositionEntity(s, 0, 0, 4, 0);
    PositionEntity(cam, 4, 0, 0, 0);
    PointEntity(cam, s, 0);
    const auto f = render();
    EXPECT_TRUE(RectIs(f, 400 - 66, 300 - 66, 132, 132, kWhite));
    EXPECT_TRUE(RectIs(f, 400 - 76, 300, 1, 1, kBlack));
    EXPECT_TRUE(RectIs(f, 400 + 75, 300, 1, 1, kBlack));
    EXPECT_TRUE(RectIs(f, 400, 300 - 76, 1, 1, kBlack));
}

// The GL state the last surface of a draw leaves behind: material, light-model ambient, effect
// bits and a layer's texture matrix and coordinate generation.
TEST_F(RenderTest, SurfaceStateFollowsTheCombinedBrushes) {
    CameraRef cam = camera();
    MeshRef m = centred(1, 4, 0);
    SurfaceRef s = GetSurface(m, 1);
    BrushRef sb = CreateBrush(127.5f, 255, 255);
    PaintSurface(s, sb);
    auto material = [](GLenum pname) {
        std::array<float, 4> v{};
        glGetMaterialfv(GL_FRONT, pname, v.data());
        return v;
    };
    auto draw = [&] {
        cam->Update();
        m->Update();
    };

    // Colours and alphas multiply; the fade comes off the alpha.
    EntityColor(m, 255, 127.5f, 255);
    BrushAlpha(sb, 0.5f);
    draw();
    EXPECT_EQ(material(GL_DIFFUSE), (std::array<float, 4>{0.5f, 0.5f, 1, 0.5f}));
    EXPECT_EQ(material(GL_AMBIENT), (std::array<float, 4>{0.5f, 0.5f, 1, 0.5f}));
    m->fade_alpha = 0.25f;
    draw();
    EXPECT_FLOAT_EQ(material(GL_DIFFUSE)[3], 0.25f);
    m->fade_alpha = 0;

    // Shininess: the surface's when the entity has none, the product when both have one.
    struct Shine {
        float entity, surface, want;
    } shines[] = {{0, 0.5f, 0.5f}, {0.5f, 0.5f, 0.25f}, {0.5f, 0, 0.5f}};
    for (const Shine& c : shines) {
        EntityShininess(m, c.entity);
        BrushShininess(sb, c.surface);
        draw();
        EXPECT_EQ(material(GL_SPECULAR), (std::array<float, 4>{c.want, c.want, c.want, c.want}));
        float exponent = 0;
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &exponent);
        EXPECT_EQ(exponent, 100.0f);
    }

    // Effect bits: the entity's OR the surface's.
    AmbientLight(51, 102, 153);
    EntityFX(m, 0);
    BrushFX(sb, 0);
    draw();
    std::array<float, 4> ambient{};
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
    EXPECT_NEAR(ambient[0], 0.2f, 1e-6f);
    EXPECT_NEAR(ambient[2], 0.6f, 1e-6f);
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EntityFX(m, FULLBRIGHTFX | FLATSHADEFX);
    BrushFX(sb, VERTEXCOLORFX | NOCULLFX);
    draw();
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
    EXPECT_EQ(ambient[1], 1.0f);
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_FLAT);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

    // A texture's offset, rotation and scale in its layer's texture matrix, on the unit of its
    // layer (GL applies them in the order translate, rotate, scale).
    TextureRef t = texture(SolidPixmap(4, 4, kWhite), 1);
    PositionTexture(t, 0.25f, 0.5f);
    RotateTexture(t, 90);
    ScaleTexture(t, 2, 4);
    BrushTexture(sb, t, 0);
    sb->BrushTexture(t, 0, 1);
    sb->tex[0] = nullptr; // only layer 1 is drawn
    draw();
    glActiveTexture(GL_TEXTURE1);
    std::array<float, 16> tm{};
    glGetFloatv(GL_TEXTURE_MATRIX, tm.data());
    // T(-0.25, -0.5) x Rz(90) x S(0.5, 0.25): u' = -0.25 v - 0.25, v' = 0.5 u - 0.5.
    const std::array<float, 16> want = {0, 0.5f, 0, 0, -0.25f, 0,     0, 0,
                                        0, 0,    1, 0, -0.25f, -0.5f, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(tm[std::size_t(i)], want[std::size_t(i)], 1e-6f) << i;
    glActiveTexture(GL_TEXTURE0);
    InvalidateGLState(); // the unit switches above are the test's own

    // A cube map: reflection coordinates turned back from eye space by the transposed view.
    TextureRef cube = CreateTexture(16, 16, COLORTEXTURE | CUBEMAPTEXTURE, 1);
    ASSERT_TRUE(cube);
    sb->tex[1] = nullptr;
    sb->no_texs = 1;
    sb->tex[0] = cube;
    RotateEntity(cam, 0, 90, 0, 0);
    draw();
    GLint gen = 0;
    glGetTexGeniv(GL_R, GL_TEXTURE_GEN_MODE, &gen);
    EXPECT_EQ(gen, GL_REFLECTION_MAP);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP)) << "switched off after the draw";
    glGetFloatv(GL_TEXTURE_MATRIX, tm.data());
    // Scale(1, -1, -1) x the transposed view, that is the camera's own turn Ry(90), whose
    // columns are (0, 0, -1), (0, 1, 0), (1, 0, 0): x' = z, y' = -y, z' = x.
    const std::array<float, 16> cube_want = {0, 0, 1, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(tm[std::size_t(i)], cube_want[std::size_t(i)], 1e-6f) << i;
    SetCubeMode(cube, 2);
    draw();
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &gen);
    EXPECT_EQ(gen, GL_NORMAL_MAP);
}

TEST_F(RenderTest, LitFaceUnderOneDirectionalLightAndAmbient) {
    // Colour = ambient x brush + light x brush x cos(angle); no specular at shininess 0.
    camera();
    MeshRef m = centred(1, 4, 0);
    LightRef light = CreateLight(1, nullptr);
    LightColor(light, 128, 128, 128);
    AmbientLight(64, 64, 64);
    struct Case {
        float pitch, yaw;
        float r, g, b; // brush colour
        std::uint32_t want;
    } cases[] = {
        {0, 0, 255, 255, 255, Rgb(192, 192, 192)},  // facing the light
        {60, 0, 255, 255, 255, Rgb(128, 128, 128)}, // at 60 degrees
        {0, 60, 255, 255, 255, Rgb(128, 128, 128)}, {0, 0, 255, 128, 0, Rgb(192, 96, 0)},
        {0, 180, 255, 255, 255, Rgb(64, 64, 64)}, // from behind: ambient only
    };
    for (const Case& c : cases) {
        RotateEntity(light, c.pitch, c.yaw, 0, 0);
        EntityColor(m, c.r, c.g, c.b);
        EXPECT_TRUE(RectIs(render(), 380, 280, 40, 40, c.want, 2))
            << "pitch " << c.pitch << " yaw " << c.yaw;
    }
    // Full-bright ignores the ambient setting.
    EntityColor(m, 255, 255, 255);
    EntityFX(m, FULLBRIGHTFX);
    HideEntity(light);
    EXPECT_TRUE(RectIs(render(), 380, 280, 40, 40, kWhite));
}

TEST_F(RenderTest, LinearFogBetweenItsRanges) {
    CameraRef cam = camera();
    CameraFogMode(cam, LINEARFOG);
    CameraFogColor(cam, 255, 0, 0);
    CameraFogRange(cam, 10, 30);
    struct Case {
        float z;
        int fx;
        std::uint32_t want;
    } cases[] = {
        {5, 1, kWhite},              // before the fog starts
        {10, 1, kWhite},             // at its start
        {20, 1, Rgb(255, 128, 128)}, // half way
        {30, 1, Rgb(255, 0, 0)},     // at its end
        {60, 1, Rgb(255, 0, 0)},     // beyond
        {60, 1 | 8, kWhite},         // fx 8: no fog
    };
    for (const Case& c : cases) {
        MeshRef m = centred(c.z / 4, c.z, c.fx);
        EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, c.want, 2)) << "z " << c.z;
        FreeEntity(m);
    }
    // A surface without fog (a surface brush with fx 8) leaves fog on for the next surface.
    MeshRef m = quad(-4, -1, 0, 1, 20);
    BrushRef no_fog = CreateBrush(255, 255, 255);
    BrushFX(no_fog, NOFOGFX);
    PaintSurface(GetSurface(m, 1), no_fog);
    addQuad(CreateSurface(m, nullptr), 0, -1, 4, 1, 20);
    const auto f = render();
    EXPECT_TRUE(RectIs(f, 330, 290, 20, 20, kWhite, 2));
    EXPECT_TRUE(RectIs(f, 430, 290, 20, 20, Rgb(255, 128, 128), 2));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
}

TEST_F(RenderTest, BrushBlendModesOverAKnownBackground) {
    const std::uint32_t bg = Rgb(64, 128, 192);
    const std::uint32_t src = Rgb(200, 100, 50);
    camera(64, 128, 192);
    MeshRef m = centred(1, 4);
    EntityColor(m, 200, 100, 50);
    SurfaceRef s = GetSurface(m, 1);
    struct Case {
        int entity_blend, surface_blend; // surface_blend -1: no surface brush
        float alpha;
        std::uint32_t want;
    } cases[] = {
        {1, -1, 0.5f, Mix(src, bg, 0.5)},   // alpha
        {0, -1, 0.25f, Mix(src, bg, 0.25)}, // 0 draws as alpha
        {1, -1, 1.0f, src},                 // opaque
        {2, -1, 1.0f, Rgb(50, 50, 38)},     // multiply: src x bg
        {3, -1, 0.5f, Rgb(164, 178, 217)},  // add: src x alpha + bg
        {3, -1, 1.0f, Rgb(255, 228, 242)},  // add, clamped
        {0, 3, 0.5f, Rgb(164, 178, 217)},   // the surface brush's mode
        {2, 3, 1.0f, Rgb(50, 50, 38)},      // the entity's mode wins
    };
    for (const Case& c : cases) {
        EntityAlpha(m, c.alpha);
        if (c.surface_blend < 0) {
            PaintSurface(s, nullptr);
        } else {
            BrushRef b = CreateBrush(255, 255, 255);
            BrushBlend(b, c.surface_blend);
            PaintSurface(s, b);
        }
        m->brush->blend = c.entity_blend; // EntityBlend would pass it on to the surface brush
        EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, c.want, 2))
            << "blend " << c.entity_blend << "/" << c.surface_blend << " alpha " << c.alpha;
    }
}

TEST_F(RenderTest, TextureBlendModesCombineTextureAndSurfaceColour) {
    camera();
    MeshRef m = centred(1, 4);
    struct Case {
        int blend;
        std::uint32_t surface, texel, want;
    } cases[] = {
        {1, Rgb(255, 128, 64), Rgb(128, 255, 128), Rgb(128, 255, 128)}, // replace
        {2, Rgb(255, 128, 64), Rgb(128, 255, 128), Rgb(128, 128, 32)},  // modulate
        {3, Rgb(255, 128, 64), Rgb(128, 255, 128), Rgb(255, 255, 192)}, // add
        {5, Rgb(255, 128, 64), Rgb(128, 255, 128), Rgb(255, 255, 64)},  // modulate x 2
        {4, Rgb(255, 128, 128), Rgb(255, 128, 128), kWhite},            // dot product
        {9, Rgb(255, 128, 64), Rgb(128, 255, 128), Rgb(128, 128, 32)},  // others modulate
    };
    for (const Case& c : cases) {
        TextureRef t = texture(SolidPixmap(4, 4, c.texel), 1);
        TextureBlend(t, c.blend);
        EntityTexture(m, t, 0, 0);
        EntityColor(m, float(c.surface >> 16 & 255), float(c.surface >> 8 & 255),
                    float(c.surface & 255));
        EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, c.want, 2)) << "blend " << c.blend;
    }
    // Entity brush with one texture, surface brush with two: layer 0 draws the entity's,
    // layer 1 the surface's.
    TextureRef base = texture(SolidPixmap(4, 4, Rgb(255, 255, 255)), 1);
    TextureRef hidden = texture(SolidPixmap(4, 4, Rgb(0, 0, 0)), 1);
    TextureRef second = texture(SolidPixmap(4, 4, Rgb(0, 128, 255)), 1);
    EntityColor(m, 255, 255, 255);
    TextureBlend(base, MULTIPLYTEXTUREBLEND);
    EntityTexture(m, base, 0, 0);
    BrushRef b = CreateBrush(255, 255, 255);
    b->BrushTexture(hidden, 0, 0);
    b->BrushTexture(second, 0, 1);
    PaintSurface(GetSurface(m, 1), b);
    EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, Rgb(0, 128, 255), 2));

    // The frame: the entity brush's, unless the surface has a brush, whose frame then counts.
    PixmapRef strip = CreatePixmap(8, 4, PF_RGBA8888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            strip->WritePixel(x, y, x < 4 ? Rgb(255, 0, 0) : Rgb(0, 0, 255));
    const std::string strip_path = tmp_.path("strip.png");
    ASSERT_TRUE(SavePixmapPNG(strip, strip_path));
    TextureRef frames = LoadAnimTexture(strip_path, COLORTEXTURE, 4, 4, 0, 2);
    ASSERT_TRUE(frames);
    PaintSurface(GetSurface(m, 1), nullptr);
    EntityTexture(m, frames, 1, 0);
    EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, Rgb(0, 0, 255), 2)) << "entity frame 1";
    PaintSurface(GetSurface(m, 1), CreateBrush(255, 255, 255)); // frame 0, no texture
    EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, Rgb(255, 0, 0), 2)) << "surface frame 0";
    // Nothing stays switched on after the draw.
    for (int unit = 0; unit < 2; ++unit) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << unit;
    }
    glActiveTexture(GL_TEXTURE0);
}

TEST_F(RenderTest, MaskedTextureCutsOutItsClearTexels) {
    // Left half opaque white, right half clear blue; the quad is 200 pixels wide.
    camera(0, 80, 0);
    PixmapRef p = CreatePixmap(4, 4, PF_RGBA8888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) p->WritePixel(x, y, x < 2 ? 0xffffffffu : 0x000000ffu);
    MeshRef m = centred(1, 4);
    EntityTexture(m, texture(p, 1 | 4), 0, 0);
    // Columns 330..369 sample the white texels only, 430..469 the clear ones only.
    auto f = render();
    EXPECT_TRUE(RectIs(f, 330, 220, 40, 160, kWhite));
    EXPECT_TRUE(RectIs(f, 430, 220, 40, 160, Rgb(0, 80, 0))) << "cut out";
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST)) << "only on while the masked surface draws";

    // Unmasked, the clear texels draw (no blending: the texture is not an alpha texture).
    EntityTexture(m, texture(p, 1), 0, 0);
    f = render();
    EXPECT_TRUE(RectIs(f, 330, 220, 40, 160, kWhite));
    EXPECT_TRUE(RectIs(f, 430, 220, 40, 160, Rgb(0, 0, 255)));

    // A faint translucent surface drawn after a masked one is not cut by the alpha test.
    EntityTexture(m, texture(p, 1 | 4), 0, 0);
    MeshRef faint = centred(2, 8);
    EntityAlpha(faint, 0.25f);
    f = render();
    EXPECT_TRUE(RectIs(f, 430, 220, 40, 160, Mix(kWhite, Rgb(0, 80, 0), 0.25), 2));
}

TEST_F(RenderTest, DrawOrderTranslucentFarFirstAndOrderedMeshes) {
    // Half-transparent red near and blue far over black: far first gives (128, 0, 64).
    camera();
    for (bool near_first : {true, false}) {
        TEntity::entity_list = CreateList<EntityRef>();
        MeshRef a = centred(1, near_first ? 4 : 8);
        MeshRef b = centred(2, near_first ? 8 : 4);
        MeshRef near_q = near_first ? a : b, far_q = near_first ? b : a;
        EntityColor(near_q, 255, 0, 0);
        EntityColor(far_q, 0, 0, 255);
        EntityAlpha(near_q, 0.5f);
        EntityAlpha(far_q, 0.5f);
        EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, Rgb(128, 0, 64), 2))
            << (near_first ? "near made first" : "far made first");
    }

    // Depth: an opaque far quad made after an opaque near one is hidden behind it; a negative
    // order draws last without depth test; a positive order draws first and is covered.
    TEntity::entity_list = CreateList<EntityRef>();
    MeshRef near_q = quad(-1, -1, 1, 1, 4);
    EntityColor(near_q, 0, 255, 0);
    MeshRef far_q = quad(-2, -2, 2, 2, 8);
    EntityColor(far_q, 0, 0, 255);
    auto f = render();
    EXPECT_TRUE(RectIs(f, 390, 290, 20, 20, Rgb(0, 255, 0)));
    EntityOrder(far_q, -1);
    EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, Rgb(0, 0, 255)));
    EntityOrder(far_q, 0);
    EntityOrder(near_q, 1);
    f = render();
    EXPECT_TRUE(RectIs(f, 390, 290, 20, 20, Rgb(0, 0, 255))) << "drawn first, covered";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "the last mesh drawn is of order 0";
}

TEST_F(RenderTest, CullingAndAutoFade) {
    // A quad reaching from x -1 to 201 at distance 4 shows on the right of the view; with its
    // bounding sphere fixed at radius 1 around the box centre (x 100) it lies outside the
    // frustum and is not drawn at all.
    camera(0, 0, 100);
    MeshRef wide = quad(-1, -1, 201, 1, 4);
    EXPECT_TRUE(RectIs(render(), 350, 290, 400, 20, kWhite));
    MeshCullRadius(wide, 1);
    EXPECT_TRUE(RectIs(render(), 300, 200, 500, 200, Rgb(0, 0, 100)));
    wide->alpha_order = 12345;
    render();
    EXPECT_EQ(wide->alpha_order, 12345) << "a culled mesh keeps the values of its last pass";
    FreeEntity(wide);

    // Fading between 10 and 20: opaque up to 10, gone from 20, linear between.
    MeshRef m = centred(1, 0);
    EntityAutoFade(m, 10, 20);
    struct Case {
        float distance;
        std::uint32_t want;
    } cases[] = {
        {5, kWhite},          {10, kWhite},         {15, Mix(kWhite, Rgb(0, 0, 100), 0.5)},
        {20, Rgb(0, 0, 100)}, {30, Rgb(0, 0, 100)},
    };
    for (const Case& c : cases) {
        PositionEntity(m, 0, 0, c.distance, 0);
        ScaleEntity(m, c.distance / 4, c.distance / 4, 1, 0);
        EXPECT_TRUE(RectIs(render(), 390, 290, 20, 20, c.want, 2)) << "distance " << c.distance;
    }
}

// Meshes whose position or rest pose lies outside the view but part of what is drawn lies
// inside it, and a small quad inside it whose frustum value is below 1: all are drawn.
TEST_F(RenderTest, AnythingPartlyInViewIsDrawn) {
    struct Case {
        const char* what;
        MeshRef (*make)();
        int x, y, w, h; // a rectangle the mesh covers
    } cases[] = {
        {"sprite scaled 8 wide at (10, 0, 4): x 2..18",
         [] {
             SpriteRef s = CreateSprite(nullptr);
             PositionEntity(s, 10, 0, 4, 0);
             ScaleSprite(s, 8, 1);
             return MeshRef(s);
         },
         620, 220, 160, 160},
        {"sprite at (10, 0, 4) scaled 2 with its handle 3 to the right: x 2..6",
         [] {
             SpriteRef s = CreateSprite(nullptr);
             PositionEntity(s, 10, 0, 4, 0);
             ScaleSprite(s, 2, 1);
             HandleSprite(s, 3, 0);
             return MeshRef(s);
         },
         620, 220, 160, 160},
        {"quad of side 0.2 at distance 1.3 (frustum value 0.47)",
         [] {
             MeshRef m = centred(0.1f, 1.3f);
             return m;
         },
         375, 275, 50, 50},
        {"posed from x 19..21 at rest to x -1..1 at distance 10",
         [] {
             MeshRef m = quad(19, -1, 21, 1, 10);
             auto posed = std::make_shared<TSurface>();
             posed->vert_coords = m->GetSurface(1)->vert_coords;
             for (std::size_t i = 0; i < posed->vert_coords.size(); i += 3)
                 posed->vert_coords[i] -= 20;
             m->anim_surf_list.AddLast(posed);
             m->anim = 1;
             m->anim_render = 1;
             return m;
         },
         365, 265, 70, 70},
    };
    CameraRef cam = camera();
    for (const Case& c : cases) {
        MeshRef m = c.make();
        EXPECT_TRUE(RectIs(render(), c.x, c.y, c.w, c.h, kWhite)) << c.what;
        EXPECT_GE(EntityInView(m, cam), 1) << c.what;
        FreeEntity(m);
    }
}

// A buffer copied into a mipmapped texture shows at every size: drawn 16 pixels wide, a copy of
// a red frame is red (not the blank smaller levels), and a depth copy, which leaves no colour
// level behind to make the texture incomplete, draws its depth as grey.
TEST_F(RenderTest, CopiedBuffersShowAtEverySize) {
    TextureRef t = CreateTexture(64, 64, 1 | 8, 1);
    ASSERT_EQ(t->CountMipmaps(), 6);
    CameraRef cam = camera(255, 0, 0);
    render();
    BackBufferToTex(t);
    CameraClsColor(cam, 0, 0, 255);
    MeshRef small = quad(-0.08f, -0.08f, 0.08f, 0.08f, 4); // 16 x 16 pixels
    EntityTexture(small, t, 0, 0);
    EXPECT_TRUE(RectIs(render(), 394, 294, 12, 12, Rgb(255, 0, 0), 2)) << "back buffer copy";

    // A wall at distance 2 over the whole view leaves depth (1 - 1/2) / (1 - 1/1000) behind.
    HideEntity(small);
    MeshRef wall = quad(-10, -10, 10, 10, 2);
    render();
    DepthBufferToTex(t);
    FreeEntity(wall);
    ShowEntity(small);
    const int grey = int(255 * 0.5 / 0.999 + 0.5);
    EXPECT_TRUE(RectIs(render(), 394, 294, 12, 12, Rgb(grey, grey, grey), 2)) << "depth copy";
}

// The six faces of a cube map's level 0, RGBA bytes each.
std::array<std::vector<std::uint8_t>, 6> CubeFaces(const TextureRef& t) {
    std::array<std::vector<std::uint8_t>, 6> faces;
    glBindTexture(GL_TEXTURE_CUBE_MAP, t->gltex.at(0));
    InvalidateGLState(); // a bind of the test's own
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int i = 0; i < 6; ++i) {
        faces[std::size_t(i)].resize(std::size_t(t->width * t->height * 4));
        glGetTexImage(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                      faces[std::size_t(i)].data());
    }
    return faces;
}

// Fills the whole back buffer with the colour, as the 2D layer would leave it.
void FillBackBuffer(std::uint32_t argb) {
    glPushAttrib(GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(float(argb >> 16 & 255) / 255, float(argb >> 8 & 255) / 255,
                 float(argb & 255) / 255, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

TEST_F(RenderTest, RenderWorldToCubeTexLeavesWhatRenderAndCopyLeave) {
    // A 64 x 64 face camera at the top left (the rectangle a face copy takes), looking at a red
    // and a green half with a translucent blue square over their middle; edges on pixel
    // boundaries (32 pixels per unit at distance 1), so that both paths cover the same pixels
    // (the display's rows run the other way in memory from a texture's).
    CameraRef cam = camera(40, 40, 40);
    CameraViewport(cam, 0, 0, 64, 64);
    MeshRef red = quad(-4, -4, 0, 4, 4);
    EntityColor(red, 255, 0, 0);
    MeshRef green = quad(0, -4, 4, 4, 4);
    EntityColor(green, 0, 255, 0);
    MeshRef blue = centred(1, 2);
    EntityColor(blue, 0, 0, 255);
    EntityAlpha(blue, 0.5f);
    constexpr std::uint32_t kMarker = Rgb(255, 0, 255);

    // Each face with the camera turned its own way and cleared to its own grey, straight into
    // the faces (A) and through the back buffer and its copy (B).
    const auto renderFaces = [&](const TextureRef& t) {
        for (int face = 0; face < 6; ++face) {
            CameraClsColor(cam, float(30 * face), float(30 * face), float(30 * face));
            RotateEntity(cam, 0, float(face % 4 * 90), float(face / 4 * 30), 0);
            SetCubeFace(t, face);
            RenderWorldToCubeTex(t);
        }
    };
    TextureRef direct = CreateTexture(64, 64, CUBEMAPTEXTURE, 1);
    TextureRef copied = CreateTexture(64, 64, CUBEMAPTEXTURE, 1);
    ASSERT_TRUE(direct && copied);
    FillBackBuffer(kMarker);
    renderFaces(direct);
    const testseam::FrameCapture untouched = testseam::CaptureFrame();
    EXPECT_TRUE(RectIs(untouched, 0, 0, kWidth, kHeight, kMarker)) << "back buffer drawn on";
    // The camera's viewport stays in the display's rows, for projections and picks.
    EXPECT_EQ(cam->viewport[1], kHeight - 64);
    // A texture whose faces the display refused to draw into goes through the back buffer.
    copied->face_fbo_refused = true;
    renderFaces(copied);
    const testseam::FrameCapture drawn = testseam::CaptureFrame();
    EXPECT_TRUE(RectIs(drawn, 0, 0, 32, 16, Rgb(150, 150, 150))) << "last face in back buffer";
    EXPECT_TRUE(RectIs(drawn, 64, 0, kWidth - 64, kHeight, kMarker));
    const auto a = CubeFaces(direct), b = CubeFaces(copied);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_TRUE(a[i] == b[i]) << "GL face " << i;
    // The first turn (face 0, -X) sees the halves and the blended square; alpha is as copied.
    const std::uint8_t* px = a[1].data();
    EXPECT_EQ(px[(40 * 64 + 8) * 4 + 0], 255) << "red half";
    EXPECT_EQ(px[(40 * 64 + 56) * 4 + 1], 255) << "green half";
    EXPECT_NEAR(px[(32 * 64 + 24) * 4 + 2], 128, 1) << "blended square";
    if (!TGlobal::alpha_buffer) {
        EXPECT_EQ(px[3], 255);
    }

    // No cube map, no face: nothing is drawn, by either path.
    TextureRef flat = CreateTexture(64, 64, 0, 1);
    for (bool refused : {false, true}) {
        direct->face_fbo_refused = refused;
        FillBackBuffer(kMarker);
        RenderWorldToCubeTex(nullptr);
        RenderWorldToCubeTex(flat);
        SetCubeFace(direct, 6);
        RenderWorldToCubeTex(direct);
        SetCubeFace(direct, -1);
        RenderWorldToCubeTex(direct);
        EXPECT_TRUE(RectIs(testseam::CaptureFrame(), 0, 0, kWidth, kHeight, kMarker)) << refused;
    }
    direct->face_fbo_refused = false;
    EXPECT_TRUE(CubeFaces(direct) == a);

    // Anti-aliasing goes through the back buffer, whose accumulation buffer it needs.
    if (TGlobal::accum_buffer) {
        AntiAlias(2);
        FillBackBuffer(kMarker);
        SetCubeFace(direct, 0);
        RenderWorldToCubeTex(direct);
        EXPECT_FALSE(RectIs(testseam::CaptureFrame(), 0, 0, 64, 64, kMarker));
    }
}

TEST_F(RenderTest, CameraScissorLimitsDrawingAndClearingNotTheProjection) {
    CameraRef cam = camera(255, 0, 0);
    quad(-1, -1, 1, 0.5f, 4); // pixels x 300..499, y 250..399
    constexpr std::uint32_t kMarker = Rgb(255, 0, 255);
    const testseam::FrameCapture whole = render();
    // The rectangle x 250..449, y 300..449 from the top left: cleared and drawn inside only,
    // the quad where the whole view has it.
    CameraScissor(cam, 250, 300, 200, 150);
    FillBackBuffer(kMarker);
    const testseam::FrameCapture part = render();
    for (int y = 0; y < kHeight; y += 5)
        for (int x = 0; x < kWidth; x += 5) {
            const bool inside = x >= 250 && x < 450 && y >= 300 && y < 450;
            ASSERT_EQ(part.Pixel(x, y), inside ? whole.Pixel(x, y) : kMarker) << x << "," << y;
        }
    // A copy keeps the limit; an empty rectangle draws nothing; a negative size lifts it.
    EntityRef copy = CopyEntity(cam, nullptr);
    HideEntity(cam);
    FillBackBuffer(kMarker);
    EXPECT_TRUE(RectIs(render(), 0, 0, 250, kHeight, kMarker));
    FreeEntity(copy);
    ShowEntity(cam);
    CameraScissor(cam, 250, 300, 0, 150);
    FillBackBuffer(kMarker);
    EXPECT_TRUE(RectIs(render(), 0, 0, kWidth, kHeight, kMarker));
    CameraScissor(cam, 0, 0, -1, -1);
    const testseam::FrameCapture lifted = render();
    EXPECT_TRUE(RectIs(lifted, 0, 0, kWidth, 200, Rgb(255, 0, 0)));
    EXPECT_TRUE(RectIs(lifted, 300, 250, 200, 150, kWhite));
}

// A scissored pass leaves out the meshes wholly outside its box, and only those: small quads
// that reach across each edge of the box by a fraction of a pixel, or stop just short of it,
// draw inside the box exactly what the whole view draws there.
TEST_F(RenderTest, ScissoredPassLeavesOutOnlyMeshesOutsideTheBox) {
    CameraRef cam = camera(0, 0, 0);
    // At distance 4, 100 pixels a unit: window x = 400 + 100 x, row from the top = 300 - 100 y.
    // The box is x 250..449, rows 300..449.
    constexpr float kZ = 4.0f;
    const auto wx = [](float px) { return (px - 400.0f) / 100.0f; };
    const auto wy = [](float row) { return (300.0f - row) / 100.0f; };
    std::vector<MeshRef> near_edges;
    int shade = 40;
    const auto add = [&](float x0, float r0, float x1, float r1) {
        MeshRef m = quad(wx(x0), wy(r1), wx(x1), wy(r0), kZ);
        EntityColor(m, float(shade), 255.0f, float(255 - shade));
        shade += 9;
        near_edges.push_back(m);
    };
    for (const float at : {-0.6f, -0.4f, 0.4f, 0.6f}) {
        add(449.0f + at, 360, 451.0f + at, 362); // across or at the right edge (450)
        add(249.0f + at, 370, 251.0f + at, 372); // the left edge (250)
        add(330, 299.0f + at, 332, 301.0f + at); // the top edge (row 300)
        add(340, 449.0f + at, 342, 451.0f + at); // the bottom edge (row 450)
    }
    const testseam::FrameCapture whole = render();
    CameraScissor(cam, 250, 300, 200, 150);
    const testseam::FrameCapture part = render();
    int lit = 0;
    for (int y = 300; y < 450; ++y)
        for (int x = 250; x < 450; ++x) {
            ASSERT_EQ(part.Pixel(x, y), whole.Pixel(x, y)) << x << "," << y;
            lit += whole.Pixel(x, y) != kBlack;
        }
    EXPECT_GE(lit, 8) << "the quads reaching in show";
    // Every quad above reaches within a pixel of the box; ones further out are left out, as
    // is everything from an empty box, and nothing while the camera is not scissored.
    for (const MeshRef& m : near_edges) EXPECT_TRUE(cam->SphereInScissor(m->CullSphere()));
    const struct {
        float x0, r0;
        bool in;
    } kCases[] = {{460, 360, false}, {230, 360, false}, {330, 280, false},
                  {330, 460, false}, {445, 445, true},  {255, 305, true}};
    for (const auto& c : kCases) {
        MeshRef m = quad(wx(c.x0), wy(c.r0 + 2), wx(c.x0 + 2), wy(c.r0), kZ);
        m->GetBounds();
        EXPECT_EQ(cam->SphereInScissor(m->CullSphere()), c.in) << c.x0 << "," << c.r0;
        FreeEntity(m);
    }
    CameraScissor(cam, 250, 300, 0, 150);
    render();
    EXPECT_FALSE(cam->SphereInScissor(near_edges[0]->CullSphere()));
    CameraScissor(cam, 0, 0, -1, -1);
    render();
    MeshRef far = quad(wx(700), wy(50), wx(702), wy(48), kZ);
    far->GetBounds();
    EXPECT_TRUE(cam->SphereInScissor(far->CullSphere()));
}

TEST_F(RenderTest, CamerasRenderInListOrderIntoTheirViewports) {
    // Left and right halves, each with its own clear colour and the quad centred in its own
    // viewport (aspect 2:3: 50 pixels per unit at distance 4 on both axes).
    CameraRef left = camera(255, 0, 0);
    CameraViewport(left, 0, 0, 400, 600);
    CameraRef right = camera(0, 255, 0);
    CameraViewport(right, 400, 0, 400, 600);
    CameraRef hidden = camera(0, 0, 255); // full screen, last in the list
    HideEntity(hidden);
    centred(1, 4);
    const auto f = render();
    EXPECT_TRUE(RectIs(f, 150, 250, 100, 100, kWhite));
    EXPECT_TRUE(RectIs(f, 550, 250, 100, 100, kWhite));
    EXPECT_TRUE(RectIs(f, 0, 0, 400, 240, Rgb(255, 0, 0)));
    EXPECT_TRUE(RectIs(f, 400, 0, 400, 240, Rgb(0, 255, 0)));
    EXPECT_TRUE(RectIs(f, 140, 250, 10, 100, Rgb(255, 0, 0)));
    EXPECT_TRUE(RectIs(f, 650, 250, 10, 100, Rgb(0, 255, 0)));

    // A camera under a hidden parent renders nothing either; order puts a camera first.
    ShowEntity(hidden);
    PivotRef parent = CreatePivot(nullptr);
    EntityParent(hidden, parent, 1);
    HideEntity(parent);
    EXPECT_TRUE(RectIs(render(), 0, 0, 400, 240, Rgb(255, 0, 0)));
    // Shown again it renders last, over the whole display (aspect 4:3: 100 pixels per unit).
    ShowEntity(parent);
    auto g = render();
    EXPECT_TRUE(RectIs(g, 0, 0, 800, 200, Rgb(0, 0, 255)));
    EXPECT_TRUE(RectIs(g, 300, 200, 200, 200, kWhite));
    // With a higher order it renders first, and the halves draw over it.
    EntityOrder(hidden, 1);
    g = render();
    EXPECT_TRUE(RectIs(g, 0, 0, 400, 240, Rgb(255, 0, 0)));
    EXPECT_TRUE(RectIs(g, 400, 0, 400, 240, Rgb(0, 255, 0)));
}

// Channels of a pixel strictly between dark and bright on every channel of c.
bool Between(std::uint32_t c, int lo, int hi) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int v = int(c >> shift & 255);
        if (v <= lo || v >= hi) return false;
    }
    return true;
}

TEST_F(RenderTest, AntiAliasingAveragesJitteredPassesOverTheWholeDisplay) {
    ASSERT_TRUE(TGlobal::accum_buffer);
    // Two cameras side by side, each seeing a white quad whose left edge falls on a pixel
    // boundary; the passes shift it by fractions of a pixel, so one column gets part coverage.
    CameraRef left = camera(40, 40, 40);
    CameraViewport(left, 0, 0, 400, 600);
    CameraRef right = camera(40, 40, 40);
    CameraViewport(right, 400, 0, 400, 600);
    centred(1, 4); // columns 150..249 and 550..649 without jitter
    auto edgeHasMix = [](const testseam::FrameCapture& f, int x0) {
        for (int x = x0 - 2; x <= x0 + 2; ++x)
            if (Between(At(f, x, 300), 60, 240)) return true;
        return false;
    };
    auto f = render();
    EXPECT_FALSE(edgeHasMix(f, 150)) << "hard edge without anti-aliasing";

    AntiAlias(4);
    for (int frame = 0; frame < 2; ++frame) { // a second frame starts from a cleared sum
        f = render();
        EXPECT_TRUE(edgeHasMix(f, 550)) << "right viewport, frame " << frame;
        EXPECT_TRUE(edgeHasMix(f, 150)) << "left viewport, frame " << frame;
        EXPECT_TRUE(RectIs(f, 160, 260, 80, 80, kWhite, 1));
        EXPECT_TRUE(RectIs(f, 0, 0, 800, 200, Rgb(40, 40, 40), 1)) << "frame " << frame;
    }
    EXPECT_EQ(TGlobal::jitter, 0);
}

TEST_F(RenderTest, BrokenSurfacesDrawNothingAndBadFramesAreClamped) {
    CameraRef cam = camera();
    MeshRef m = CreateMesh(nullptr);
    EntityFX(m, FULLBRIGHTFX);
    SurfaceRef good = CreateSurface(m, nullptr);
    addQuad(good, -2, -1, -1, 1, 4);
    SurfaceRef bad = CreateSurface(m, nullptr);
    addQuad(bad, -0.5f, -1, 0.5f, 1, 4);
    AddTriangle(bad, 0, 1, 9); // no vertex 9
    SurfaceRef empty = CreateSurface(m, nullptr);
    SurfaceRef short_arrays = CreateSurface(m, nullptr);
    addQuad(short_arrays, 1, -1, 2, 1, 4);
    short_arrays->vert_norm.resize(6); // normals for two vertices only, as a loader could leave
    SurfaceRef counted = CreateSurface(m, nullptr);
    addQuad(counted, -1, 1.5f, 1, 1.8f, 4);
    counted->no_verts = 3; // the fourth vertex is beyond the count
    auto f = render();
    EXPECT_TRUE(RectIs(f, 210, 220, 80, 160, kWhite)) << "the sound surface";
    EXPECT_TRUE(RectIs(f, 360, 220, 80, 160, kBlack)) << "a triangle names a missing vertex";
    EXPECT_TRUE(RectIs(f, 510, 220, 80, 160, kBlack)) << "a normal array too short";
    EXPECT_TRUE(RectIs(f, 300, 130, 200, 20, kBlack)) << "a vertex beyond the count";

    // A frame beyond the texture's frames draws its last frame; a freed texture draws none.
    ClearSurface(bad, 1, 1);
    TextureRef t = texture(SolidPixmap(4, 4, Rgb(0, 0, 255)), 1);
    EntityTexture(m, t, 0, 0);
    m->brush->tex_frame = 7;
    f = render();
    EXPECT_TRUE(RectIs(f, 210, 220, 80, 160, Rgb(0, 0, 255)));
    m->brush->tex_frame = -3;
    EXPECT_TRUE(RectIs(render(), 210, 220, 80, 160, Rgb(0, 0, 255)));
    FreeTexture(t);
    EXPECT_TRUE(RectIs(render(), 210, 220, 80, 160, kWhite));

    // Null handles and freed meshes.
    TGlobal::RenderCamera(nullptr);
    TGlobal::AutoFade(nullptr, m);
    TGlobal::AutoFade(cam, nullptr);
    TList<MeshRef> list;
    TGlobal::RenderListAdd(nullptr, list);
    EXPECT_EQ(list.Count(), 0);
    FreeEntity(m);
    m->Update();
    EXPECT_TRUE(RectIs(render(), 210, 220, 80, 160, kBlack));
}

TEST_F(RenderTest, RenderWorldOutsideTheEngineStateDrawsNothing) {
    camera(255, 0, 0);
    TGlobal::Begin2D();
    ResetDrawing(0, 0, 255);
    RenderWorld();
    EXPECT_TRUE(RectIs(testseam::CaptureFrame(), 0, 0, 800, 600, Rgb(0, 0, 255)));
    TGlobal::End2D();
    EXPECT_TRUE(RectIs(render(), 0, 0, 800, 600, Rgb(255, 0, 0)));
}

// The 2D layer remembers the GL state it set. Each case draws the same image
// before and after one engine step, with the same texture and blend mode, so that only the
// engine making the layer forget its state has the second draw set it again: both must look the
// same. The scene leaves fog, lighting, texturing, blending and depth testing on.
TEST_F(RenderTest, TwoDDrawsLookTheSameWhateverTheEngineDoesBetweenThem) {
    CameraRef cam = camera(0, 0, 96);
    CameraViewport(cam, 400, 0, 400, 600);
    CameraFogMode(cam, 1);
    CameraFogRange(cam, 1, 10);
    CameraFogColor(cam, 255, 0, 0);
    CreateLight(1, nullptr);
    MeshRef m = centred(1, 4, 0);
    EntityTexture(m, texture(SolidPixmap(2, 2, Rgb(0, 255, 0)), 0), 0, 0);
    EntityAlpha(m, 0.5f);
    TextureRef copy = CreateTexture(64, 64, 0, 1);
    ImageRef img =
        LoadImage(PixmapOf({{Rgb(255, 0, 0), Rgb(0, 255, 0)}, {Rgb(0, 0, 255), 0x80ffffffu}}), 0);
    const auto draw = [&](float x) {
        SetBlend(ALPHABLEND);
        SetAlpha(0.75f);
        SetColor(255, 200, 100);
        SetScale(8, 8);
        DrawImage(img, x, 100, 0);
    };
    struct Step {
        const char* name;
        std::function<void()> run;
    };
    const Step steps[] = {
        {"RenderWorld",
         [] {
             TGlobal::End2D();
             RenderWorld();
             TGlobal::Begin2D();
         }},
        {"Text", [] { Text(100, 300, "text"); }},
        {"Wireframe", [] { Wireframe(1); }},
        {"CreateTexture", [] { CreateTexture(4, 4, 0, 1); }},
        {"BackBufferToTex", [&] { BackBufferToTex(copy); }},
    };
    TGlobal::Begin2D();
    for (const Step& step : steps) {
        ResetDrawing(20, 40, 60);
        draw(50);
        step.run();
        draw(150);
        const auto f = testseam::CaptureFrame();
        int differing = 0;
        for (int y = 96; y < 120; ++y)
            for (int x = -4; x < 20; ++x) differing += At(f, 50 + x, y) != At(f, 150 + x, y);
        EXPECT_EQ(differing, 0) << step.name;
        // Red texel, tinted, three quarters over the background.
        EXPECT_TRUE(Near(At(f, 150, 100), Rgb(196, 10, 15), 1))
            << step.name << ": " << Hex(At(f, 150, 100));
    }
    Wireframe(0);
}

// 2D draws reach the frame before anything the engine draws after them.
TEST_F(RenderTest, TwoDDrawsComeBeforeTheEngineDrawingThatFollows) {
    camera(0, 0, 96);
    TGlobal::Begin2D();
    ResetDrawing(0, 0, 0);
    SetColor(255, 0, 0);
    DrawRect(0, 0, 800, 600);
    TGlobal::End2D();
    auto f = render();
    EXPECT_TRUE(RectIs(f, 0, 0, 800, 600, Rgb(0, 0, 96))); // the camera's clear covers it
    TGlobal::Begin2D();
    SetColor(255, 0, 0);
    DrawRect(0, 0, 100, 40);
    Text(10, 10, "H");
    f = testseam::CaptureFrame();
    int ink = 0;
    for (int py = 0; py < kGLTextCellHeight; ++py)
        for (int px = 0; px < kGLTextCellWidth; ++px) {
            if (!GLTextGlyphInk('H', px, py)) continue;
            ++ink;
            EXPECT_EQ(At(f, 10 + px, 10 + py), kWhite) << px << ", " << py;
        }
    EXPECT_GT(ink, 0);
    EXPECT_EQ(At(f, 5, 5), Rgb(255, 0, 0));
}

} // namespace

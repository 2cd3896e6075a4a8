#include "engine/global.h"

#include "engine/camera.h"
#include "engine/collision.h"
#include "engine/entity.h"
#include "engine/flags.h"
#include "engine/inspector.h"
#include "engine/light.h"
#include "engine/octree.h"
#include "engine/pick.h"
#include "engine/text2d.h"
#include "engine/texture.h"
#include "engine/texture_filter.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"
#include "platform/internal.h"

#include <GL/glew.h>

#include <string>
#include <string_view>

int TGlobal::depth = 0;
int TGlobal::mode = 0;
int TGlobal::rate = 0;
float TGlobal::ambient_red = 0.5f;
float TGlobal::ambient_green = 0.5f;
float TGlobal::ambient_blue = 0.5f;
int TGlobal::aa = 0;
int TGlobal::ACSIZE = 0;
int TGlobal::jitter = 0;
float TGlobal::j[16][2] = {};

namespace {

// Sample-jittering offsets in pixels, (x, y) pairs: the tables for 2, 3, 4, 5, 6, 8, 9, 12 and
// 16 samples one after another.
constexpr float kJitter[65][2] = {
    // 2
    {0.25f, 0.75f},
    {0.75f, 0.25f},
    // 3
    {0.5033923f, 0.8317967f},
    {0.7806016f, 0.2504381f},
    {0.2261829f, 0.41315535f},
    // 4
    {0.375f, 0.25f},
    {0.125f, 0.75f},
    {0.875f, 0.25f},
    {0.625f, 0.75f},
    // 5
    {0.5f, 0.5f},
    {0.3f, 0.1f},
    {0.7f, 0.9f},
    {0.9f, 0.3f},
    {0.1f, 0.7f},
    // 6
    {0.46464646f, 0.46464646f},
    {0.13131313f, 0.7979798f},
    {0.53535354f, 0.86868685f},
    {0.86868685f, 0.53535354f},
    {0.7979798f, 0.13131313f},
    {0.2020202f, 0.2020202f},
    // 8
    {0.5625f, 0.4375f},
    {0.0625f, 0.9375f},
    {0.3125f, 0.6875f},
    {0.6875f, 0.8125f},
    {0.8125f, 0.1875f},
    {0.9375f, 0.5625f},
    {0.4375f, 0.0625f},
    {0.1875f, 0.3125f},
    // 9
    {0.5f, 0.5f},
    {0.16666667f, 0.9444444f},
    {0.5f, 0.16666667f},
    {0.5f, 0.8333333f},
    {0.16666667f, 0.2777778f},
    {0.8333333f, 0.3888889f},
    {0.16666667f, 0.6111111f},
    {0.8333333f, 0.7222222f},
    {0.8333333f, 0.055555556f},
    // 12
    {0.41666666f, 0.625f},
    {0.9166667f, 0.875f},
    {0.25f, 0.375f},
    {0.41666666f, 0.125f},
    {0.75f, 0.125f},
    {0.083333336f, 0.125f},
    {0.75f, 0.625f},
    {0.25f, 0.875f},
    {0.5833333f, 0.375f},
    {0.9166667f, 0.375f},
    {0.083333336f, 0.625f},
    {0.5833333f, 0.875f},
    // 16
    {0.375f, 0.4375f},
    {0.625f, 0.0625f},
    {0.875f, 0.1875f},
    {0.125f, 0.0625f},
    {0.375f, 0.6875f},
    {0.875f, 0.4375f},
    {0.625f, 0.5625f},
    {0.375f, 0.9375f},
    {0.625f, 0.3125f},
    {0.125f, 0.5625f},
    {0.125f, 0.8125f},
    {0.375f, 0.1875f},
    {0.875f, 0.9375f},
    {0.875f, 0.6875f},
    {0.125f, 0.3125f},
    {0.625f, 0.8125f},
};

// Where each sample count's table starts in kJitter; -1 for counts without a table.
int jitterTableStart(int samples) {
    switch (samples) {
    case 2:
        return 0;
    case 3:
        return 2;
    case 4:
        return 5;
    case 5:
        return 9;
    case 6:
        return 14;
    case 8:
        return 20;
    case 9:
        return 28;
    case 12:
        return 37;
    case 16:
        return 49;
    default:
        return -1;
    }
}

bool moduleReady = false;

// The filter every texture gets from GraphicsInit on: colour and mipmapped.
// The rule that every texture is coloured and mipmapped, once: a display opened again (a new
// size) finds it there, and the rule list does not grow with each opening.
void addDefaultTextureFilter() {
    constexpr int kDefaultFlags = COLORTEXTURE | MIPMAPPEDTEXTURE;
    if (TTextureFilter::filter_list)
        for (const TextureFilterRef& filter : *TTextureFilter::filter_list)
            if (filter && filter->text.empty() && filter->flags == kDefaultFlags) return;
    TTexture::TextureFilter("", kDefaultFlags);
}
// The display context whose GL stacks hold the 2D layer's saved state; 0 while none does.
unsigned savedContext = 0;

bool stateSaved() {
    return savedContext != 0 && savedContext == GraphicsContextId();
}

// The matrix stacks that the hand-over saves, in order; the colour-matrix stack only where the
// imaging subset provides it (selecting it elsewhere is an error, and the push meant for it
// would land on the texture stack a second time).
int handOverMatrixModes(GLenum (&modes)[4]) {
    modes[0] = GL_MODELVIEW;
    modes[1] = GL_PROJECTION;
    modes[2] = GL_TEXTURE;
    modes[3] = GL_COLOR;
    return glstate::Capabilities().imaging ? 4 : 3;
}

void save2DState() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    GLenum modes[4];
    const int n = handOverMatrixModes(modes);
    for (int i = 0; i < n; ++i) {
        glMatrixMode(modes[i]);
        glPushMatrix();
    }
    savedContext = GraphicsContextId();
    glstate::Invalidate(); // the matrix mode changed above
}

void restore2DState() {
    glPopClientAttrib();
    glPopAttrib();
    GLenum modes[4];
    const int n = handOverMatrixModes(modes);
    for (int i = 0; i < n; ++i) {
        glMatrixMode(modes[i]);
        glPopMatrix();
    }
    savedContext = 0;
    glstate::Invalidate(); // the 2D layer's state is back
}

// The engine's 3D settings besides the enables of EnableStates: separate specular colour, a
// local viewer, depth cleared to 1 and tested less-or-equal, the nicest perspective
// correction, and the alpha test's reference for masked textures.
void applyEngineSettings() {
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glClearDepth(1.0);
    glstate::DepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glstate::AlphaFunc(GL_GEQUAL, 0.5f);
}

// The engine's 3D state, applied by End2D and again after a program's own GL calls
// (InvalidateGLState) while it is in force; between Begin2D and End2D the 2D layer's view.
void applyEngineState() {
    TGlobal::EnableStates();
    glstate::TextureEnable(GL_TEXTURE_2D, false);
    applyEngineSettings();
}

// What the engine's drawing relies on and never sets, GL's defaults: back faces culled,
// counter-clockwise front faces, one-sided lighting, colour material tracking ambient and
// diffuse, no emission, the full depth range, every colour channel written, no stencil test. Set
// again only after a program's own calls.
void applyGLDefaultsRelied() {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    const float none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, none);
    glDepthRange(0.0, 1.0);
    glstate::Enable(GL_STENCIL_TEST, false);
}

void reapplyStandingState() {
    if (!stateSaved()) return Reapply2DStandingState();
    applyEngineState();
    applyGLDefaultsRelied();
}

} // namespace

int InitEngineModule() {
    if (moduleReady) return 0;
    moduleReady = true;
    // The runtime modules the engine needs (display driver, extension loader, image decoders,
    // strings) are set up by the platform layer on first use. The jitter table TGlobal::j is a
    // zero-filled static array. Each list below is made only if it is not there yet.
    if (!TEntity::entity_list) TEntity::entity_list = CreateList<EntityRef>();
    if (!TCamera::cam_list) TCamera::cam_list = CreateList<EntityRef>();
    if (TLight::gl_light.empty()) {
        TLight::gl_light = {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_LIGHT3,
                            GL_LIGHT4, GL_LIGHT5, GL_LIGHT6, GL_LIGHT7};
    }
    if (!TLight::light_list) TLight::light_list = CreateList<LightRef>();
    if (!TTexture::tex_list) TTexture::tex_list = CreateList<TextureRef>();
    if (!TTextureFilter::filter_list) TTextureFilter::filter_list = CreateList<TextureFilterRef>();
    if (!TCollision::list) TCollision::list = CreateList<CollisionRef>();
    return 0;
}

bool EngineModuleReady() {
    return moduleReady;
}

void ResetEngine() {
    InitEngineModule();
    ClearList(TEntity::entity_list);
    ClearList(TCamera::cam_list);
    ClearList(TLight::light_list);
    ClearList(TTexture::tex_list);
    ClearList(TTextureFilter::filter_list);
    ClearList(TCollision::list);
    if (GraphicsOpen()) addDefaultTextureFilter();

    TGlobal::ambient_red = TGlobal::ambient_green = TGlobal::ambient_blue = 0.5f;
    TGlobal::aa = 0;
    TGlobal::ACSIZE = 0;
    TGlobal::jitter = 0;
    for (auto& sample : TGlobal::j) sample[0] = sample[1] = 0.0f;

    TLight::no_lights = 0;
    TLight::max_lights = 8;
    TLight::light_no = 0;

    TEntity::tformed_x = TEntity::tformed_y = TEntity::tformed_z = 0.0f;
    TCamera::projected_x = TCamera::projected_y = TCamera::projected_z = 0.0f;
    TPick::picked_x = TPick::picked_y = TPick::picked_z = 0.0f;
    TPick::picked_nx = TPick::picked_ny = TPick::picked_nz = 0.0f;
    TPick::picked_time = 0.0f;
    TPick::picked_ent.reset();
    TPick::picked_surface = nullptr;
    TPick::picked_triangle = 0;

    TCollision::slide_depth = 0;
    TOctree::no_polys_mesh = 0;
    TOctree::no_polys_octree = 0;
    TOctree::no_polys_active = 0;

    TDebug::cno = 0;
    TDebug::info = 1;
    TDebug::bsphere = 0;
    TDebug::sphere = nullptr;
    TDebug::printed.clear();
    TQuendor2D::old_mouse_x = 0;
    TQuendor2D::old_mouse_y = 0;
}

int TGlobal::Graphics3D(int width, int height, int bit_depth, int screen_mode, int hertz) {
    InitEngineModule(); // a no-op once the program has run it, as it should have
    TGlobal::depth = bit_depth;
    TGlobal::mode = screen_mode;
    TGlobal::rate = hertz;
    if (screen_mode != 1) TGlobal::depth = 0;
    // A display opened again keeps its context where it can: the 2D layer's level saved by the
    // last opening comes off the stacks first, or each opening would pile up another. (A bad
    // size is refused before anything changes.)
    if (width > 0 && height > 0 && stateSaved()) restore2DState();
    SetGraphicsDriver(GL2DDriver(), GRAPHICS_BACKBUFFER);
    // A display that cannot be opened ends the program inside Graphics, naming the cause.
    if (!Graphics(width, height, TGlobal::depth, hertz,
                  GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER | GRAPHICS_ACCUMBUFFER))
        RuntimeError("Unable to open the display");
    GraphicsInit();
    return 0;
}

int TGlobal::GraphicsInit() {
    addDefaultTextureFilter();
    if (!GraphicsOpen()) return 0;
    save2DState();
    EnableStates();
    applyEngineSettings();
    glstate::SetStandingState(reapplyStandingState);
    TCamera::FollowDisplay(GraphicsWidth(), GraphicsHeight());
    return 0;
}

int TGlobal::Begin2D() {
    // Only a saved level can be restored: a Begin2D out of turn (or before Graphics3D) would
    // underflow the GL stacks.
    if (!stateSaved()) return 0;
    restore2DState();
    return 0;
}

int TGlobal::End2D() {
    // The stacks hold at most one engine level: an End2D out of turn does nothing.
    if (stateSaved() || !GraphicsOpen()) return 0;
    save2DState();
    applyEngineState();
    return 0;
}

int TGlobal::EnableStates() {
    for (GLenum cap :
         {GL_LIGHTING, GL_DEPTH_TEST, GL_FOG, GL_CULL_FACE, GL_SCISSOR_TEST, GL_NORMALIZE})
        glstate::Enable(cap, true);
    for (GLenum array : {GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_NORMAL_ARRAY})
        glstate::ClientArray(array, true);
    return 0;
}

int TGlobal::AntiAlias(int samples) {
    aa = 1;
    if (samples == 0) {
        aa = 0;
        return 0;
    }
    const int size = samples == 1 ? 2 : samples;
    const int start = jitterTableStart(size);
    if (start < 0) {
        aa = 0;
        ACSIZE = 0;
        return 0;
    }
    ACSIZE = size;
    for (int i = 0; i < ACSIZE; ++i) {
        j[i][0] = kJitter[start + i][0];
        j[i][1] = kJitter[start + i][1];
    }
    return 0;
}

bool TGlobal::AntiAliasing() {
    return aa != 0 && ACSIZE > 0 && glstate::Capabilities().accumBuffer;
}

bool TGlobal::StateSaved() {
    return stateSaved();
}

int TGlobal::Wireframe(int enable) {
    if (!GraphicsOpen()) return 0;
    glstate::PolygonMode(enable != 0 ? GL_LINE : GL_FILL);
    return 0;
}

int TGlobal::AmbientLight(float red, float green, float blue) {
    ambient_red = red / 255.0f;
    ambient_green = green / 255.0f;
    ambient_blue = blue / 255.0f;
    return 0;
}

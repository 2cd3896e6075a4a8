// TMesh::Update: drawing one mesh (or sprite) for the current camera pass.
//
// Each surface is drawn with every piece of its GL state set again (nothing is cached between
// surfaces): depth writes and blending, blend function, effect bits, the vertex arrays, the
// ambient light, the material, up to eight texture layers (filtering, wrapping, coordinate
// generation, environment mode, coordinates and texture matrix), then one indexed draw under the
// mesh's matrix, then the texture units are switched off again.
//
// Inside a MeshDrawBatch (the camera pass) the switching off of a surface's texture units is
// deferred to the next surface or the end of the batch (engine/mesh_draw.h); a mesh drawn alone
// cleans up at once.
//
// Safety: the arrays handed to GL are checked first. A surface whose triangle list runs past
// its index array, or whose triangles name a vertex that one of the arrays GL reads (positions,
// normals, colours, the texture coordinates of a drawn layer) does not hold, draws nothing. A
// texture frame beyond the texture's frames is clamped to its last frame; a freed texture (no GL
// names, or names of a display that has since closed) leaves its layer empty; layers beyond the
// GL's texture units are left out.
#include "engine/mesh_draw.h"
#include "engine/brush.h"
#include "engine/flags.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "engine/sprite.h"
#include "engine/surface.h"
#include "engine/texture.h"
#include "platform/display.h"
#include "platform/internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// What the GL of the open display offers the drawing, looked up once per display.
struct DrawCaps {
    unsigned context = 0;
    int units = 1; // fixed-function texture units usable as layers (at most 8)
    bool multitexture = false;
    bool dot3_ext = false; // the EXT form of the dot-product combine
};

const DrawCaps& drawCaps() {
    static DrawCaps caps;
    const unsigned context = GraphicsContextId();
    if (caps.context == context) return caps;
    caps = DrawCaps{};
    caps.context = context;
    caps.multitexture = glActiveTextureARB != nullptr && glClientActiveTextureARB != nullptr;
    GLint units = 1;
    if (caps.multitexture) glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    caps.units = std::clamp(int(units), 1, TBrush::kMaxLayers);
    if (!caps.multitexture) caps.units = 1;
    caps.dot3_ext = GLEW_EXT_texture_env_dot3 != 0;
    return caps;
}

void selectUnit(const DrawCaps& caps, int layer) {
    if (!caps.multitexture) return;
    glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + layer));
    glClientActiveTextureARB(GLenum(GL_TEXTURE0_ARB + layer));
}

// The texture units the last surface drawn may have left switched on (units 0 .. units - 1),
// under the display `context`; and how many batches are open.
struct PendingUnits {
    unsigned context = 0;
    int units = 0;
};
PendingUnits pending;
int batch_depth = 0;

// Everything a layer switches on, switched off on the unit of layer i.
void clearUnit(const DrawCaps& caps, int i) {
    selectUnit(caps, i);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

// Every unit left on switched off, and the first unit selected again, where texture uploads and
// copies outside drawing expect it.
void clearPending(const DrawCaps& caps) {
    for (int i = 0; i < pending.units; ++i) clearUnit(caps, i);
    pending.units = 0;
    selectUnit(caps, 0);
}

// The entity brush combined with the surface brush.
struct Look {
    float red, green, blue, alpha, shine;
    int blend, fx, frame;
};

Look combine(const TBrush& e, const TBrush* s) {
    Look k{e.red, e.green, e.blue, e.alpha, e.shine, e.blend, e.fx, e.tex_frame};
    if (!s) return k;
    k.red *= s->red;
    k.green *= s->green;
    k.blue *= s->blue;
    k.alpha *= s->alpha;
    if (e.shine == 0.0f)
        k.shine = s->shine;
    else if (s->shine != 0.0f)
        k.shine = e.shine * s->shine;
    if (e.blend == 0) k.blend = s->blend;
    k.fx = e.fx | s->fx;
    k.frame = s->tex_frame;
    return k;
}

// One texture layer to draw: the texture and the GL name of its frame.
struct Layer {
    const TTexture* tex = nullptr;
    GLuint name = 0;
};

// The texture of layer i (entity brush first, then surface brush) with the GL name of the
// frame, clamped to the texture's frames; an empty layer when neither brush has a texture there
// or the texture has no live GL names.
Layer layerAt(const TBrush& e, const TBrush* s, int i, int frame) {
    Layer layer;
    const TTexture* t = e.tex[std::size_t(i)].get();
    if (!t && s) t = s->tex[std::size_t(i)].get();
    if (!t || t->gltex.empty() || t->gl_context == 0 || t->gl_context != GraphicsContextId())
        return layer;
    const int last = int(t->gltex.size()) - 1;
    const GLuint name = t->gltex[std::size_t(std::clamp(frame, 0, last))];
    if (name == 0) return layer;
    layer.tex = t;
    layer.name = name;
    return layer;
}

const std::vector<float>& texCoordsOf(const TSurface& s, const TTexture& t) {
    return t.coords == 0 ? s.vert_tex_coords0 : s.vert_tex_coords1;
}

// True when the surface's triangles can be drawn from the arrays without reading outside them.
bool drawable(const TSurface& s, const std::vector<float>& coords, const Layer* layers,
              int no_layers) {
    if (s.no_tris < 0 || s.no_verts < 0) return false;
    const std::size_t count = std::size_t(s.no_tris) * 3;
    if (count > s.tris.size()) return false;
    std::size_t verts = std::size_t(s.no_verts);
    verts = std::min(verts, coords.size() / 3);
    verts = std::min(verts, s.vert_norm.size() / 3);
    verts = std::min(verts, s.vert_col.size() / 4);
    for (int i = 0; i < no_layers; ++i) {
        if (layers[i].tex) verts = std::min(verts, texCoordsOf(s, *layers[i].tex).size() / 2);
    }
    std::uint16_t highest = 0;
    const std::uint16_t* tris = s.tris.data();
    for (std::size_t i = 0; i < count; ++i) highest = std::max(highest, tris[i]);
    return count == 0 || std::size_t(highest) < verts;
}

void textureParameters2D(int flags) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    (flags & MIPMAPPEDTEXTURE) ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                    (flags & CLAMPUTEXTURE) ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T,
                    (flags & CLAMPVTEXTURE) ? GL_CLAMP_TO_EDGE : GL_REPEAT);
}

void cubeMapSettings(const TTexture& t, GLuint name) {
    glEnable(GL_TEXTURE_CUBE_MAP);
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
    GLint mode = 0;
    if (t.cube_mode == 1) mode = GL_REFLECTION_MAP;
    if (t.cube_mode == 2) mode = GL_NORMAL_MAP;
    if (mode != 0) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, mode);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, mode);
        glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, mode);
    }
}

// The texture environment of the layer's unit for the texture blend mode.
void textureEnvironment(int blend, const DrawCaps& caps) {
    switch (blend) {
    case 0:
    case REPLACETEXTUREBLEND:
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, float(GL_REPLACE));
        break;
    case ADDTEXTUREBLEND:
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, float(GL_ADD));
        break;
    case DOT3TEXTUREBLEND:
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, float(GL_COMBINE));
        glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB,
                  float(caps.dot3_ext ? GL_DOT3_RGB_EXT : GL_DOT3_RGB));
        // A scale left by the doubling mode on this unit must not double the dot product.
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
        break;
    case MULTIPLY2TEXTUREBLEND:
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, float(GL_COMBINE));
        glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB, float(GL_MODULATE));
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 2.0f);
        break;
    default:
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, float(GL_MODULATE));
        break;
    }
}

// The texture matrix of the layer's unit: offset, rotation, scale and, for a cube map, the turn
// that carries eye-space directions back into world directions.
void textureMatrix(const TTexture& t, bool cube) {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (t.u_pos != 0.0f || t.v_pos != 0.0f) glTranslatef(t.u_pos, t.v_pos, 0.0f);
    if (t.angle != 0.0f) glRotatef(t.angle, 0.0f, 0.0f, 1.0f);
    if (t.u_scale != 0.0f || t.v_scale != 0.0f) glScalef(t.u_scale, t.v_scale, 1.0f);
    if (!cube) return;
    glScalef(1.0f, -1.0f, -1.0f);
    double view[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, view);
    TMatrix turn;
    turn.LoadIdentity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) turn.grid[i][j] = float(view[j * 4 + i]);
    glMultMatrixf(turn.data());
}

// Binds one texture layer to its unit and sets its filter, wrap, texture-coordinate set,
// texture matrix and blend mode.
void setLayer(const TSurface& s, const Layer& layer, const DrawCaps& caps) {
    const TTexture& t = *layer.tex;
    const int flags = t.flags;
    // A cube map's name belongs to the cube-map target only: binding it to the 2D target is an
    // error, and the 2D filter and wrap settings would land on whatever 2D texture is bound.
    const bool cube = t.cube_map;
    if (!cube) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, layer.name);
    }
    if (flags & MASKEDTEXTURE) glEnable(GL_ALPHA_TEST);
    if (!cube) textureParameters2D(flags);
    if (flags & SPHEREMAPTEXTURE) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    } else {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
    if (cube) {
        glDisable(GL_TEXTURE_2D); // perhaps left on by the surface before (a deferred clean-up)
        cubeMapSettings(t, layer.name);
    } else {
        glDisable(GL_TEXTURE_CUBE_MAP);
        glDisable(GL_TEXTURE_GEN_R);
    }
    textureEnvironment(t.blend, caps);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoordsOf(s, t).data());
    textureMatrix(t, cube);
}

struct SurfaceDraw {
    const TMesh& mesh;
    const TBrush& entity_brush;
    const float* matrix; // sprite_mat or mat
    const DrawCaps& caps;
    bool fog_was_on;
};

void drawSurface(const SurfaceDraw& d, const SurfaceRef& surf, const TSurface* anim_surf) {
    const TSurface& s = *surf;
    const TBrush* sb = s.brush.get();
    // 1-2. The combined look, faded.
    Look look = combine(d.entity_brush, sb);
    look.alpha -= d.mesh.fade_alpha;

    // Blending and depth writes.
    if (d.mesh.Alpha(surf) == 1) {
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
    } else {
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
    }
    // Blend function; other modes keep the one before.
    switch (look.blend) {
    case 0:
    case ALPHABRUSHBLEND:
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case MULTIPLYBRUSHBLEND:
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    case ADDBRUSHBLEND:
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    default:
        break;
    }
    // Effect bits.
    const bool full_bright = (look.fx & FULLBRIGHTFX) != 0;
    if (look.fx & VERTEXCOLORFX)
        glEnable(GL_COLOR_MATERIAL);
    else
        glDisable(GL_COLOR_MATERIAL);
    glShadeModel((look.fx & FLATSHADEFX) ? GL_FLAT : GL_SMOOTH);
    if (look.fx & NOFOGFX) glDisable(GL_FOG);
    if (look.fx & NOCULLFX)
        glDisable(GL_CULL_FACE);
    else
        glEnable(GL_CULL_FACE);

    // Vertex arrays: posed positions from the animated surface while the animation renders.
    const std::vector<float>& coords =
        (d.mesh.anim_render != 0 && anim_surf) ? anim_surf->vert_coords : s.vert_coords;
    glVertexPointer(3, GL_FLOAT, 0, coords.data());
    glColorPointer(4, GL_FLOAT, 0, s.vert_col.data());
    glNormalPointer(GL_FLOAT, 0, s.vert_norm.data());

    // 7-8. Ambient light and material.
    const float ambient[4] = {full_bright ? 1.0f : TGlobal::ambient_red,
                              full_bright ? 1.0f : TGlobal::ambient_green,
                              full_bright ? 1.0f : TGlobal::ambient_blue, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    const float colour[4] = {look.red, look.green, look.blue, look.alpha};
    const float specular[4] = {look.shine, look.shine, look.shine, look.shine};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 100.0f);

    // Texture layers. The alpha test is on only while a surface with a masked layer draws.
    int no_layers = std::max(d.entity_brush.no_texs, sb ? sb->no_texs : 0);
    no_layers = std::clamp(no_layers, 0, d.caps.units);
    Layer layers[TBrush::kMaxLayers];
    for (int i = 0; i < no_layers; ++i) layers[i] = layerAt(d.entity_brush, sb, i, look.frame);
    // Units a surface before this one left on and this one does not set (switched off here rather
    // than after each draw).
    for (int i = 0; i < pending.units; ++i) {
        if (i >= no_layers || !layers[i].tex) clearUnit(d.caps, i);
    }
    pending.units = no_layers;
    glDisable(GL_ALPHA_TEST);
    for (int i = 0; i < no_layers; ++i) {
        if (!layers[i].tex) continue;
        selectUnit(d.caps, i);
        setLayer(s, layers[i], d.caps);
    }

    // 10-12. The triangles under the mesh's matrix, unless they would read outside the arrays.
    glMatrixMode(GL_MODELVIEW);
    if (s.no_tris > 0 && drawable(s, coords, layers, no_layers)) {
        glPushMatrix();
        glMultMatrixf(d.matrix);
        glDrawElements(GL_TRIANGLES, GLsizei(s.no_tris) * 3, GL_UNSIGNED_SHORT, s.tris.data());
        glPopMatrix();
    }

    // 13-14. Texture units off again (at the end of the batch when one is open), alpha test
    // off, fog back.
    if (batch_depth == 0) clearPending(d.caps);
    glDisable(GL_ALPHA_TEST);
    if (d.fog_was_on) glEnable(GL_FOG);
}

} // namespace

int TMesh::Update() {
    if (!GraphicsOpen()) return 0;
    const DrawCaps& caps = drawCaps();
    if (pending.context != caps.context) pending = PendingUnits{caps.context, 0};
    const bool fog_was_on = glIsEnabled(GL_FOG) == GL_TRUE;
    if (order != 0) {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    } else {
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
    }
    // A freed mesh has no brush (and a zero matrix): nothing to draw.
    if (!brush) return 0;
    const auto* sprite = dynamic_cast<const TSprite*>(this);
    const SurfaceDraw d{*this, *brush, sprite ? sprite->sprite_mat.data() : mat.data(), caps,
                        fog_was_on};
    ForEachSurfaceWithAnimated([&](const SurfaceRef& surf, const TSurface* anim_surf) {
        if (surf) drawSurface(d, surf, anim != 0 ? anim_surf : nullptr);
    });
    return 0;
}

void ForgetMeshDrawState() {
    pending = PendingUnits{};
    batch_depth = 0;
}

MeshDrawBatch::MeshDrawBatch() {
    ++batch_depth;
}

MeshDrawBatch::~MeshDrawBatch() {
    if (--batch_depth > 0 || pending.units == 0) return;
    if (GraphicsOpen() && pending.context == GraphicsContextId()) clearPending(drawCaps());
    pending.units = 0;
}

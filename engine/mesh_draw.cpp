// TMesh::Update: drawing one mesh (or sprite) for the current camera pass.
//
// Each surface states the whole GL state its draw needs: depth writes and blending, blend
// function, effect bits, the vertex arrays, the ambient light, the material, and for every
// texture unit either its layer (texture, coordinate generation, environment mode, coordinates
// and texture matrix) or nothing; then one indexed draw under the mesh's matrix. The GL state
// record (platform/gl_state.h) passes on only what differs from the draw before, so a run of
// surfaces that look alike costs the GL driver one draw each. A texture's filtering and wrapping
// belong to its GL textures and are set when its flags change (TTexture::ApplySampling), not
// per draw.
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
#include "engine/surface.h"
#include "engine/texture.h"
#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

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

// The coordinate generation and texture matrix of the layer's unit for a cube map.
void cubeMapSettings(const TTexture& t, GLuint name) {
    glstate::TextureEnable(GL_TEXTURE_CUBE_MAP, true);
    glstate::BindTexture(GL_TEXTURE_CUBE_MAP, name);
    glstate::TextureEnable(GL_TEXTURE_GEN_S, true);
    glstate::TextureEnable(GL_TEXTURE_GEN_T, true);
    glstate::TextureEnable(GL_TEXTURE_GEN_R, true);
    GLint mode = 0;
    if (t.cube_mode == 1) mode = GL_REFLECTION_MAP;
    if (t.cube_mode == 2) mode = GL_NORMAL_MAP;
    if (mode != 0) {
        glstate::TexGenMode(GL_S, mode);
        glstate::TexGenMode(GL_T, mode);
        glstate::TexGenMode(GL_R, mode);
    }
}

// The texture environment of the layer's unit for the texture blend mode.
void textureEnvironment(int blend) {
    switch (blend) {
    case 0:
    case REPLACETEXTUREBLEND:
        glstate::TexEnvMode(GL_REPLACE);
        break;
    case ADDTEXTUREBLEND:
        glstate::TexEnvMode(GL_ADD);
        break;
    case DOT3TEXTUREBLEND:
        glstate::TexEnvMode(GL_COMBINE);
        glstate::TexEnvCombineRGB(glstate::Capabilities().dot3Ext ? GL_DOT3_RGB_EXT : GL_DOT3_RGB);
        // A scale left by the doubling mode on this unit must not double the dot product.
        glstate::TexEnvRGBScale(1.0f);
        break;
    case MULTIPLY2TEXTUREBLEND:
        glstate::TexEnvMode(GL_COMBINE);
        glstate::TexEnvCombineRGB(GL_MODULATE);
        glstate::TexEnvRGBScale(2.0f);
        break;
    default:
        glstate::TexEnvMode(GL_MODULATE);
        break;
    }
}

// The texture matrix of the layer's unit: offset, rotation, scale and, for a cube map, the turn
// that carries eye-space directions back into world directions. Leaves the model-view matrix
// selected.
void textureMatrix(const TTexture& t, bool cube) {
    if (!cube && t.u_pos == 0.0f && t.v_pos == 0.0f && t.angle == 0.0f) {
        glstate::TextureMatrixScale(t.u_scale, t.v_scale);
        return;
    }
    glstate::MatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (t.u_pos != 0.0f || t.v_pos != 0.0f) glTranslatef(t.u_pos, t.v_pos, 0.0f);
    if (t.angle != 0.0f) glRotatef(t.angle, 0.0f, 0.0f, 1.0f);
    if (t.u_scale != 0.0f || t.v_scale != 0.0f) glScalef(t.u_scale, t.v_scale, 1.0f);
    if (cube) {
        glScalef(1.0f, -1.0f, -1.0f);
        double view[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, view);
        TMatrix turn;
        turn.LoadIdentity();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) turn.grid[i][j] = float(view[j * 4 + i]);
        glMultMatrixf(turn.data());
    }
    glstate::TextureMatrixSet();
    glstate::MatrixMode(GL_MODELVIEW);
}

// The state of the unit selected for one texture layer: its texture bound and enabled, its
// coordinate generation, environment, coordinates and matrix.
void setLayer(const TSurface& s, const Layer& layer) {
    const TTexture& t = *layer.tex;
    const int flags = t.flags;
    if (t.sampling_flags != flags) t.ApplySampling();
    // A cube map's name belongs to the cube-map target only: binding it to the 2D target is an
    // error.
    const bool cube = t.cube_map;
    if (cube) {
        glstate::TextureEnable(GL_TEXTURE_2D, false);
        if (flags & SPHEREMAPTEXTURE) {
            // What a cube map's own mode leaves alone (a mode other than 1 or 2).
            glstate::TexGenMode(GL_S, GL_SPHERE_MAP);
            glstate::TexGenMode(GL_T, GL_SPHERE_MAP);
        }
        cubeMapSettings(t, layer.name);
    } else {
        glstate::TextureEnable(GL_TEXTURE_2D, true);
        glstate::BindTexture(GL_TEXTURE_2D, layer.name);
        glstate::TextureEnable(GL_TEXTURE_CUBE_MAP, false);
        glstate::TextureEnable(GL_TEXTURE_GEN_R, false);
        const bool sphere = (flags & SPHEREMAPTEXTURE) != 0;
        if (sphere) {
            glstate::TexGenMode(GL_S, GL_SPHERE_MAP);
            glstate::TexGenMode(GL_T, GL_SPHERE_MAP);
        }
        glstate::TextureEnable(GL_TEXTURE_GEN_S, sphere);
        glstate::TextureEnable(GL_TEXTURE_GEN_T, sphere);
    }
    textureEnvironment(t.blend);
    glstate::TexCoordArray(true);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoordsOf(s, t).data());
    textureMatrix(t, cube);
}

// Open camera passes (MeshDrawPass).
int pass_depth = 0;

// What surfaces leave on, switched off: every texture unit, the alpha test; unit 0 selected,
// where texture uploads and copies outside drawing work.
void endDrawing() {
    if (!GraphicsOpen()) return;
    for (int i = glstate::Capabilities().textureUnits - 1; i >= 0; --i)
        glstate::ClearTextureUnit(i);
    glstate::ActiveTexture(0);
    glstate::Enable(GL_ALPHA_TEST, false);
}

struct SurfaceDraw {
    const TMesh& mesh;
    const TBrush& entity_brush;
    const float* matrix; // sprite_mat or mat
    bool fog_on;         // the camera's fog
};

void drawSurface(const SurfaceDraw& d, const SurfaceRef& surf, const TSurface* anim_surf) {
    const TSurface& s = *surf;
    const TBrush* sb = s.brush.get();
    // The combined look, faded.
    Look look = combine(d.entity_brush, sb);
    look.alpha -= d.mesh.fade_alpha;

    // Blending and depth writes.
    const bool translucent = d.mesh.Alpha(surf) == 1;
    glstate::Enable(GL_BLEND, translucent);
    glstate::DepthMask(!translucent);
    // Blend function; other modes keep the one before.
    switch (look.blend) {
    case 0:
    case ALPHABRUSHBLEND:
        glstate::BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case MULTIPLYBRUSHBLEND:
        glstate::BlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    case ADDBRUSHBLEND:
        glstate::BlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    default:
        break;
    }
    // Effect bits.
    const bool full_bright = (look.fx & FULLBRIGHTFX) != 0;
    glstate::Enable(GL_COLOR_MATERIAL, (look.fx & VERTEXCOLORFX) != 0);
    glstate::ShadeModel((look.fx & FLATSHADEFX) ? GL_FLAT : GL_SMOOTH);
    glstate::Enable(GL_FOG, d.fog_on && !(look.fx & NOFOGFX));
    glstate::Enable(GL_CULL_FACE, !(look.fx & NOCULLFX));

    // Vertex arrays: posed positions from the animated surface while the animation renders.
    const std::vector<float>& coords =
        (d.mesh.anim_render != 0 && anim_surf) ? anim_surf->vert_coords : s.vert_coords;
    glVertexPointer(3, GL_FLOAT, 0, coords.data());
    glColorPointer(4, GL_FLOAT, 0, s.vert_col.data());
    glNormalPointer(GL_FLOAT, 0, s.vert_norm.data());

    // Ambient light and material.
    const float ambient[4] = {full_bright ? 1.0f : TGlobal::ambient_red,
                              full_bright ? 1.0f : TGlobal::ambient_green,
                              full_bright ? 1.0f : TGlobal::ambient_blue, 1.0f};
    glstate::LightModelAmbient(ambient);
    const float colour[4] = {look.red, look.green, look.blue, look.alpha};
    const float specular[4] = {look.shine, look.shine, look.shine, look.shine};
    glstate::Material(GL_AMBIENT, colour);
    glstate::Material(GL_DIFFUSE, colour);
    glstate::Material(GL_SPECULAR, specular);
    glstate::MaterialShininess(100.0f);

    // Texture layers, and every other unit off. The alpha test is on only while a surface with
    // a masked layer draws.
    const int units = glstate::Capabilities().textureUnits;
    int no_layers = std::max(d.entity_brush.no_texs, sb ? sb->no_texs : 0);
    no_layers = std::clamp(no_layers, 0, units);
    Layer layers[TBrush::kMaxLayers];
    bool masked = false;
    for (int i = 0; i < no_layers; ++i) {
        layers[i] = layerAt(d.entity_brush, sb, i, look.frame);
        if (layers[i].tex && (layers[i].tex->flags & MASKEDTEXTURE)) masked = true;
    }
    glstate::Enable(GL_ALPHA_TEST, masked);
    for (int i = units - 1; i >= 0; --i) {
        if (i < no_layers && layers[i].tex) {
            glstate::ActiveTexture(i);
            setLayer(s, layers[i]);
        } else {
            glstate::ClearTextureUnit(i);
        }
    }
    glstate::MatrixMode(GL_MODELVIEW);
    glstate::CheckGLState();

    // The triangles under the mesh's matrix, unless they would read outside the arrays.
    if (s.no_tris > 0 && drawable(s, coords, layers, no_layers)) {
        glPushMatrix();
        glMultMatrixf(d.matrix);
        glDrawElements(GL_TRIANGLES, GLsizei(s.no_tris) * 3, GL_UNSIGNED_SHORT, s.tris.data());
        glPopMatrix();
        glstate::DrawDone();
    }
}

} // namespace

int TMesh::Update() {
    if (!GraphicsOpen()) return 0;
    const bool fog_on = glstate::Enabled(GL_FOG);
    glstate::Enable(GL_DEPTH_TEST, order == 0);
    glstate::DepthMask(order == 0);
    // A freed mesh has no brush (and a zero matrix): nothing to draw.
    if (!brush) return 0;
    const SurfaceDraw d{*this, *brush, DrawMatrix().data(), fog_on};
    ForEachSurfaceWithAnimated([&](const SurfaceRef& surf, const TSurface* anim_surf) {
        if (surf) drawSurface(d, surf, anim != 0 ? anim_surf : nullptr);
    });
    glstate::Enable(GL_FOG, fog_on); // as the camera set it, for the meshes after this one
    if (pass_depth == 0) endDrawing();
    return 0;
}

MeshDrawPass::MeshDrawPass() {
    ++pass_depth;
}

MeshDrawPass::~MeshDrawPass() {
    if (--pass_depth == 0) endDrawing();
}

void MeshDrawPass::Prefetch(const TMesh& mesh, int stage) {
    const auto lines = [](const void* object, std::size_t size) {
        const char* p = static_cast<const char*>(object);
        for (std::size_t at = 0; at < size; at += 64) __builtin_prefetch(p + at);
    };
    if (stage == 0) {
        lines(&mesh, sizeof(TMesh));
        return;
    }
    if (mesh.brush) lines(mesh.brush.get(), sizeof(TBrush));
    if (mesh.surf_list) lines(mesh.surf_list.get(), sizeof(*mesh.surf_list));
}

// The render pipeline: RenderWorld and its anti-aliased form, one camera pass, distance fading
// and the ordering of the render list.
#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "engine/mesh_draw.h"
#include "engine/render_order.h"
#include "engine/sprite.h"
#include "engine/texture.h"
#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Every camera of the camera list that is not hidden gets its pass, in list order; target_y as
// for TCamera::Update.
void renderCameras(int target_y = 0) {
    if (!TCamera::cam_list) return;
    for (const EntityRef& e : *TCamera::cam_list) {
        CameraRef cam = std::dynamic_pointer_cast<TCamera>(e);
        if (!cam || cam->EntityHidden() == 1) continue;
        TGlobal::RenderCamera(cam, target_y);
    }
}

// Runs an accumulation-buffer step over the whole display: the camera passes leave the scissor
// test on with the last camera's viewport, which would limit the step to that rectangle.
template <class Step> void overWholeDisplay(Step step) {
    const bool scissor = glstate::Enabled(GL_SCISSOR_TEST);
    glstate::Enable(GL_SCISSOR_TEST, false);
    step();
    glstate::Enable(GL_SCISSOR_TEST, scissor);
}

// The meshes of one camera pass in drawing order, with the storage that puts them in order. The
// vectors keep their capacity from pass to pass: a pass allocates nothing once they have grown.
struct PassOrder {
    std::vector<TMesh*> shown;                    // shown and in the frustum, in entity order
    std::vector<TMesh*> drawn;                    // the render list's order, then drawing order
    std::vector<std::pair<int, TMesh*>> by_order; // positive, then negative orders
    std::vector<std::pair<float, TMesh*>> by_key; // translucent, then opaque by distance

    void Clear() {
        shown.clear();
        drawn.clear();
    }
};

// The storage of the pass under way; a pass started inside another (none does today) takes
// storage of its own.
PassOrder passStorage;
bool passStorageBusy = false;

bool opaqueInList(const TMesh& m) {
    return m.order == 0 && m.alpha_order <= 0.0f;
}

// The render list that RenderListAdd builds from `shown`, built by sorting each of its four
// runs: positive orders (highest first, the newest first among equals), opaque meshes of order
// 0 (the newest first), translucent ones (far to near, the oldest first among equals) and
// negative orders (highest first, the oldest first among equals). Where RenderListAdd's walks
// would not keep to those runs (a translucent mesh of positive order, which a translucent mesh
// of order 0 may pass, or a distance that is not a number) the list is built by RenderListAdd
// itself.
void renderListOrder(PassOrder& o) {
    bool runs = true;
    for (const TMesh* m : o.shown) {
        if ((m->order > 0 && m->alpha_order > 0.0f) || m->alpha_order != m->alpha_order) {
            runs = false;
            break;
        }
    }
    if (!runs) {
        TList<MeshRef> list;
        for (TMesh* m : o.shown)
            TGlobal::RenderListAdd(std::static_pointer_cast<TMesh>(m->shared_from_this()), list);
        list.ForEachWhileUnchanged([&o](const MeshRef& m) { o.drawn.push_back(m.get()); });
        return;
    }
    const auto byOrder = [&o](bool positive) {
        o.by_order.clear();
        for (TMesh* m : o.shown)
            if (positive ? m->order > 0 : m->order < 0) o.by_order.emplace_back(m->order, m);
        // Newest first among equal positive orders.
        if (positive) std::reverse(o.by_order.begin(), o.by_order.end());
        std::stable_sort(o.by_order.begin(), o.by_order.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& entry : o.by_order) o.drawn.push_back(entry.second);
    };
    byOrder(true);
    const std::size_t opaque_start = o.drawn.size();
    for (TMesh* m : o.shown)
        if (m->order == 0 && opaqueInList(*m)) o.drawn.push_back(m);
    std::reverse(o.drawn.begin() + std::ptrdiff_t(opaque_start), o.drawn.end());
    o.by_key.clear();
    for (TMesh* m : o.shown)
        if (m->order == 0 && !opaqueInList(*m)) o.by_key.emplace_back(m->alpha_order, m);
    std::stable_sort(o.by_key.begin(), o.by_key.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& entry : o.by_key) o.drawn.push_back(entry.second);
    byOrder(false);
}

// The render list's opaque meshes (order 0, not translucent), which sit together between the
// meshes ordered first and the translucent ones, put nearest first: the depth test then rejects
// the pixels of meshes hidden behind others before they are shaded. The depth test decides
// between them, so their order shows only where faces of two opaque meshes lie at the same
// depth: there the one drawn last (now the one whose origin is farther) keeps the pixel.
void nearestOpaqueFirst(const TCamera& cam, PassOrder& o) {
    const auto opaque = [](const TMesh* m) { return opaqueInList(*m); };
    const auto first = std::find_if(o.drawn.begin(), o.drawn.end(), opaque);
    const auto last = std::find_if_not(first, o.drawn.end(), opaque);
    if (last - first < 2) return;
    o.by_key.clear();
    for (auto it = first; it != last; ++it)
        o.by_key.emplace_back(cam.EntityDistanceSquared(**it), *it);
    std::stable_sort(o.by_key.begin(), o.by_key.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto it = first; it != last; ++it) *it = o.by_key[std::size_t(it - first)].second;
}

} // namespace

int TGlobal::RenderWorld() {
    if (!GraphicsOpen() || !StateSaved()) return 0;
    if (AntiAliasing()) return RenderWorldAA();
    renderCameras();
    return 0;
}

int TGlobal::RenderWorldAA() {
    if (!GraphicsOpen() || !StateSaved()) return 0;
    const int samples = ACSIZE;
    if (samples <= 0 || samples > 16 || !accum_buffer) {
        renderCameras();
        return 0;
    }
    overWholeDisplay([] { glClear(GL_ACCUM_BUFFER_BIT); });
    const float weight = 1.0f / float(samples);
    for (jitter = 0; jitter < samples; ++jitter) {
        renderCameras();
        overWholeDisplay([weight] { glAccum(GL_ACCUM, weight); });
    }
    jitter = 0;
    overWholeDisplay([] { glAccum(GL_RETURN, 1.0f); });
    glFlush();
    return 0;
}

int TGlobal::RenderWorldToCubeTex(const TextureRef& texture) {
    if (!texture || !texture->cube_map || texture->cube_face < 0 || texture->cube_face > 5 ||
        !GraphicsOpen() || !StateSaved())
        return 0;
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    if (AntiAliasing() || !texture->DrawIntoCubeFace()) {
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
        RenderWorld();
        texture->BackBufferToCubeTex(0);
        return 0;
    }
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    // The faces' alpha stays 1, as a copy from a display without alpha reads it.
    if (!alpha_buffer) glColorMask(mask[0], mask[1], mask[2], GL_FALSE);
    renderCameras(height - texture->height);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    return 0;
}

int TGlobal::RenderCamera(const CameraRef& cam, int target_y) {
    if (!cam) return 0;
    cam->Update(target_y);
    if (TLight::light_list) {
        for (const LightRef& light : *TLight::light_list) {
            if (light) light->Update();
        }
    }
    PassOrder own;
    PassOrder& o = passStorageBusy ? own : passStorage;
    const bool took_storage = !passStorageBusy;
    passStorageBusy = true;
    o.Clear();
    if (TEntity::entity_list) {
        // Nothing below adds or removes entities.
        TEntity::entity_list->ForEachWhileUnchanged([&](const EntityRef& e) {
            TMesh* mesh = e ? e->AsMesh() : nullptr;
            if (!mesh || mesh->EntityHidden() == 1) return;
            mesh->GetBounds();
            // Any positive frustum value means some part of the mesh is inside: it is drawn (a
            // value that is not a number is culled).
            const float in_frustum = cam->EntityInFrustum(e);
            if (!(in_frustum > 0.0f)) return;
            if (mesh->auto_fade == 1) AutoFade(cam, e);
            mesh->alpha_order =
                mesh->Alpha(nullptr) != 0 ? cam->EntityDistanceSquared(*mesh) : 0.0f;
            o.shown.push_back(mesh);
        });
    }
    renderListOrder(o);
    TSprite::UpdateSprites(cam, o.drawn);
    nearestOpaqueFirst(*cam, o);
    // A scissored pass leaves out the meshes that lie wholly outside the box: they would draw
    // nothing. The order of the others is the one worked out above for all.
    if (cam->scissored)
        std::erase_if(o.drawn,
                      [&cam](const TMesh* m) { return !cam->SphereInScissor(m->CullSphere()); });
    {
        MeshDrawPass pass;
        const std::size_t n = o.drawn.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (i + 2 < n) MeshDrawPass::Prefetch(*o.drawn[i + 2], 0);
            if (i + 1 < n) MeshDrawPass::Prefetch(*o.drawn[i + 1], 1);
            o.drawn[i]->Update();
        }
    }
    o.Clear();
    if (took_storage) passStorageBusy = false;
    return 0;
}

int TGlobal::AutoFade(const CameraRef& cam, const EntityRef& ent) {
    if (!cam || !ent) return 0;
    const float d = cam->EntityDistance(ent);
    if (d > ent->fade_near && d < ent->fade_far) {
        ent->fade_alpha = (d - ent->fade_near) / (ent->fade_far - ent->fade_near);
    } else if (d <= ent->fade_near) {
        ent->fade_alpha = 0.0f;
    } else {
        ent->fade_alpha = 1.0f;
    }
    return 0;
}

int TGlobal::RenderListAdd(const MeshRef& mesh, TList<MeshRef>& list) {
    if (!mesh) return 0;
    using LinkRef = TList<MeshRef>::LinkRef;
    const int order = mesh->order;
    if (order > 0) {
        // Before the first entry of an equal or lower order.
        LinkRef link = list.FirstLink();
        while (link && link->Value()->order > order) link = link->NextLink();
        list.InsertBeforeLink(mesh, link);
    } else if (order < 0) {
        // After the last entry of an equal or higher order.
        LinkRef link = list.LastLink();
        while (link && link->Value()->order < order) link = link->PrevLink();
        list.InsertAfterLink(mesh, link);
    } else if (mesh->alpha_order <= 0.0f) {
        // Opaque: before the first entry of order 0 or below.
        LinkRef link = list.FirstLink();
        while (link && link->Value()->order > 0) link = link->NextLink();
        list.InsertBeforeLink(mesh, link);
    } else {
        // Translucent: from the back, past the negative orders, after the first entry that is
        // opaque or not nearer.
        LinkRef link = list.LastLink();
        while (link) {
            const TMesh& m = *link->Value();
            if (m.order >= 0 && (m.alpha_order >= mesh->alpha_order || m.alpha_order == 0.0f))
                break;
            link = link->PrevLink();
        }
        list.InsertAfterLink(mesh, link);
    }
    return 0;
}

std::vector<TMesh*> RenderListOrder(std::span<TMesh* const> meshes) {
    PassOrder o;
    o.shown.assign(meshes.begin(), meshes.end());
    renderListOrder(o);
    return std::move(o.drawn);
}

int TGlobal::UpdateSprites(const CameraRef& cam, const TList<MeshRef>& list) {
    return TSprite::UpdateSprites(cam, list);
}

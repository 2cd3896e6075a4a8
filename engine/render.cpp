// The render pipeline: RenderWorld and its anti-aliased form, one camera pass, distance fading
// and the ordering of the render list.
#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "engine/mesh_draw.h"
#include "engine/sprite.h"
#include "engine/texture.h"
#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"

#include <GL/glew.h>

#include <algorithm>
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

// The render list in its order, except that its opaque meshes (order 0, not translucent), which
// sit together between the meshes ordered first and the translucent ones, come nearest first:
// the depth test then rejects the pixels of meshes hidden behind others before they are shaded.
// The depth test decides between them, so their order shows only where faces of two opaque
// meshes lie at the same depth: there the one drawn last (now the one whose origin is farther)
// keeps the pixel.
std::vector<MeshRef> nearestOpaqueFirst(const CameraRef& cam, const TList<MeshRef>& list) {
    std::vector<MeshRef> meshes;
    for (const MeshRef& mesh : list) meshes.push_back(mesh);
    const auto opaque = [](const MeshRef& m) { return m->order == 0 && m->alpha_order <= 0.0f; };
    const auto first = std::find_if(meshes.begin(), meshes.end(), opaque);
    const auto last = std::find_if_not(first, meshes.end(), opaque);
    if (last - first < 2) return meshes;
    std::vector<std::pair<float, MeshRef>> byDistance;
    byDistance.reserve(std::size_t(last - first));
    for (auto it = first; it != last; ++it)
        byDistance.emplace_back(cam->EntityDistanceSquared(*it), *it);
    std::stable_sort(byDistance.begin(), byDistance.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto it = first; it != last; ++it)
        *it = std::move(byDistance[std::size_t(it - first)].second);
    return meshes;
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
    TList<MeshRef> list;
    if (TEntity::entity_list) {
        for (const EntityRef& e : *TEntity::entity_list) {
            MeshRef mesh = std::dynamic_pointer_cast<TMesh>(e);
            if (!mesh || mesh->EntityHidden() == 1) continue;
            mesh->GetBounds();
            // Any positive frustum value means some part of the mesh is inside: it is drawn (a
            // value that is not a number is culled).
            const float in_frustum = cam->EntityInFrustum(mesh);
            if (!(in_frustum > 0.0f)) continue;
            if (mesh->auto_fade == 1) AutoFade(cam, mesh);
            mesh->alpha_order = mesh->Alpha(nullptr) != 0 ? cam->EntityDistanceSquared(mesh) : 0.0f;
            RenderListAdd(mesh, list);
        }
    }
    UpdateSprites(cam, list);
    MeshDrawPass pass;
    for (const MeshRef& mesh : nearestOpaqueFirst(cam, list)) mesh->Update();
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

int TGlobal::UpdateSprites(const CameraRef& cam, const TList<MeshRef>& list) {
    return TSprite::UpdateSprites(cam, list);
}

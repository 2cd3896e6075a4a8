// TEntity's appearance and render settings: the entity brush, fading, drawing order, the cull
// radius and the bounding sphere.
#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/mesh.h"
#include "engine/surface.h"

#include <algorithm>
#include <cmath>

int TEntity::EntityColor(float red, float green, float blue) {
    if (brush) brush->BrushColor(red, green, blue);
    return 0;
}

int TEntity::EntityAlpha(float alpha) {
    if (brush) brush->alpha = alpha;
    return 0;
}

int TEntity::EntityShininess(float shine) {
    if (brush) brush->shine = shine;
    return 0;
}

int TEntity::EntityTexture(const TextureRef& texture, int frame, int index) {
    // Programs pass on whatever LoadTexture gave them, so a texture that failed to load leaves
    // the brush as it was.
    if (!brush || !texture) return 0;
    brush->BrushTexture(texture, frame, index);
    return 0;
}

int TEntity::EntityBlend(int blend) {
    if (brush) brush->blend = blend;
    if (const auto* mesh = dynamic_cast<const TMesh*>(this)) {
        for (const SurfaceRef& s : *mesh->surf_list) {
            if (s && s->brush) s->brush->blend = blend;
        }
    }
    return 0;
}

int TEntity::EntityFX(int fx) {
    if (brush) brush->fx = fx;
    return 0;
}

int TEntity::EntityAutoFade(float near_distance, float far_distance) {
    auto_fade = 1;
    fade_near = near_distance;
    fade_far = far_distance;
    return 0;
}

int TEntity::PaintEntity(const BrushRef& source) {
    if (!brush || !source) return 0;
    brush->PaintFrom(*source);
    return 0;
}

int TEntity::EntityOrder(int new_order) {
    order = new_order;
    if (dynamic_cast<TCamera*>(this) && TCamera::cam_list) {
        // Only a camera still in the list goes back in: a freed camera must stay out of it.
        if (EntityRef me = self(); me && TCamera::cam_list->Remove(me)) {
            EntityListAdd(TCamera::cam_list);
        }
    }
    return 0;
}

int TEntity::MeshCullRadius(float radius) {
    cull_radius = -radius;
    return 0;
}

TSphere TEntity::BoundingSphere() const {
    if (const TMesh* mesh = AsMesh()) {
        return mesh->WorldSphere(mesh->min_x + (mesh->max_x - mesh->min_x) / 2.0f,
                                 mesh->min_y + (mesh->max_y - mesh->min_y) / 2.0f,
                                 mesh->min_z + (mesh->max_z - mesh->min_z) / 2.0f,
                                 std::fabs(cull_radius));
    }
    TSphere sphere;
    sphere.centre.x = EntityX(1);
    sphere.centre.y = EntityY(1);
    sphere.centre.z = EntityZ(1);
    sphere.radius = std::fabs(cull_radius);
    return sphere;
}

TSphere TEntity::CullSphere() const {
    return BoundingSphere();
}

TSphere TMesh::WorldSphere(float x, float y, float z, float radius) const {
    TSphere sphere;
    sphere.centre.x = EntityX(1);
    sphere.centre.y = EntityY(1);
    sphere.centre.z = EntityZ(1);
    // TFormPoint takes the source as a handle; an entity not held by one (never the case for
    // entities the creators make) keeps its global position as the centre.
    if (EntityRef me = std::const_pointer_cast<TEntity>(weak_from_this().lock())) {
        TFormPoint(x, y, z, me, nullptr);
        sphere.centre.x = TFormedX();
        sphere.centre.y = TFormedY();
        sphere.centre.z = TFormedZ();
    }
    // Scaled by the largest magnitude of the global scales: a mirrored axis (negative scale)
    // stretches the mesh as much as a positive one.
    sphere.radius = radius * std::max({std::fabs(EntityScaleX(1)), std::fabs(EntityScaleY(1)),
                                       std::fabs(EntityScaleZ(1))});
    return sphere;
}

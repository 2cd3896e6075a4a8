// TEntity's appearance and render settings: the entity brush, fading, drawing order, the cull
// radius and the bounding sphere.
#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/mesh.h"
#include "engine/surface.h"

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
    TSphere sphere;
    sphere.centre.x = EntityX(1);
    sphere.centre.y = EntityY(1);
    sphere.centre.z = EntityZ(1);
    sphere.radius = std::fabs(cull_radius);
    const auto* mesh = dynamic_cast<const TMesh*>(this);
    if (!mesh) return sphere;

    // TFormPoint takes the source as a handle; an entity not held by one (never the case for
    // entities the creators make) keeps its global position as the centre.
    if (EntityRef me = std::const_pointer_cast<TEntity>(weak_from_this().lock())) {
        const float x = mesh->min_x + (mesh->max_x - mesh->min_x) / 2.0f;
        const float y = mesh->min_y + (mesh->max_y - mesh->min_y) / 2.0f;
        const float z = mesh->min_z + (mesh->max_z - mesh->min_z) / 2.0f;
        TFormPoint(x, y, z, me, nullptr);
        sphere.centre.x = TFormedX();
        sphere.centre.y = TFormedY();
        sphere.centre.z = TFormedZ();
    }
    // The largest of the signed scaled radii, made positive afterwards: a mesh turned inside
    // out by a negative scale keeps the radius of its positive axes.
    const float r = sphere.radius;
    const float rx = r * EntityScaleX(1);
    const float ry = r * EntityScaleY(1);
    const float rz = r * EntityScaleZ(1);
    if (rx >= ry && rx >= rz) {
        sphere.radius = std::fabs(rx);
    } else if (ry >= rx && ry >= rz) {
        sphere.radius = std::fabs(ry);
    } else {
        sphere.radius = std::fabs(rz);
    }
    return sphere;
}

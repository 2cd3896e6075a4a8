#include "engine/sprite.h"

#include "engine/flags.h"
#include "engine/surface.h"
#include "engine/texture.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

SpriteRef TSprite::CreateSprite(const EntityRef& parent) {
    SpriteRef s(new TSprite());
    s->class_name = "Sprite";
    s->PlaceNew(parent);
    SurfaceRef surf = s->CreateSurface(nullptr);
    surf->AddVertex(-1.0f, -1.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    surf->AddVertex(-1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    surf->AddVertex(1.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f);
    surf->AddVertex(1.0f, -1.0f, 0.0f, 1.0f, 1.0f, 0.0f);
    surf->AddTriangle(0, 1, 2);
    surf->AddTriangle(0, 2, 3);
    s->EntityFX(1);
    return s;
}

SpriteRef TSprite::LoadSprite(const std::string& file, int flags, const EntityRef& parent) {
    SpriteRef s = CreateSprite(parent);
    TextureRef texture = TTexture::LoadTexture(file, flags);
    s->EntityTexture(texture, 0, 0);
    if ((flags & ALPHATEXTURE) == 0) s->EntityBlend(ADDBRUSHBLEND);
    return s;
}

EntityRef TSprite::CopyEntity(const EntityRef& new_parent) {
    SpriteRef c(new TSprite());
    c->CopyChildrenFrom(*this);
    c->PlaceCopy(*this, new_parent);
    // Local transform, quaternion, name, class name, order, cull radius, collision radii and
    // box, pick mode and obscurer; the copy is shown.
    c->CopyPlacementFields(*this);
    c->CopyMeshSettingsFrom(*this);
    c->sprite_mat = sprite_mat;
    c->angle = angle;
    c->scale_x = scale_x;
    c->scale_y = scale_y;
    c->handle_x = handle_x;
    c->handle_y = handle_y;
    c->view_mode = view_mode;
    c->FinishCopy();
    return c;
}

int TSprite::RotateSprite(float a) {
    angle = a;
    return 0;
}

int TSprite::ScaleSprite(float x, float y) {
    scale_x = x;
    scale_y = y;
    return 0;
}

int TSprite::HandleSprite(float x, float y) {
    handle_x = x;
    handle_y = y;
    return 0;
}

int TSprite::SpriteViewMode(int mode) {
    view_mode = mode;
    return 0;
}

int TSprite::UpdateSpriteMat(const EntityRef& cam, float& pitch, float& yaw, float& roll) {
    if (!cam) return 0;
    if (view_mode == FREESPRITE) {
        sprite_mat = mat;
        return 0;
    }
    switch (view_mode) {
    case FACINGSPRITE:
        pitch = cam->EntityPitch(1);
        yaw = cam->EntityYaw(1);
        roll = 0.0f;
        break;
    case ROLLINGSPRITE:
        pitch = cam->EntityPitch(1);
        yaw = cam->EntityYaw(1);
        roll = cam->EntityRoll(1);
        break;
    case UPRIGHTSPRITE:
        pitch = 0.0f;
        yaw = cam->EntityYaw(1);
        roll = cam->EntityRoll(1);
        break;
    default:
        break; // the angles of the sprite before
    }
    float quad_sx = scale_x;
    float quad_sy = scale_y;
    if (EntityRef p = parent.lock()) {
        // Relative to the parent, whose matrix the drawing matrix starts from; its scale is
        // taken out so the quad keeps its size in the world.
        pitch -= p->EntityPitch(1);
        yaw -= p->EntityYaw(1);
        roll = 0.0f;
        quad_sx /= p->EntityScaleX(1);
        quad_sy /= p->EntityScaleY(1);
        sprite_mat = p->mat;
    } else {
        sprite_mat.LoadIdentity();
    }
    sprite_mat.Translate(px, py, pz);
    sprite_mat.RotateYaw(yaw);
    sprite_mat.RotatePitch(-pitch);
    sprite_mat.RotateRoll(roll + angle);
    sprite_mat.Scale(quad_sx, quad_sy, 1.0f);
    sprite_mat.Translate(-handle_x, -handle_y, 0.0f);
    return 0;
}

int TSprite::UpdateSprites(const EntityRef& cam, const TList<MeshRef>& list) {
    std::vector<TMesh*> meshes;
    meshes.reserve(std::size_t(list.Count()));
    list.ForEachWhileUnchanged([&meshes](const MeshRef& m) { meshes.push_back(m.get()); });
    return UpdateSprites(cam, meshes);
}

int TSprite::UpdateSprites(const EntityRef& cam, std::span<TMesh* const> meshes) {
    float pitch = 0.0f, yaw = 0.0f, roll = 0.0f;
    for (TMesh* m : meshes) {
        if (TSprite* s = m ? m->AsSprite() : nullptr) s->UpdateSpriteMat(cam, pitch, yaw, roll);
    }
    return 0;
}

TSphere TSprite::CullSphere() const {
    if (view_mode == FREESPRITE || !(cull_radius >= 0.0f)) return TMesh::CullSphere();
    // The drawing matrix is the parent's (or none) x position x rotation x Scale(quad_sx, quad_sy,
    // 1) x Translate(-handle): a box point v lands at the position plus a rotation of
    // ((v.x - handle_x) quad_sx, (v.y - handle_y) quad_sy, v.z), passed through the parent's
    // matrix.
    float quad_sx = scale_x;
    float quad_sy = scale_y;
    float reach = 1.0f;
    if (EntityRef p = parent.lock()) {
        const float psx = p->EntityScaleX(1);
        const float psy = p->EntityScaleY(1);
        const float psz = p->EntityScaleZ(1);
        quad_sx /= psx;
        quad_sy /= psy;
        reach = std::max({std::fabs(psx), std::fabs(psy), std::fabs(psz)});
    }
    const float dx = std::max(std::fabs(min_x - handle_x), std::fabs(max_x - handle_x)) * quad_sx;
    const float dy = std::max(std::fabs(min_y - handle_y), std::fabs(max_y - handle_y)) * quad_sy;
    const float dz = std::max(std::fabs(min_z), std::fabs(max_z));
    TSphere sphere;
    sphere.centre.x = EntityX(1);
    sphere.centre.y = EntityY(1);
    sphere.centre.z = EntityZ(1);
    sphere.radius = reach * float(std::sqrt(double(dx) * dx + double(dy) * dy + double(dz) * dz));
    return sphere;
}

#include "engine/commands_appearance.h"

#include "engine/mesh.h"

void EntityColor(const EntityRef& entity, float red, float green, float blue) {
    if (Live(entity)) entity->EntityColor(red, green, blue);
}

void EntityAlpha(const EntityRef& entity, float alpha) {
    if (Live(entity)) entity->EntityAlpha(alpha);
}

void EntityShininess(const EntityRef& entity, float shininess) {
    if (Live(entity)) entity->EntityShininess(shininess);
}

void EntityTexture(const EntityRef& entity, const TextureRef& texture, int frame, int index) {
    if (auto* mesh = dynamic_cast<TMesh*>(Live(entity).get()))
        mesh->EntityTexture(texture, frame, index);
}

void EntityBlend(const EntityRef& entity, int blend) {
    if (Live(entity)) entity->EntityBlend(blend);
}

void EntityFX(const EntityRef& entity, int fx) {
    if (Live(entity)) entity->EntityFX(fx);
}

void EntityAutoFade(const EntityRef& entity, float near_distance, float far_distance) {
    if (Live(entity)) entity->EntityAutoFade(near_distance, far_distance);
}

void PaintEntity(const EntityRef& entity, const BrushRef& brush) {
    if (auto* mesh = dynamic_cast<TMesh*>(Live(entity).get())) mesh->PaintEntity(brush);
}

void EntityOrder(const EntityRef& entity, int order) {
    if (Live(entity)) entity->EntityOrder(order);
}

void MeshCullRadius(const EntityRef& entity, float radius) {
    if (Live(entity)) entity->MeshCullRadius(radius);
}

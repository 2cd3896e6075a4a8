#include "engine/commands_sprite.h"
#include "engine/sprite.h"

SpriteRef CreateSprite(const EntityRef& parent) {
    return TSprite::CreateSprite(Live(parent));
}

SpriteRef LoadSprite(const std::string& file, int flags, const EntityRef& parent) {
    return TSprite::LoadSprite(file, flags, Live(parent));
}

void RotateSprite(const SpriteRef& sprite, float angle) {
    if (Live(sprite)) sprite->RotateSprite(angle);
}

void ScaleSprite(const SpriteRef& sprite, float x_scale, float y_scale) {
    if (Live(sprite)) sprite->ScaleSprite(x_scale, y_scale);
}

void HandleSprite(const SpriteRef& sprite, float handle_x, float handle_y) {
    if (Live(sprite)) sprite->HandleSprite(handle_x, handle_y);
}

void SpriteViewMode(const SpriteRef& sprite, int mode) {
    if (Live(sprite)) sprite->SpriteViewMode(mode);
}

#include "engine/commands_world.h"
#include "engine/commands_2d.h"

#include "engine/global.h"

void Graphics3D(int width, int height, int depth, int mode, int rate) {
    TGlobal::Graphics3D(width, height, depth, mode, rate);
}

void AntiAlias(int samples) {
    TGlobal::AntiAlias(samples);
}

void Wireframe(int enable) {
    TGlobal::Wireframe(enable);
}

void AmbientLight(float red, float green, float blue) {
    TGlobal::AmbientLight(red, green, blue);
}

void RenderWorld() {
    TGlobal::RenderWorld();
}

void RenderWorldToCubeTex(const TextureRef& texture) {
    TGlobal::RenderWorldToCubeTex(texture);
}

void Begin2D() {
    TGlobal::Begin2D();
}

void End2D() {
    TGlobal::End2D();
}

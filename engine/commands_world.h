// World set-up commands: forward to the TGlobal type functions of the same names.
#pragma once

#include "engine/handles.h"

void Graphics3D(int width, int height, int depth, int mode, int rate);
void AntiAlias(int samples);
void Wireframe(int enable);
void AmbientLight(float red, float green, float blue);
// Renders every camera that is not hidden (through the accumulation buffer while
// anti-aliasing is on).
void RenderWorld();
// What RenderWorld and then BackBufferToCubeTex leave in the cube map's chosen face, drawn
// straight into the face where the display can (the back buffer is then left as it was; see
// TGlobal::RenderWorldToCubeTex).
void RenderWorldToCubeTex(const TextureRef& texture);

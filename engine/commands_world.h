// World set-up commands: forward to the TGlobal type functions of the same names.
#pragma once

void Graphics3D(int width, int height, int depth, int mode, int rate);
void AntiAlias(int samples);
void Wireframe(int enable);
void AmbientLight(float red, float green, float blue);
// Renders every camera that is not hidden (through the accumulation buffer while
// anti-aliasing is on).
void RenderWorld();

// World set-up commands: forward to the TGlobal type functions of the same names.
#pragma once

#include "engine/handles.h"

// Opens the display, width x height pixels: full screen at depth bits per pixel for mode 1
// (with a non-zero depth), a window otherwise; rate is the refresh rate in hertz asked of a
// full-screen mode and the frame rate Flip holds to. A display that cannot be opened ends the
// program with the cause. Called again, at another size say, it keeps the window and its GL
// context (the textures stay), and the process's memory stays where it was.
void Graphics3D(int width, int height, int depth, int mode, int rate);
// Anti-aliasing with 2 (for 1 or 2), 3, 4, 5, 6, 8, 9, 12 or 16 jitter samples per frame;
// 0 or any other value switches it off. Without an accumulation buffer it has no effect.
void AntiAlias(int samples);
// Non-zero draws polygons as lines, 0 filled; takes effect at once. Without a display it does
// nothing.
void Wireframe(int enable);
// The ambient light colour, 0-255 per channel (127.5 each at start).
void AmbientLight(float red, float green, float blue);
// Renders every camera that is not hidden (through the accumulation buffer while
// anti-aliasing is on). Outside the engine's 3D state (no display, or between Begin2D and
// End2D) it draws nothing.
void RenderWorld();
// What RenderWorld and then BackBufferToCubeTex leave in the cube map's chosen face, drawn
// straight into the face where the display can (the back buffer is then left as it was; see
// TGlobal::RenderWorldToCubeTex). A texture that is not a cube map, or a face outside 0..5,
// draws nothing.
void RenderWorldToCubeTex(const TextureRef& texture);

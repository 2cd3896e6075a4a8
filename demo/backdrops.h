// The 2D layers drawn around the 3D scene: the background, the frame overlay, the flickering
// design credits, and the frame-rate slot that draws nothing.
//
// Each sets the 2D state it needs before drawing; what it does not set (the colour, in
// pon_disenio's case nothing is left) carries over from the last drawing.
#pragma once

#include "demo/globals.h"

// The background `fondo`, its centre on the screen's centre, tinted and at opacity `alfa`.
int pon_fondo(float alfa, int r, int g, int b);
// The frame overlay `marco`, opaque white, centred.
int pon_marco();
// An image with its top-left corner at (x, y), at a new random opacity from 0.5 to 1 each call.
int pon_disenio(const ImageRef& imagen, int x, int y);
// Draws nothing; it keeps its place at the end of every phase's last 2D pass.
int pon_fps();

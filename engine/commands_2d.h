// The hand-over between the 2D layer (platform/image2d.h, platform/gltext.h) and the engine.
//
// After Graphics3D the GL state is the engine's. A frame that draws 2D images or text under or
// over the 3D world brackets that drawing between Begin2D and End2D:
//
//     Begin2D();  DrawImage(background, 0, 0, 0);  End2D();
//     RenderWorld();
//     Begin2D();  Text(10, 10, "score");  End2D();
//     Flip(-1);
//
// The two alternate, starting with Begin2D; RenderWorld and every other engine drawing command
// run outside a bracket (RenderWorld draws nothing inside one).
#pragma once

// Hands the GL state to the 2D layer: restores the 2D state saved by Graphics3D or End2D. A
// second Begin2D without an End2D between them, or one before Graphics3D, does nothing.
void Begin2D();
// Takes the GL state back for the engine: saves the 2D state and applies the engine's (lighting,
// depth test, fog, culling on; texturing off). Without a Begin2D before it, it does nothing.
void End2D();

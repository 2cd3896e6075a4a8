// Camera and light commands, and the commands that accept their arguments and do nothing.
//
// Each forwards to the TCamera or TLight operation of the same name on its first argument; a
// null camera or light makes it a no-op (queries return 0). Colours are 0-255 per channel,
// distances world units, angles degrees, viewport and window coordinates pixels.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <string>

// ---- Cameras ----

// A new camera under parent (null: at the top level) whose viewport is the whole display. One
// made before the display opens takes the display's size when it opens (Graphics3D), unless the
// program has set its viewport by then.
CameraRef CreateCamera(const EntityRef& parent);
// Viewport with its top-left corner at (x, y) counted from the top-left of the display; a
// negative width or height draws nothing.
void CameraViewport(const CameraRef& camera, int x, int y, int width, int height);
// Limits the camera's drawing and clearing to its viewport's part inside the rectangle (top-left
// corner counted from the top-left of the display), its projection unchanged; a width or
// height below 0 lifts the limit.
void CameraScissor(const CameraRef& camera, int x, int y, int width, int height);
// The colour the camera clears its viewport to, 0-255 per channel; black at start.
void CameraClsColor(const CameraRef& camera, float red, float green, float blue);
// Whether the colour buffer and the depth buffer are cleared before the camera renders: only 1
// (the start value) clears, any other value keeps that buffer.
void CameraClsMode(const CameraRef& camera, int cls_color, int cls_zbuffer);
// Near and far clipping distances (1 and 1000 at start). A near range of 0 or less, a far range
// of 0 or less, or equal ranges leave the camera's projection as the identity.
void CameraRange(const CameraRef& camera, float near_range, float far_range);
// The horizontal field of view is 2 x atan(1 / zoom): 90 degrees at zoom 1 (the start value).
void CameraZoom(const CameraRef& camera, float zoom);
// Above 0: linear fog (flags.h: LINEARFOG); otherwise none, as at start.
void CameraFogMode(const CameraRef& camera, int mode);
// Fog colour, 0-255 per channel; black at start.
void CameraFogColor(const CameraRef& camera, float red, float green, float blue);
// Distances from the camera where the fog starts and where it is complete (1 and 1000 at
// start).
void CameraFogRange(const CameraRef& camera, float near_range, float far_range);
// Projects the world point with the view of the camera's last render; read the result with
// ProjectedX/Y/Z. A camera never rendered, or a point that cannot be projected, gives (0, 0, 0).
void CameraProject(const CameraRef& camera, float x, float y, float z);
// Window x in pixels of the last CameraProject on any camera; 0 before the first.
float ProjectedX();
// Window y in pixels, counted from the bottom of the display, of the last CameraProject on any
// camera; 0 before the first.
float ProjectedY();
// Depth of the last CameraProject on any camera, 0.0 at the near plane to 1.0 at the far plane;
// 0 before the first.
float ProjectedZ();
// The camera's frustum test of the entity, as of the camera's last render, truncated toward
// zero: 0 when the entity is outside, at least 1 when any part of it is inside; 0 for a null
// entity.
int EntityInView(const EntityRef& entity, const CameraRef& camera);

// ---- Lights ----

// A new light under parent (null: at the top level) of type 1 directional (shining along its z
// axis), 2 point or 3 spot (values up to 1 act as 1, others above 1 as 2); null once eight
// lights exist.
LightRef CreateLight(int light_type, const EntityRef& parent);
// Range of a point or spot light (1000 at start; stored as its inverse, the linear
// attenuation).
void LightRange(const LightRef& light, float range);
// Light colour, 0-255 per channel; white at start.
void LightColor(const LightRef& light, float red, float green, float blue);
// Spot cone angles in degrees (stored halved; outer 90 at start): the outer angle is the cone's
// full width, held within 0..180 (360 or more: no cone); the inner one is kept but not used.
void LightConeAngles(const LightRef& light, float inner_angle, float outer_angle);

// ---- Commands that accept their arguments and do nothing (each returns 0) ----

// Accepts its arguments and does nothing; returns 0.
int LightMesh(const MeshRef& mesh, float red, float green, float blue, float range, float light_x,
              float light_y, float light_z);
// Accepts its arguments and does nothing; returns 0.
int MeshesIntersect(const MeshRef& mesh, const MeshRef& mesh2);
// Accepts its argument and does nothing; returns 0.
int CameraProjMode(const CameraRef& camera);
// Accepts its arguments and does nothing (no file is read); returns 0.
int LoadAnimSeq(const EntityRef& entity, const std::string& file);
// Accepts its argument and does nothing; returns 0.
int SetAnimKey(const EntityRef& entity);
// Accepts its argument and does nothing; returns 0.
int AddAnimSeq(const EntityRef& entity);

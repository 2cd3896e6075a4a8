// Camera and light commands, and the commands that accept their arguments and do nothing.
//
// Each forwards to the TCamera or TLight operation of the same name on its first argument; a
// null camera or light makes it a no-op (queries return 0). Colours are 0-255 per channel.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <string>

// ---- Cameras ----

// A new camera under parent (null: at the top level) whose viewport is the whole display.
CameraRef CreateCamera(const EntityRef& parent);
// Viewport with its top-left corner at (x, y) counted from the top-left of the display.
void CameraViewport(const CameraRef& camera, int x, int y, int width, int height);
// Limits the camera's drawing and clearing to its viewport's part inside the rectangle (top-left
// corner counted from the top-left of the display), its projection unchanged; a width or
// height below 0 lifts the limit.
void CameraScissor(const CameraRef& camera, int x, int y, int width, int height);
void CameraClsColor(const CameraRef& camera, float red, float green, float blue);
// Whether the colour buffer and the depth buffer are cleared (1) before the camera renders.
void CameraClsMode(const CameraRef& camera, int cls_color, int cls_zbuffer);
void CameraRange(const CameraRef& camera, float near_range, float far_range);
// The horizontal field of view is 2 x atan(1 / zoom): 90 degrees at zoom 1.
void CameraZoom(const CameraRef& camera, float zoom);
// Above 0: linear fog; otherwise none.
void CameraFogMode(const CameraRef& camera, int mode);
void CameraFogColor(const CameraRef& camera, float red, float green, float blue);
void CameraFogRange(const CameraRef& camera, float near_range, float far_range);
// Projects the world point with the view of the camera's last render; read the result with
// ProjectedX/Y/Z.
void CameraProject(const CameraRef& camera, float x, float y, float z);
// Window x, window y (counted from the bottom) and depth of the last CameraProject on any
// camera; 0 before the first.
float ProjectedX();
float ProjectedY();
float ProjectedZ();
// The camera's frustum test of the entity, truncated toward zero: 0 when the entity is
// outside, at least 1 when any part of it is inside.
int EntityInView(const EntityRef& entity, const CameraRef& camera);

// ---- Lights ----

// A new light of type 1 directional, 2 point or 3 spot; null once eight lights exist.
LightRef CreateLight(int light_type, const EntityRef& parent);
// Range of a point or spot light (stored as its inverse).
void LightRange(const LightRef& light, float range);
void LightColor(const LightRef& light, float red, float green, float blue);
// Spot cone angles in degrees (stored halved).
void LightConeAngles(const LightRef& light, float inner_angle, float outer_angle);

// ---- Commands that accept their arguments and do nothing (each returns 0) ----

int LightMesh(const MeshRef& mesh, float red, float green, float blue, float range, float light_x,
              float light_y, float light_z);
int MeshesIntersect(const MeshRef& mesh, const MeshRef& mesh2);
int CameraProjMode(const CameraRef& camera);
int LoadAnimSeq(const EntityRef& entity, const std::string& file);
int SetAnimKey(const EntityRef& entity);
int AddAnimSeq(const EntityRef& entity);

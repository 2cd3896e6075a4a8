#include "engine/commands_camera.h"
#include "engine/camera.h"
#include "engine/light.h"

#include <algorithm>
#include <climits>

namespace {

// Float to Int toward zero; values beyond the Int range saturate and a non-number gives 0, where
// a plain conversion would be undefined.
int truncateToInt(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483648.0f) return INT_MAX;
    if (v <= -2147483648.0f) return INT_MIN;
    return int(v);
}

} // namespace

CameraRef CreateCamera(const EntityRef& parent) {
    return TCamera::CreateCamera(Live(parent));
}

void CameraViewport(const CameraRef& camera, int x, int y, int width, int height) {
    if (Live(camera)) camera->CameraViewport(x, y, width, height);
}

void CameraScissor(const CameraRef& camera, int x, int y, int width, int height) {
    if (Live(camera)) camera->CameraScissor(x, y, width, height);
}

void CameraClsColor(const CameraRef& camera, float red, float green, float blue) {
    if (Live(camera)) camera->CameraClsColor(red, green, blue);
}

void CameraClsMode(const CameraRef& camera, int cls_color, int cls_zbuffer) {
    if (Live(camera)) camera->CameraClsMode(cls_color, cls_zbuffer);
}

void CameraRange(const CameraRef& camera, float near_range, float far_range) {
    if (Live(camera)) camera->CameraRange(near_range, far_range);
}

void CameraZoom(const CameraRef& camera, float zoom) {
    if (Live(camera)) camera->CameraZoom(zoom);
}

void CameraFogMode(const CameraRef& camera, int mode) {
    if (Live(camera)) camera->CameraFogMode(mode);
}

void CameraFogColor(const CameraRef& camera, float red, float green, float blue) {
    if (Live(camera)) camera->CameraFogColor(red, green, blue);
}

void CameraFogRange(const CameraRef& camera, float near_range, float far_range) {
    if (Live(camera)) camera->CameraFogRange(near_range, far_range);
}

void CameraProject(const CameraRef& camera, float x, float y, float z) {
    if (Live(camera)) camera->CameraProject(x, y, z);
}

float ProjectedX() {
    return TCamera::projected_x;
}

float ProjectedY() {
    return TCamera::projected_y;
}

float ProjectedZ() {
    return TCamera::projected_z;
}

int EntityInView(const EntityRef& entity, const CameraRef& camera) {
    if (!Live(camera)) return 0;
    // Truncated, but an entity partly inside (a value between 0 and 1) still counts as seen.
    const float value = camera->EntityInView(Live(entity));
    return value > 0.0f ? std::max(truncateToInt(value), 1) : 0;
}

LightRef CreateLight(int light_type, const EntityRef& parent) {
    return TLight::CreateLight(light_type, Live(parent));
}

void LightRange(const LightRef& light, float range) {
    if (Live(light)) light->LightRange(range);
}

void LightColor(const LightRef& light, float red, float green, float blue) {
    if (Live(light)) light->LightColor(red, green, blue);
}

void LightConeAngles(const LightRef& light, float inner_angle, float outer_angle) {
    if (Live(light)) light->LightConeAngles(inner_angle, outer_angle);
}

int LightMesh(const MeshRef& /*mesh*/, float /*red*/, float /*green*/, float /*blue*/,
              float /*range*/, float /*light_x*/, float /*light_y*/, float /*light_z*/) {
    return 0;
}

int MeshesIntersect(const MeshRef& /*mesh*/, const MeshRef& /*mesh2*/) {
    return 0;
}

int CameraProjMode(const CameraRef& /*camera*/) {
    return 0;
}

int LoadAnimSeq(const EntityRef& /*entity*/, const std::string& /*file*/) {
    return 0;
}

int SetAnimKey(const EntityRef& /*entity*/) {
    return 0;
}

int AddAnimSeq(const EntityRef& /*entity*/) {
    return 0;
}

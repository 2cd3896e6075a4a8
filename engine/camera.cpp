#include "engine/camera.h"

#include "engine/commands_camera.h"
#include "engine/flags.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "platform/display.h"
#include "platform/gl_state.h"
#include "platform/mathfn.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

TEntity::EntityListRef TCamera::cam_list = CreateList<EntityRef>();
float TCamera::projected_x = 0.0f;
float TCamera::projected_y = 0.0f;
float TCamera::projected_z = 0.0f;

namespace {

struct Bounds {
    float left, right, bottom, top;
};

// The symmetric frustum rectangle at the near plane for a vertical field of view in degrees.
Bounds perspectiveBounds(float fovy, float aspect, float near_range) {
    const double fov2 = double(fovy) / 2.0;
    const float top = float(double(near_range) / (Cos(fov2) / Sin(fov2)));
    const float right = top * aspect;
    return {-right, right, -top, top};
}

} // namespace

// ---- Creation, copies, freeing ----

CameraRef TCamera::CreateCamera(const EntityRef& parent) {
    CameraRef c(new TCamera());
    ::CameraViewport(c, 0, 0, TGlobal::width, TGlobal::height);
    c->class_name = "Camera";
    c->PlaceNew(parent);
    c->EntityListAdd(cam_list);
    return c;
}

EntityRef TCamera::CopyEntity(const EntityRef& new_parent) {
    CameraRef c(new TCamera());
    c->CopyChildrenFrom(*this);
    c->PlaceCopy(*this, new_parent);
    c->CopyPlacementFields(*this);
    c->EntityListAdd(cam_list);
    c->vx = vx;
    c->vy = vy;
    c->vwidth = vwidth;
    c->vheight = vheight;
    c->scissored = scissored;
    c->sx = sx;
    c->sy = sy;
    c->swidth = swidth;
    c->sheight = sheight;
    c->cls_r = cls_r;
    c->cls_g = cls_g;
    c->cls_b = cls_b;
    c->cls_color = cls_color;
    c->cls_zbuffer = cls_zbuffer;
    c->range_near = range_near;
    c->range_far = range_far;
    c->zoom = zoom;
    c->fog_mode = fog_mode;
    c->fog_r = fog_r;
    c->fog_g = fog_g;
    c->fog_b = fog_b;
    c->fog_range_near = fog_range_near;
    c->fog_range_far = fog_range_far;
    c->FinishCopy();
    return c;
}

int TCamera::FreeEntity() {
    EntityRef keep = self(); // the lists may hold the last references
    TEntity::FreeEntity();
    if (keep && cam_list) cam_list->Remove(keep);
    return 0;
}

// ---- Settings ----

int TCamera::CameraViewport(int x, int y, int width, int height) {
    vx = x;
    vy = TGlobal::height - height - y;
    vwidth = width;
    vheight = height;
    return 0;
}

int TCamera::CameraScissor(int x, int y, int width, int height) {
    scissored = width >= 0 && height >= 0;
    sx = x;
    sy = TGlobal::height - height - y;
    swidth = width;
    sheight = height;
    return 0;
}

int TCamera::CameraClsColor(float red, float green, float blue) {
    cls_r = red / 255.0f;
    cls_g = green / 255.0f;
    cls_b = blue / 255.0f;
    return 0;
}

int TCamera::CameraClsMode(int color, int zbuffer) {
    cls_color = color;
    cls_zbuffer = zbuffer;
    return 0;
}

int TCamera::CameraRange(float near_range, float far_range) {
    range_near = near_range;
    range_far = far_range;
    return 0;
}

int TCamera::CameraZoom(float z) {
    zoom = z;
    return 0;
}

int TCamera::CameraFogMode(int mode) {
    fog_mode = mode;
    return 0;
}

int TCamera::CameraFogColor(float red, float green, float blue) {
    fog_r = red / 255.0f;
    fog_g = green / 255.0f;
    fog_b = blue / 255.0f;
    return 0;
}

int TCamera::CameraFogRange(float near_range, float far_range) {
    fog_range_near = near_range;
    fog_range_far = far_range;
    return 0;
}

// ---- Projection ----

float TCamera::AspectRatio() const {
    return float(vwidth) / float(vheight);
}

float TCamera::Fovy() const {
    return float(2.0 * ATan(1.0 / double(zoom * AspectRatio())));
}

void TCamera::CurrentJitter(float& jx, float& jy) {
    jx = 0.0f;
    jy = 0.0f;
    // The table has 16 rows; an index outside them (never set by the renderer) reads as none.
    if (!TGlobal::AntiAliasing() || TGlobal::jitter < 0 || TGlobal::jitter >= 16) return;
    jx = TGlobal::j[TGlobal::jitter][0];
    jy = TGlobal::j[TGlobal::jitter][1];
}

TCamera::FrustumRect TCamera::ProjectionRect() const {
    float jx = 0.0f, jy = 0.0f;
    CurrentJitter(jx, jy);
    const Bounds b = perspectiveBounds(Fovy(), AspectRatio(), range_near);
    return JitteredRect(b.left, b.right, b.bottom, b.top, range_near, jx, jy, 0.0f, 0.0f, 1.0f);
}

TCamera::FrustumRect TCamera::JitteredRect(float left, float right, float bottom, float top,
                                           float near_range, float pixdx, float pixdy, float eyedx,
                                           float eyedy, float focus) const {
    const double xwsize = double(right) - double(left);
    const double ywsize = double(top) - double(bottom);
    const double dx =
        -(double(pixdx) * xwsize / double(vwidth) + double(eyedx) * near_range / focus);
    const double dy =
        -(double(pixdy) * ywsize / double(vheight) + double(eyedy) * near_range / focus);
    FrustumRect r;
    r.left = left + dx;
    r.right = right + dx;
    r.bottom = bottom + dy;
    r.top = top + dy;
    return r;
}

int TCamera::accPerspective(float fovy, float aspect, float near_range, float far_range,
                            float pixdx, float pixdy, float eyedx, float eyedy, float focus) {
    const Bounds b = perspectiveBounds(fovy, aspect, near_range);
    return accFrustum(b.left, b.right, b.bottom, b.top, near_range, far_range, pixdx, pixdy, eyedx,
                      eyedy, focus);
}

int TCamera::accFrustum(float left, float right, float bottom, float top, float near_range,
                        float far_range, float pixdx, float pixdy, float eyedx, float eyedy,
                        float focus) {
    if (!GraphicsOpen()) return 0;
    const FrustumRect r =
        JitteredRect(left, right, bottom, top, near_range, pixdx, pixdy, eyedx, eyedy, focus);
    glstate::MatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A frustum GL refuses (an empty or non-finite rectangle, a range that is not positive or
    // has no depth), as a zero viewport size, zoom or near range gives, leaves the identity.
    const bool usable = std::isfinite(r.left) && std::isfinite(r.right) &&
                        std::isfinite(r.bottom) && std::isfinite(r.top) && r.left != r.right &&
                        r.bottom != r.top && near_range > 0.0f && far_range > 0.0f &&
                        near_range != far_range && std::isfinite(far_range);
    if (usable) glFrustum(r.left, r.right, r.bottom, r.top, near_range, far_range);
    glstate::MatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(-eyedx, -eyedy, 0.0f);
    return 0;
}

int TCamera::Update() {
    return Update(0);
}

int TCamera::Update(int target_y) {
    if (!GraphicsOpen()) return 0;
    // GL refuses negative sizes; such a viewport draws nothing.
    const int w = vwidth > 0 ? vwidth : 0, h = vheight > 0 ? vheight : 0;
    glViewport(vx, vy - target_y, w, h);
    if (scissored) {
        // The viewport's part inside the rectangle (empty where they do not meet).
        const int x0 = std::max(vx, sx), y0 = std::max(vy, sy);
        const int x1 = std::min(vx + w, sx + swidth), y1 = std::min(vy + h, sy + sheight);
        glScissor(x0, y0 - target_y, std::max(x1 - x0, 0), std::max(y1 - y0, 0));
    } else {
        glScissor(vx, vy - target_y, w, h);
    }
    glClearColor(cls_r, cls_g, cls_b, 1.0f);
    // Mesh drawing switches depth writes off for translucent and ordered meshes: switch them
    // on before every depth clear.
    if (cls_color == CLEARBUFFER && cls_zbuffer == CLEARBUFFER) {
        glstate::DepthMask(true);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else if (cls_color == CLEARBUFFER) {
        glClear(GL_COLOR_BUFFER_BIT);
    } else if (cls_zbuffer == CLEARBUFFER) {
        glstate::DepthMask(true);
        glClear(GL_DEPTH_BUFFER_BIT);
    }
    glstate::Enable(GL_FOG, fog_mode > NOFOG);
    if (fog_mode > NOFOG) {
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, fog_range_near);
        glFogf(GL_FOG_END, fog_range_far);
        const float colour[4] = {fog_r, fog_g, fog_b, 1.0f};
        glFogfv(GL_FOG_COLOR, colour);
    }
    const float ratio = AspectRatio();
    float jx = 0.0f, jy = 0.0f;
    CurrentJitter(jx, jy);
    accPerspective(Fovy(), ratio, range_near, range_far, jx, jy, 0.0f, 0.0f, 1.0f);
    const TMatrix view = mat.Inverse();
    glLoadMatrixf(view.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, mod_mat.data());
    glGetDoublev(GL_PROJECTION_MATRIX, proj_mat.data());
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    viewport[1] += target_y; // kept in the display's window rows
    ExtractFrustum();
    return 0;
}

// ---- Frustum ----

int TCamera::ExtractFrustum() {
    if (!GraphicsOpen()) return 0;
    float projection[16];
    float modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    ExtractFrustumFrom(projection, modelview);
    return 0;
}

namespace {

// The combined matrix (projection x model-view), column-major.
void clipMatrix(const float P[16], const float M[16], float (&clip)[16]) {
    for (int i = 0; i < 16; ++i) {
        const int c = 4 * (i / 4);
        const int r = i % 4;
        clip[i] =
            M[c + 0] * P[r + 0] + M[c + 1] * P[r + 4] + M[c + 2] * P[r + 8] + M[c + 3] * P[r + 12];
    }
}

// The plane where sign x row `row` + w x row 3 of the combined matrix is 0, with its normal
// made a unit one (positive on the side where that sum is).
void planeOf(const float (&clip)[16], int row, float sign, float w, float (&plane)[4]) {
    for (int e = 0; e < 4; ++e) plane[e] = w * clip[4 * e + 3] + sign * clip[4 * e + row];
    const float len = float(std::sqrt(double(plane[0]) * plane[0] + double(plane[1]) * plane[1] +
                                      double(plane[2]) * plane[2]));
    for (float& e : plane) e /= len;
}

} // namespace

void TCamera::ExtractFrustumFrom(const float P[16], const float M[16]) {
    float clip[16];
    clipMatrix(P, M, clip);
    // Row 3 of the combined matrix plus or minus row 0 (x), 1 (y) or 2 (z).
    static constexpr struct {
        int row;
        float sign;
    } kPlanes[6] = {{0, -1.0f}, {0, 1.0f}, {1, 1.0f}, {1, -1.0f}, {2, -1.0f}, {2, 1.0f}};
    for (int k = 0; k < 6; ++k) planeOf(clip, kPlanes[k].row, kPlanes[k].sign, 1.0f, frustum[k]);
    if (!scissored || vwidth <= 0 || vheight <= 0) return;
    // The scissor box in normalised device coordinates of the viewport, a pixel wider on every
    // side than the pixel centres it holds, so that no rounding of the rasteriser can put a
    // fragment inside from a point outside.
    const auto ndc = [](int at, int origin, int size) {
        return 2.0f * float(at - origin) / float(size) - 1.0f;
    };
    const float left = ndc(sx - 1, vx, vwidth), right = ndc(sx + swidth + 1, vx, vwidth);
    const float bottom = ndc(sy - 1, vy, vheight), top = ndc(sy + sheight + 1, vy, vheight);
    // x >= left w, x <= right w, y >= bottom w, y <= top w in clip coordinates.
    planeOf(clip, 0, 1.0f, -left, scissor_frustum[0]);
    planeOf(clip, 0, -1.0f, right, scissor_frustum[1]);
    planeOf(clip, 1, 1.0f, -bottom, scissor_frustum[2]);
    planeOf(clip, 1, -1.0f, top, scissor_frustum[3]);
}

float TCamera::EntityInFrustum(const EntityRef& entity) const {
    if (!entity) return 0.0f;
    const TSphere sphere = entity->CullSphere();
    const float x = sphere.centre.x, y = sphere.centre.y, z = sphere.centre.z;
    const float radius = sphere.radius;
    float d = 0.0f;
    for (int k = 0; k < 6; ++k) {
        d = frustum[k][0] * x + frustum[k][1] * y + frustum[k][2] * -z + frustum[k][3];
        if (d <= -radius) return 0.0f;
    }
    return d + radius;
}

bool TCamera::SphereInScissor(const TSphere& sphere) const {
    if (!scissored) return true;
    // A box or viewport of no width or height lets nothing through.
    if (swidth <= 0 || sheight <= 0 || vwidth <= 0 || vheight <= 0) return false;
    const float x = sphere.centre.x, y = sphere.centre.y, z = sphere.centre.z;
    for (const float(&plane)[4] : scissor_frustum) {
        const float d = plane[0] * x + plane[1] * y + plane[2] * -z + plane[3];
        if (d <= -sphere.radius) return false;
    }
    return true;
}

float TCamera::EntityInView(const EntityRef& entity) {
    if (!entity) return 0.0f;
    if (auto* mesh = dynamic_cast<TMesh*>(entity.get())) mesh->GetBounds();
    return EntityInFrustum(entity);
}

int TCamera::CameraProject(float x, float y, float z) {
    GLdouble wx = 0.0, wy = 0.0, wz = 0.0;
    if (gluProject(x, y, -double(z), mod_mat.data(), proj_mat.data(), viewport.data(), &wx, &wy,
                   &wz) != GL_TRUE) {
        wx = wy = wz = 0.0;
    }
    projected_x = float(wx);
    projected_y = float(wy);
    projected_z = float(wz);
    return 0;
}

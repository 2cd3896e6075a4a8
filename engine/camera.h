// TCamera: the entity through which the world is seen.
//
// A camera owns a viewport rectangle on the display, clearing settings, a near/far range, a zoom
// and linear fog. Once per render pass the pipeline calls Update, which sets the GL viewport,
// scissor, clearing, fog, a perspective projection (shifted by a sub-pixel jitter while
// anti-aliasing is on) and the view matrix, then keeps copies of the resulting matrices and
// viewport and extracts the six frustum planes from them. Culling (EntityInFrustum) and
// projection (CameraProject) use those copies as they stand, so a camera moved since its last
// Update culls and projects with its old view.
//
// Every camera is in TEntity::entity_list and in TCamera::cam_list, both ordered by entity
// order. Its entity_link stays its link in entity_list (cam_list insertions do not replace it).
//
// The viewport is kept in GL window pixels: `vy` counts from the bottom of the display. The
// commands take the top-left corner counted from the top of the display.
#pragma once

#include "engine/entity.h"
#include "engine/flags.h"
#include "engine/handles.h"
#include "engine/math/geometry.h"

#include <array>

class TCamera : public TEntity {
  public:
    // Viewport rectangle in GL window pixels (vy from the bottom of the display).
    int vx = 0, vy = 0, vwidth = 0, vheight = 0;
    // The part of the viewport the camera draws and clears, in GL window pixels like the
    // viewport (CameraScissor); the whole viewport while scissored is false.
    bool scissored = false;
    int sx = 0, sy = 0, swidth = 0, sheight = 0;
    // Clear colour, 0.0-1.0.
    float cls_r = 0.0f, cls_g = 0.0f, cls_b = 0.0f;
    // Clear the colour / depth buffer before the camera renders: only CLEARBUFFER counts as on.
    int cls_color = CLEARBUFFER;
    int cls_zbuffer = CLEARBUFFER;
    float range_near = 1.0f;
    float range_far = 1000.0f;
    float zoom = 1.0f;
    // Above NOFOG: linear fog from fog_range_near to fog_range_far; anything else: no fog.
    int fog_mode = NOFOG;
    float fog_r = 0.0f, fog_g = 0.0f, fog_b = 0.0f;
    float fog_range_near = 1.0f;
    float fog_range_far = 1000.0f;
    // The GL model-view and projection matrices and viewport read back at the end of the last
    // Update (all zero before the first); z-negated, as the engine stores the world.
    std::array<double, 16> mod_mat{};
    std::array<double, 16> proj_mat{};
    std::array<int, 4> viewport{};
    // The six frustum planes (a, b, c, d) of the last Update in the order right, left, bottom,
    // top, far, near; unit normals pointing into the frustum.
    float frustum[6][4]{};
    // While scissored: the four planes (a, b, c, d) of the last Update that bound the part of
    // the frustum seen through the scissor box (a pixel wider on every side), in the order
    // left, right, bottom, top; unit normals pointing inwards.
    float scissor_frustum[4][4]{};

    // Every camera, ordered by entity order (largest first). An empty list from static
    // initialisation on; the engine module's initialiser makes one only if it is null.
    static EntityListRef cam_list;
    // Window x, window y (from the bottom) and depth of the last CameraProject.
    static float projected_x, projected_y, projected_z;

    // The frustum rectangle at the near plane that the projection hands to glFrustum.
    struct FrustumRect {
        double left = 0.0, right = 0.0, bottom = 0.0, top = 0.0;
    };

    // A new camera under parent (null: at the top level) whose viewport is the whole display
    // (set through the CameraViewport command), in entity_list and cam_list by its order.
    static CameraRef CreateCamera(const EntityRef& parent);

    // A copy of the camera and its descendants under parent with the source's camera
    // settings; the read-back matrices, viewport and planes stay zero until its first Update.
    EntityRef CopyEntity(const EntityRef& parent) override;
    // The camera pass set-up (see the header comment). Needs the display; without one it does
    // nothing. A viewport of negative size is set as empty; a projection GL would refuse (zero
    // viewport size, zoom or near range, equal near and far) is left as the identity. Returns 0.
    int Update() override;
    // The same for a drawing target other than the display: target_y is the GL window row of
    // the display that row 0 of the target stands for (see TGlobal::RenderWorldToCubeTex). The
    // viewport and scissor box are set that many rows lower; the viewport read back stays in
    // the display's rows.
    int Update(int target_y);
    // Frees the entity and takes the camera out of cam_list. Returns 0.
    int FreeEntity() override;

    // (x, y) is the top-left corner counted from the top-left of the display. Returns 0.
    int CameraViewport(int x, int y, int width, int height);
    // Limits the drawing and clearing of the camera's passes to the part of its viewport inside
    // the rectangle ((x, y) its top-left corner counted from the top-left of the display); the
    // projection stays the viewport's. A width or height below 0 lifts the limit. Returns 0.
    int CameraScissor(int x, int y, int width, int height);
    // 0-255 per channel, stored divided by 255. Returns 0.
    int CameraClsColor(float red, float green, float blue);
    int CameraClsMode(int cls_color, int cls_zbuffer);
    int CameraRange(float near_range, float far_range);
    int CameraZoom(float zoom);
    int CameraFogMode(int mode);
    // 0-255 per channel, stored divided by 255. Returns 0.
    int CameraFogColor(float red, float green, float blue);
    int CameraFogRange(float near_range, float far_range);
    // Projects the world point (x, y, z) (command coordinates) with the matrices and viewport
    // of the last Update into projected_x/y/z; (0, 0, 0) when the point cannot be projected (a
    // camera never updated projects everything there). Returns 0.
    int CameraProject(float x, float y, float z);
    // TPick::CameraPick through the display pixel (x, y) with this camera (pick.cpp).
    EntityRef CameraPick(float x, float y);
    static float ProjectedX() { return projected_x; }
    static float ProjectedY() { return projected_y; }
    static float ProjectedZ() { return projected_z; }
    // Refreshes a mesh's bounds, then EntityInFrustum. 0 for a null entity.
    float EntityInView(const EntityRef& entity);
    // Recomputes `frustum` from the current GL projection and model-view matrices (needs the
    // display). Returns 0.
    int ExtractFrustum();
    // The same from the two matrices given in GL's column-major order.
    void ExtractFrustumFrom(const float projection[16], const float modelview[16]);
    // 0 when the entity's cull sphere (CullSphere: what a pass draws of it) lies outside the
    // frustum of the last Update, else its distance beyond the near plane plus its radius,
    // which is above 0 for an entity any part of which is inside. 0 for a null entity.
    float EntityInFrustum(const EntityRef& entity) const;
    // False when the sphere (command coordinates) lies wholly outside the part of the frustum
    // that the scissor box of the last Update lets through, so that nothing of what it bounds
    // can reach a pixel of the pass; true while not scissored.
    bool SphereInScissor(const TSphere& sphere) const;

    // Jittered perspective and frustum projections (pixel jitter pixdx/pixdy, eye offset
    // eyedx/eyedy, focus distance): set the GL projection, then select and reset the model-view
    // matrix. Need the display. Return 0.
    int accPerspective(float fovy, float aspect, float near_range, float far_range, float pixdx,
                       float pixdy, float eyedx, float eyedy, float focus);
    int accFrustum(float left, float right, float bottom, float top, float near_range,
                   float far_range, float pixdx, float pixdy, float eyedx, float eyedy,
                   float focus);

    // The pieces of Update's projection, without GL:
    // viewport width / height, each converted to float first.
    float AspectRatio() const;
    // Vertical field of view in degrees: 2 x atan(1 / (zoom x aspect ratio)).
    float Fovy() const;
    // The jitter offset in pixels of the current pass: (0, 0) unless anti-aliasing is in force,
    // else the entry TGlobal::jitter of TGlobal::j.
    static void CurrentJitter(float& jx, float& jy);
    // The rectangle that Update hands to glFrustum for the current pass (its field of view,
    // aspect ratio, near range and the current jitter).
    FrustumRect ProjectionRect() const;
    // The rectangle that accFrustum hands to glFrustum: (left, right, bottom, top) shifted by
    // the pixel jitter scaled to this camera's viewport and by the eye offset.
    FrustumRect JitteredRect(float left, float right, float bottom, float top, float near_range,
                             float pixdx, float pixdy, float eyedx, float eyedy, float focus) const;

  protected:
    TCamera() = default;
};

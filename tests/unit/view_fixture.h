// Shared pieces of the camera, light, appearance and sprite tests: fresh entity, camera and light
// lists and counters per test, an 800x600 display size, and an independent perspective set-up
// that gives a camera the view its Update would read back from GL.
#pragma once

#include "engine/camera.h"
#include "engine/global.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "platform/testing.h"

#include "entity_fixture.h"

#include <array>
#include <cmath>
#include <memory>

// SceneTest with a display size of 800x600 (no display opened).
class ViewTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        testseam::SetSizeWithoutDisplay(800, 600);
    }
    void TearDown() override {
        testseam::SetSizeWithoutDisplay(0, 0);
        SceneTest::TearDown();
    }

    static std::vector<EntityRef> cameras() { return TCamera::cam_list->ToVector(); }
};

namespace viewtest {

// The projection glFrustum(l, r, b, t, n, f) builds, column-major.
inline std::array<double, 16> frustumMatrix(double l, double r, double b, double t, double n,
                                            double f) {
    std::array<double, 16> m{};
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
    return m;
}

// The projection of a camera without jitter, from the view it is meant to give: at the near
// distance n the frustum spans x from -n/zoom to n/zoom and y from -n/(zoom*aspect) to
// n/(zoom*aspect).
inline std::array<double, 16> expectedProjection(const TCamera& c) {
    const double aspect = double(c.vwidth) / double(c.vheight);
    const double n = c.range_near, z = c.zoom;
    return frustumMatrix(-n / z, n / z, -n / (z * aspect), n / (z * aspect), n, c.range_far);
}

// The view matrix: the inverse of the camera's rotation-and-translation matrix.
inline std::array<double, 16> expectedModelView(const TCamera& c) {
    const TMatrix inv = c.mat.Inverse();
    std::array<double, 16> m{};
    for (int i = 0; i < 16; ++i) m[std::size_t(i)] = inv.data()[i];
    return m;
}

// Gives the camera the matrices, viewport and planes that its Update would leave, computed
// without GL.
inline void loadView(TCamera& c) {
    c.proj_mat = expectedProjection(c);
    c.mod_mat = expectedModelView(c);
    c.viewport = {c.vx, c.vy, c.vwidth, c.vheight};
    float p[16], m[16];
    for (int i = 0; i < 16; ++i) {
        p[i] = float(c.proj_mat[std::size_t(i)]);
        m[i] = float(c.mod_mat[std::size_t(i)]);
    }
    c.ExtractFrustumFrom(p, m);
}

// Window coordinates of a world point (command coordinates) under the matrices and viewport,
// as gluProject computes them; false when the point maps to w = 0.
inline bool projectPoint(const std::array<double, 16>& model, const std::array<double, 16>& proj,
                         const std::array<int, 4>& vp, double x, double y, double z,
                         std::array<double, 3>& out) {
    const double in[4] = {x, y, -z, 1.0};
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r) {
        eye[r] = 0;
        for (int k = 0; k < 4; ++k) eye[r] += model[std::size_t(4 * k + r)] * in[k];
    }
    for (int r = 0; r < 4; ++r) {
        clip[r] = 0;
        for (int k = 0; k < 4; ++k) clip[r] += proj[std::size_t(4 * k + r)] * eye[k];
    }
    if (clip[3] == 0.0) return false;
    const double ndc[3] = {clip[0] / clip[3], clip[1] / clip[3], clip[2] / clip[3]};
    out[0] = vp[0] + vp[2] * (ndc[0] + 1) / 2;
    out[1] = vp[1] + vp[3] * (ndc[1] + 1) / 2;
    out[2] = (ndc[2] + 1) / 2;
    return true;
}

// A mesh whose one surface holds a triangle over the box corners (x0, y0, z0) and
// (x1, y1, z1), so its bounds are exactly that box.
inline MeshRef boxMesh(float x0, float y0, float z0, float x1, float y1, float z1,
                       const EntityRef& parent = nullptr) {
    MeshRef m = TMesh::CreateMesh(parent);
    SurfaceRef s = m->CreateSurface(nullptr);
    s->AddVertex(x0, y0, z0, 0, 0, 0);
    s->AddVertex(x1, y1, z1, 0, 0, 0);
    s->AddVertex(x0, y1, z1, 0, 0, 0);
    s->AddTriangle(0, 1, 2);
    m->GetBounds();
    return m;
}

} // namespace viewtest

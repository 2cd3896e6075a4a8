#include "engine/pick.h"

#include "engine/camera.h"
#include "engine/entity.h"
#include "engine/flags.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "engine/octree.h"
#include "engine/surface.h"
#include "platform/display.h"
#include "platform/mathfn.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <utility>

float TPick::picked_x = 0.0f;
float TPick::picked_y = 0.0f;
float TPick::picked_z = 0.0f;
float TPick::picked_nx = 0.0f;
float TPick::picked_ny = 0.0f;
float TPick::picked_nz = 0.0f;
float TPick::picked_time = 0.0f;
std::weak_ptr<TEntity> TPick::picked_ent;
SurfaceRef TPick::picked_surface;
int TPick::picked_triangle = 0;

namespace {

TVector tformed() {
    return TVector{TEntity::tformed_x, TEntity::tformed_y, TEntity::tformed_z};
}

// The point carried from source's space to dest's (null: world).
TVector tformPoint(const TVector& p, const EntityRef& source, const EntityRef& dest) {
    TEntity::TFormPoint(p.x, p.y, p.z, source, dest);
    return tformed();
}

TVector worldPosition(const TEntity& e) {
    return TVector{e.EntityX(1), e.EntityY(1), e.EntityZ(1)};
}

// Length of the segment a -> b, or 0 when it has none to speak of (zero or not finite).
float segmentLength(const TVector& a, const TVector& b) {
    const float len = b.Subtract(a).Length();
    return (std::isfinite(len) && len > 0.0f) ? len : 0.0f;
}

// The outward normal of the box face nearest to hit; among equally near faces the later one in
// the order -x, +x, -y, +y, -z, +z.
TVector boxFaceNormal(const TVector& min, const TVector& size, const TVector& hit) {
    static const TVector kNormals[6] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0},
                                        {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
    const float dist[6] = {std::fabs(min.x - hit.x), std::fabs(min.x + size.x - hit.x),
                           std::fabs(min.y - hit.y), std::fabs(min.y + size.y - hit.y),
                           std::fabs(min.z - hit.z), std::fabs(min.z + size.z - hit.z)};
    int face = 0;
    for (int k = 1; k < 6; ++k) {
        if (dist[k] <= dist[face]) face = k;
    }
    return kNormals[face];
}

// All ten results, for EntityVisible to put back.
struct PickResults {
    float x, y, z, nx, ny, nz, time;
    std::weak_ptr<TEntity> ent;
    SurfaceRef surface;
    int triangle;
};

} // namespace

// ---- Intersection tests ----

int TPick::IntersectSegmentSphere(const TVector& a, const TVector& b, const TVector& centre,
                                  float radius, float& t, TVector& hit) {
    const float len = segmentLength(a, b);
    if (len == 0.0f) return 0;
    const TVector d = b.Subtract(a).Divide(len);
    const TVector m = a.Subtract(centre);
    const float p = m.Dot(d);
    const float c = m.Dot(m) - radius * radius;
    if (c > 0.0f && p > 0.0f) return 0;
    const float disc = p * p - c;
    if (disc < 0.0f) return 0;
    float tt = -p - float(Sqr(double(disc)));
    if (tt < 0.0f) tt = 0.0f;
    if (tt > len) return 0;
    hit = a.Add(d.Multiply(tt));
    t = tt / len;
    return 1;
}

int TPick::IntersectSegmentTriangle(const TVector& p, const TVector& q, const TVector& a,
                                    const TVector& b, const TVector& c, float& u, float& v,
                                    float& w, float& t) {
    const TVector ab = b.Subtract(a);
    const TVector ac = c.Subtract(a);
    const TVector qp = p.Subtract(q);
    const TVector n = ab.Cross(ac);
    const float d = qp.Dot(n);
    if (!(d > 0.0f)) return 0;
    const TVector ap = p.Subtract(a);
    float tt = ap.Dot(n);
    if (tt < 0.0f || tt > d) return 0;
    const TVector e = qp.Cross(ap);
    float vv = ac.Dot(e);
    if (vv < 0.0f || vv > d) return 0;
    float ww = -ab.Dot(e);
    if (ww < 0.0f || vv + ww > d) return 0;
    t = tt / d;
    v = vv / d;
    w = ww / d;
    u = 1.0f - v - w;
    return 1;
}

int TPick::IntersectSegmentAABB(const TVector& a, const TVector& b, float x, float y, float z,
                                float width, float height, float depth, float& t, TVector& hit) {
    const float len = segmentLength(a, b);
    if (len == 0.0f) return 0;
    const TVector d = b.Subtract(a).Divide(len);
    const float start[3] = {a.x, a.y, a.z};
    const float dir[3] = {d.x, d.y, d.z};
    const float lo[3] = {x, y, z};
    const float hi[3] = {x + width, y + height, z + depth};
    float tmin = 0.0f;
    float tmax = len;
    for (int i = 0; i < 3; ++i) {
        if (dir[i] == 0.0f) {
            // Parallel to this slab: inside it restricts nothing, outside it misses.
            if (start[i] < lo[i] || start[i] > hi[i]) return 0;
            continue;
        }
        float t1 = (lo[i] - start[i]) / dir[i];
        float t2 = (hi[i] - start[i]) / dir[i];
        if (t1 > t2) std::swap(t1, t2);
        if (t1 > tmin) tmin = t1;
        if (t2 < tmax) tmax = t2;
        if (tmin > tmax) return 0;
    }
    hit = a.Add(d.Multiply(tmin));
    t = tmin / len;
    return 1;
}

// ---- Picks ----

void TPick::RecordHit(const EntityRef& ent, const TVector& hit, const TVector& normal, float t) {
    picked_x = hit.x;
    picked_y = hit.y;
    picked_z = hit.z;
    picked_nx = normal.x;
    picked_ny = normal.y;
    picked_nz = normal.z;
    picked_time = t;
    picked_ent = ent;
}

bool TPick::PickTriangle(const TVector& a, const TVector& b, const TVector& t0, const TVector& t1,
                         const TVector& t2, const MeshRef& mesh, const SurfaceRef& surf, int tri,
                         float& best) {
    float u = 0.0f, v = 0.0f, w = 0.0f, t = 0.0f;
    if (!IntersectSegmentTriangle(a, b, t0, t1, t2, u, v, w, t) || !(t <= best)) return false;
    best = t;
    const TVector local = t0.Multiply(u).Add(t1.Multiply(v)).Add(t2.Multiply(w));
    TVector normal;
    if (surf) {
        TEntity::TFormNormal(surf->TriangleNX(tri), surf->TriangleNY(tri), surf->TriangleNZ(tri),
                             mesh, nullptr);
        normal = tformed();
    }
    RecordHit(mesh, tformPoint(local, mesh, nullptr), normal, t);
    picked_surface = surf;
    picked_triangle = tri;
    return true;
}

int TPick::PickPolys(const TVector& a, const TVector& b, const PolygonList& polys,
                     const MeshRef& mesh, float& best) {
    int result = 0;
    for (const PolygonRef& poly : polys) {
        if (!poly || poly->no_verts != 3) continue;
        const std::array<TVector, 3>& c = poly->source;
        if (PickTriangle(a, b, c[0], c[1], c[2], mesh, poly->surf, poly->tri, best)) {
            result = 1;
        }
    }
    return result;
}

EntityRef TPick::Pick(float ax, float ay, float az, float bx, float by, float bz, float radius) {
    (void)radius;
    picked_ent.reset();
    picked_time = 1.0f;
    float best = 1.0f;
    const TVector a{ax, ay, az};
    const TVector b{bx, by, bz};
    if (!TEntity::entity_list) return nullptr;

    for (const EntityRef& ent : *TEntity::entity_list) {
        if (!ent || ent->pick_mode == NOPICK || ent->EntityHidden() != 0) continue;
        float t = 0.0f;
        TVector hit;

        if (ent->pick_mode == SPHEREPICK) {
            const TVector centre = worldPosition(*ent);
            if (IntersectSegmentSphere(a, b, centre, ent->radius_x, t, hit) && t <= best) {
                best = t;
                TVector n = hit.Subtract(centre);
                n.Normalize(); // a hit at the centre itself keeps a zero normal
                RecordHit(ent, hit, n, t);
            }
        } else if (ent->pick_mode == POLYGONPICK) {
            MeshRef mesh = std::dynamic_pointer_cast<TMesh>(ent);
            if (!mesh) continue;
            if (mesh->octree) {
                const TVector la = tformPoint(a, nullptr, mesh);
                const TVector lb = tformPoint(b, nullptr, mesh);
                float box_t = 1.0f;
                mesh->octree->OctPick(la, lb, mesh, best, box_t);
                continue;
            }
            // The pre-test needs the bounds of the mesh as it is now, not as last drawn.
            mesh->GetBounds();
            const TSphere sphere = mesh->BoundingSphere();
            if (!IntersectSegmentSphere(a, b, sphere.centre, sphere.radius, t, hit)) continue;
            const TVector la = tformPoint(a, nullptr, mesh);
            const TVector lb = tformPoint(b, nullptr, mesh);
            const int no_surfs = mesh->CountSurfaces();
            for (int s = 1; s <= no_surfs; ++s) {
                SurfaceRef surf = mesh->GetSurface(s);
                if (!surf) continue;
                const int no_tris = surf->CountTriangles();
                for (int tri = 0; tri < no_tris; ++tri) {
                    TVector corner[3];
                    for (int k = 0; k < 3; ++k) {
                        const int vid = surf->TriangleVertex(tri, k);
                        corner[k] =
                            TVector{surf->VertexX(vid), surf->VertexY(vid), surf->VertexZ(vid)};
                    }
                    PickTriangle(la, lb, corner[0], corner[1], corner[2], mesh, surf, tri, best);
                }
            }
        } else if (ent->pick_mode == BOXPICK) {
            const TVector pos = worldPosition(*ent);
            const TVector min{ent->box_x + pos.x, ent->box_y + pos.y, ent->box_z + pos.z};
            const TVector size{ent->box_w, ent->box_h, ent->box_d};
            if (IntersectSegmentAABB(a, b, min.x, min.y, min.z, size.x, size.y, size.z, t, hit) &&
                t <= best) {
                best = t;
                RecordHit(ent, hit, boxFaceNormal(min, size, hit), t);
            }
        }
    }
    return picked_ent.lock();
}

EntityRef TPick::CameraPick(const CameraRef& camera, float x, float y) {
    if (!camera) return nullptr;
    const double wy = double(GraphicsHeight()) - double(y);
    GLdouble nx = 0.0, ny = 0.0, nz = 0.0, fx = 0.0, fy = 0.0, fz = 0.0;
    const bool ok = gluUnProject(x, wy, 0.0, camera->mod_mat.data(), camera->proj_mat.data(),
                                 camera->viewport.data(), &nx, &ny, &nz) == GL_TRUE &&
                    gluUnProject(x, wy, 1.0, camera->mod_mat.data(), camera->proj_mat.data(),
                                 camera->viewport.data(), &fx, &fy, &fz) == GL_TRUE;
    if (!ok) {
        // Nothing to cast a ray from: the outcome of a pick that hits nothing.
        picked_ent.reset();
        picked_time = 1.0f;
        return nullptr;
    }
    return Pick(float(nx), float(ny), float(-nz), float(fx), float(fy), float(-fz), 0.0f);
}

EntityRef TPick::EntityPick(const EntityRef& entity, float range) {
    if (!entity) return nullptr;
    const TVector a = tformPoint(TVector{0.0f, 0.0f, 0.0f}, entity, nullptr);
    const TVector b = tformPoint(TVector{0.0f, 0.0f, range}, entity, nullptr);
    return Pick(a.x, a.y, a.z, b.x, b.y, b.z, 0.0f);
}

EntityRef TPick::LinePick(float x, float y, float z, float dx, float dy, float dz, float radius) {
    return Pick(x, y, z, x + dx, y + dy, z + dz, radius);
}

int TPick::EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity) {
    if (!src_entity || !dest_entity) return 0;
    const PickResults saved{picked_x,  picked_y,    picked_z,   picked_nx,      picked_ny,
                            picked_nz, picked_time, picked_ent, picked_surface, picked_triangle};
    const TVector a = worldPosition(*src_entity);
    const TVector b = worldPosition(*dest_entity);
    const EntityRef blocker = Pick(a.x, a.y, a.z, b.x, b.y, b.z, 0.0f);
    picked_x = saved.x;
    picked_y = saved.y;
    picked_z = saved.z;
    picked_nx = saved.nx;
    picked_ny = saved.ny;
    picked_nz = saved.nz;
    picked_time = saved.time;
    picked_ent = saved.ent;
    picked_surface = saved.surface;
    picked_triangle = saved.triangle;
    return blocker ? 0 : 1;
}

// ---- The entity and camera methods that forward here ----

EntityRef TEntity::EntityPick(float range) {
    return TPick::EntityPick(self(), range);
}

EntityRef TEntity::LinePick(float x, float y, float z, float dx, float dy, float dz, float radius) {
    return TPick::LinePick(x, y, z, dx, dy, dz, radius);
}

int TEntity::EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity) {
    return TPick::EntityVisible(src_entity, dest_entity);
}

int TEntity::EntityPickMode(int mode, int obscurer_flag) {
    pick_mode = mode;
    obscurer = obscurer_flag;
    return 0;
}

EntityRef TCamera::CameraPick(float x, float y) {
    return TPick::CameraPick(std::static_pointer_cast<TCamera>(self()), x, y);
}

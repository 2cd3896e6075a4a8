// The ellipsoid collide-and-slide: a unit sphere (the source's ellipsoid scaled per axis) swept
// against the target's triangles, stopping just short of the nearest contact and sliding the
// rest of its motion along the plane it touches, for at most kMaxSlideDepth + 1 passes.
#include "engine/collision.h"

#include "engine/entity.h"
#include "engine/flags.h"
#include "engine/mesh.h"
#include "engine/octree.h"
#include "engine/polygon.h"
#include "engine/surface.h"

#include <algorithm>
#include <cmath>

int TCollision::slide_depth = 0;

namespace {

// A triangle corner from the target's own space into the packet's ellipsoid space: method 2
// through world space, any other method as it stands; then divided by the packet's radii.
TVector ToEllipsoidSpace(const TCollisionPacket& packet, float x, float y, float z) {
    TVector p{x, y, z};
    if (packet.method == WORLDMESHCOLLISION) {
        TEntity::TFormPoint(x, y, z, packet.target, nullptr);
        p = TVector{TEntity::TFormedX(), TEntity::TFormedY(), TEntity::TFormedZ()};
    }
    return TVector{p.x / packet.radii.x, p.y / packet.radii.y, p.z / packet.radii.z};
}

// Every triangle of every surface of the target mesh.
void CheckMeshTriangles(TCollisionPacket& packet) {
    const auto* mesh = dynamic_cast<const TMesh*>(packet.target.get());
    if (!mesh) return;
    for (int s = 1; s <= mesh->CountSurfaces(); ++s) {
        const SurfaceRef surf = mesh->GetSurface(s);
        if (!surf) continue;
        for (int t = 0; t < surf->CountTriangles(); ++t) {
            TVector q[3];
            for (int corner = 0; corner < 3; ++corner) {
                const int v = surf->TriangleVertex(t, corner);
                q[corner] =
                    ToEllipsoidSpace(packet, surf->VertexX(v), surf->VertexY(v), surf->VertexZ(v));
            }
            if (TCollision::CheckTriangle(packet, q[0], q[1], q[2]) == 1) {
                packet.surf = surf;
                packet.tri = t;
            }
        }
    }
}

// The 3-vertex pieces of one octree leaf; a hit reports the piece's source triangle.
void CheckPolygons(TCollisionPacket& packet, const PolygonList& polys) {
    for (const PolygonRef& poly : polys) {
        if (!poly || poly->no_verts != 3) continue;
        TVector q[3];
        for (int corner = 0; corner < 3; ++corner) {
            const TVector& v = poly->GetVertex(corner);
            q[corner] = ToEllipsoidSpace(packet, v.x, v.y, v.z);
        }
        if (TCollision::CheckTriangle(packet, q[0], q[1], q[2]) == 1) {
            packet.surf = poly->surf;
            packet.tri = poly->tri;
        }
    }
}

// Appends the packet's nearest contact to the source's impacts: the contact point back in world
// space, the hit triangle's face normal in world space, the target, surface and triangle.
void RecordImpact(const TCollisionPacket& packet) {
    if (!packet.source) return;
    const TVector& r = packet.radii;
    const TVector& ip = packet.intersection_point;
    TVector p{ip.x * r.x, ip.y * r.y, ip.z * r.z};
    if (packet.method != WORLDMESHCOLLISION) {
        TEntity::TFormPoint(p.x, p.y, p.z, packet.target, nullptr);
        p = TVector{TEntity::TFormedX(), TEntity::TFormedY(), TEntity::TFormedZ()};
    }
    TVector n;
    const TSurface* surf = packet.surf.get();
    if (surf && packet.tri >= 0 && packet.tri < surf->CountTriangles()) {
        TEntity::TFormNormal(surf->TriangleNX(packet.tri), surf->TriangleNY(packet.tri),
                             surf->TriangleNZ(packet.tri), packet.target, nullptr);
        n = TVector{TEntity::TFormedX(), TEntity::TFormedY(), TEntity::TFormedZ()};
        n.Normalize();
    }
    TCollision::AddImpact(*packet.source, p, n, 0.0f, packet.target, packet.surf, packet.tri);
}

} // namespace

TVector TCollision::SlideSphereAgainstMesh(const TVector& pos, const TVector& vel,
                                           TCollisionPacket& packet, int first) {
    if (first == 1) slide_depth = 0;
    if (slide_depth > kMaxSlideDepth) return pos;

    packet.velocity = vel;
    packet.normalized_velocity = vel;
    packet.normalized_velocity.Normalize();
    packet.base_point = pos;
    packet.found = 0;
    MeshCheckCollision(packet);

    const TVector destination = pos.Add(vel);
    if (packet.found == 0) return destination;
    ++packet.contacts;
    // Starting in contact: the whole motion is taken, so a sphere caught in a surface can
    // leave it; nothing is recorded.
    if (packet.nearest_distance == 0.0f) return destination;

    // The centre at the contact, and the normal of the sliding plane through the contact.
    TVector v = vel;
    v.SetLength(packet.nearest_distance);
    TVector new_base = packet.base_point.Add(v);
    TVector n = new_base.Subtract(packet.intersection_point);
    n.Normalize();

    if (slide_depth == 0) RecordImpact(packet);

    // Back off along the motion until the centre stands veryCloseDistance off the contact
    // along n. A motion that grazes the contact (v . n near 0) would ask for a step back far
    // beyond where this pass started; the step is held to the distance travelled.
    v.SetLength(veryCloseDistance);
    const float k = v.Dot(n);
    const float f = k == 0.0f ? 0.0f : veryCloseDistance / k;
    TVector w = v.Multiply(f);
    const float limit = std::max(packet.nearest_distance, veryCloseDistance);
    if (!(w.Length() <= limit)) w.SetLength(limit);
    new_base = new_base.Add(w);
    packet.intersection_point = packet.intersection_point.Add(w);

    // Slide: what remains of the motion, projected onto the plane through the contact.
    const TPlane plane = TPlane::CreatePlane(packet.intersection_point, n);
    const auto dist = static_cast<float>(plane.signedDistanceTo(destination));
    const TVector new_destination = destination.Subtract(n.Multiply(dist));
    const TVector new_velocity = new_destination.Subtract(packet.intersection_point);
    if (!(new_velocity.Length() > veryCloseDistance)) return new_base;

    ++slide_depth;
    return SlideSphereAgainstMesh(new_base, new_velocity, packet, 0);
}

int TCollision::MeshCheckCollision(TCollisionPacket& packet) {
    auto* mesh = dynamic_cast<TMesh*>(packet.target.get());
    if (!mesh) return 0;
    if (mesh->octree) {
        TOctree::no_polys_active = 0;
        mesh->octree->OctCollision(packet.box, [&packet](const PolygonList& polys) {
            PolysCheckCollision(packet, polys);
        });
    } else if (packet.method == WORLDMESHCOLLISION) {
        MeshCheckCollision2(packet);
    } else {
        MeshCheckCollision4(packet);
    }
    return 0;
}

int TCollision::MeshCheckCollision2(TCollisionPacket& packet) {
    CheckMeshTriangles(packet);
    return 0;
}

int TCollision::MeshCheckCollision4(TCollisionPacket& packet) {
    CheckMeshTriangles(packet);
    return 0;
}

int TCollision::PolysCheckCollision(TCollisionPacket& packet, const PolygonList& polys) {
    if (packet.method == WORLDMESHCOLLISION) {
        PolysCheckCollision2(packet, polys);
    } else {
        PolysCheckCollision4(packet, polys);
    }
    return 0;
}

int TCollision::PolysCheckCollision2(TCollisionPacket& packet, const PolygonList& polys) {
    CheckPolygons(packet, polys);
    return 0;
}

int TCollision::PolysCheckCollision4(TCollisionPacket& packet, const PolygonList& polys) {
    CheckPolygons(packet, polys);
    return 0;
}

int TCollision::CheckTriangle(TCollisionPacket& packet, const TVector& p1, const TVector& p2,
                              const TVector& p3) {
    const TPlane plane = TPlane::CreatePlaneFromTriangle(p1, p2, p3);
    const TVector& normal = plane.normal;
    // A degenerate triangle has no plane to meet.
    if (!(normal.SquaredLength() > 0.0f)) return 0;
    if (plane.isFrontFacingTo(packet.normalized_velocity) == 0) return 0;

    const TVector& base = packet.base_point;
    const TVector& vel = packet.velocity;
    const auto d = static_cast<float>(plane.signedDistanceTo(base));
    const float nv = normal.Dot(vel);

    float t0 = 0.0f;
    bool embedded = false;
    if (nv == 0.0f) {
        // Moving parallel to the plane: either never near it, or inside its slab all along.
        if (!(std::fabs(d) < 1.0f)) return 0;
        embedded = true;
    } else {
        t0 = (-1.0f - d) / nv;
        float t1 = (1.0f - d) / nv;
        if (t0 > t1) std::swap(t0, t1);
        if (t0 > 1.0f || t1 < 0.0f) return 0;
        t0 = std::clamp(t0, 0.0f, 1.0f);
    }
    if (!std::isfinite(t0)) return 0;

    float t = 1.0f;
    bool hit = false;
    TVector contact;
    if (!embedded) {
        const TVector p = base.Subtract(normal).Add(vel.Multiply(t0));
        if (CheckPointInTriangle(p, p1, p2, p3) == 1) {
            hit = true;
            t = t0;
            contact = p;
        }
    }

    if (!hit) {
        const float vv = vel.SquaredLength();
        float root = 0.0f;
        for (const TVector* corner : {&p1, &p2, &p3}) {
            const float b = 2.0f * vel.Dot(base.Subtract(*corner));
            const float c = corner->Subtract(base).SquaredLength() - 1.0f;
            if (getLowestRoot(vv, b, c, t, root) == 1) {
                t = root;
                hit = true;
                contact = *corner;
            }
        }
        const TVector* edges[3][2] = {{&p1, &p2}, {&p2, &p3}, {&p3, &p1}};
        for (const auto& edge : edges) {
            const TVector& pa = *edge[0];
            const TVector e = edge[1]->Subtract(pa);
            const TVector q = pa.Subtract(base);
            const float ee = e.SquaredLength();
            if (!(ee > 0.0f)) continue;
            const float ev = e.Dot(vel);
            const float eq = e.Dot(q);
            const float a = ee * -vv + ev * ev;
            const float b = ee * (2.0f * vel.Dot(q)) - 2.0f * ev * eq;
            const float c = ee * (1.0f - q.SquaredLength()) + eq * eq;
            if (getLowestRoot(a, b, c, t, root) == 1) {
                const float f = (ev * root - eq) / ee;
                if (f >= 0.0f && f <= 1.0f) {
                    t = root;
                    hit = true;
                    contact = pa.Add(e.Multiply(f));
                }
            }
        }
    }
    if (!hit) return 0;

    const float distance = t * vel.Length();
    if (packet.found == 0 || distance < packet.nearest_distance) {
        packet.nearest_distance = distance;
        packet.intersection_point = contact;
        packet.found = 1;
        return 1;
    }
    return 0;
}

int TCollision::CheckPointInTriangle(const TVector& point, const TVector& a, const TVector& b,
                                     const TVector& c) {
    float u = 0.0f, v = 0.0f, w = 0.0f;
    Barycentric(a, b, c, point, u, v, w);
    return v >= 0.0f && w >= 0.0f && v + w <= 1.0f ? 1 : 0;
}

int TCollision::Barycentric(const TVector& a, const TVector& b, const TVector& c, const TVector& p,
                            float& u, float& v, float& w) {
    const TVector ab = b.Subtract(a);
    const TVector ac = c.Subtract(a);
    const TVector ap = p.Subtract(a);
    const float d00 = ab.Dot(ab);
    const float d01 = ab.Dot(ac);
    const float d11 = ac.Dot(ac);
    const float d20 = ap.Dot(ab);
    const float d21 = ap.Dot(ac);
    const float denom = d00 * d11 - d01 * d01;
    v = denom != 0.0f ? (d11 * d20 - d01 * d21) / denom : 0.0f;
    w = denom != 0.0f ? (d00 * d21 - d01 * d20) / denom : 0.0f;
    if (denom == 0.0f || !std::isfinite(v) || !std::isfinite(w)) {
        // No area: no point lies inside.
        u = 1.0f;
        v = -1.0f;
        w = -1.0f;
        return 0;
    }
    u = 1.0f - v - w;
    return 0;
}

int TCollision::getLowestRoot(float a, float b, float c, float maxR, float& root) {
    if (a == 0.0f) return 0;
    const float det = b * b - 4.0f * a * c;
    if (!(det >= 0.0f)) return 0;
    const float s = std::sqrt(det);
    float r1 = (-b - s) / (2.0f * a);
    float r2 = (-b + s) / (2.0f * a);
    if (r1 > r2) std::swap(r1, r2);
    if (r1 > 0.0f && r1 < maxR) {
        root = r1;
        return 1;
    }
    if (r2 > 0.0f && r2 < maxR) {
        root = r2;
        return 1;
    }
    return 0;
}

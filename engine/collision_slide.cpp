// The ellipsoid collide-and-slide: a unit sphere (the source's ellipsoid scaled per axis) swept
// against the target's triangles or its ellipsoid, stopping just short of the nearest contact
// and sliding the rest of its motion along the plane it touches, for at most kMaxSlideDepth + 1
// passes.
#include "engine/collision.h"

#include "engine/entity.h"
#include "engine/flags.h"
#include "engine/mesh.h"
#include "engine/octree.h"
#include "engine/polygon.h"
#include "engine/surface.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

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

// The 3-vertex pieces of one octree leaf. Each stands for the whole triangle it was cut from,
// which is tested in its place: a piece's own rounded corners could give another plane, even
// the other facing, and its cut edges are no edges of the mesh. So a move meets the same
// triangles at the same points with and without the octree.
void CheckPolygons(TCollisionPacket& packet, const PolygonList& polys) {
    for (const PolygonRef& poly : polys) {
        if (!poly || poly->no_verts != 3) continue;
        TVector q[3];
        for (int corner = 0; corner < 3; ++corner) {
            const TVector& v = poly->source[std::size_t(corner)];
            q[corner] = ToEllipsoidSpace(packet, v.x, v.y, v.z);
        }
        if (TCollision::CheckTriangle(packet, q[0], q[1], q[2]) == 1) {
            packet.surf = poly->surf;
            packet.tri = poly->tri;
        }
    }
}

// Per-axis product and quotient.
TVector MultiplyAxes(const TVector& a, const TVector& b) {
    return TVector{a.x * b.x, a.y * b.y, a.z * b.z};
}

TVector DivideAxes(const TVector& a, const TVector& b) {
    return TVector{a.x / b.x, a.y / b.y, a.z / b.z};
}

// The impact of a method 1 contact: where the two ellipsoids touched when they met, the normal
// of the summed ellipsoid there, both in world space, and the fraction of the move it took.
void RecordEllipsoidImpact(const TCollisionPacket& packet) {
    const float speed = packet.velocity.Length();
    const float t = speed > 0.0f ? std::clamp(packet.nearest_distance / speed, 0.0f, 1.0f) : 0.0f;
    const TVector& r = packet.radii;
    const TVector& k = packet.target_radii;
    // The source's centre where it met the summed ellipsoid, from the target's centre (world
    // units); the target's centre itself at that moment of the move.
    const TVector met =
        packet.base_point.Add(packet.normalized_velocity.Multiply(packet.nearest_distance));
    const TVector apart = MultiplyAxes(met.Subtract(packet.target_centre), r);
    const TVector centre =
        MultiplyAxes(packet.target_centre, r).Subtract(packet.target_motion.Multiply(1.0f - t));
    // The surfaces touch where the target's share of the summed radius ends, per axis.
    const TVector share{(k.x - 1.0f) / k.x, (k.y - 1.0f) / k.y, (k.z - 1.0f) / k.z};
    const TVector point = centre.Add(MultiplyAxes(apart, share));
    TVector n = DivideAxes(packet.contact_normal, r);
    n.Normalize();
    TCollision::AddImpact(*packet.source, point, n, t, packet.target, nullptr, 0);
}

// Appends the packet's nearest contact to the source's impacts: the contact point back in world
// space, the hit triangle's face normal in world space, the target, surface and triangle (method
// 1: see RecordEllipsoidImpact).
void RecordImpact(const TCollisionPacket& packet) {
    if (!packet.source) return;
    if (packet.method == SPHERECOLLISION) {
        RecordEllipsoidImpact(packet);
        return;
    }
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

// The pieces gathered from the leaves, one per source triangle, in the order the mesh holds
// those triangles (surface by surface, triangle by triangle). Tested in that order, they give
// the plain mesh's result also where two triangles are met at the same distance (the first
// tested wins), as when a sphere starts touching two of them.
PolygonList InMeshOrder(const TMesh& mesh, PolygonList pieces) {
    std::vector<const TSurface*> surfaces;
    for (int s = 1; s <= mesh.CountSurfaces(); ++s) surfaces.push_back(mesh.GetSurface(s).get());
    auto rank = [&surfaces](const PolygonRef& p) {
        const auto it = std::find(surfaces.begin(), surfaces.end(), p->surf.get());
        return std::make_pair(it - surfaces.begin(), p->tri);
    };
    std::stable_sort(
        pieces.begin(), pieces.end(),
        [&rank](const PolygonRef& a, const PolygonRef& b) { return rank(a) < rank(b); });
    pieces.erase(std::unique(pieces.begin(), pieces.end(),
                             [](const PolygonRef& a, const PolygonRef& b) {
                                 return a->surf == b->surf && a->tri == b->tri;
                             }),
                 pieces.end());
    return pieces;
}

// The box, in the target's own space, that holds every point the unit sphere can touch in this
// pass: its sweep from base_point by velocity, widened by its radius and the stand-off (and a
// little for rounding), carried out of ellipsoid space.
AABB PassBox(const TCollisionPacket& packet) {
    const TVector& a = packet.base_point;
    const TVector b = a.Add(packet.velocity);
    const float lo[3] = {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
    const float hi[3] = {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
    const float r[3] = {packet.radii.x, packet.radii.y, packet.radii.z};
    AABB box;
    for (int k = 0; k < 3; ++k) {
        const float pad = 1.0f + 2.0f * packet.stand_off +
                          8.0f * FLT_EPSILON * std::max(std::fabs(lo[k]), std::fabs(hi[k]));
        box.min[k] = (lo[k] - pad) * r[k];
        box.max[k] = (hi[k] + pad) * r[k];
    }
    if (packet.method == 2) {
        // Ellipsoid space runs along world axes: carry the box's corners into the target's
        // space and take the box around them.
        const AABB world = box;
        for (int k = 0; k < 3; ++k) {
            box.min[k] = std::numeric_limits<float>::infinity();
            box.max[k] = -std::numeric_limits<float>::infinity();
        }
        for (int corner = 0; corner < 8; ++corner) {
            const float x = (corner & 4) ? world.max[0] : world.min[0];
            const float y = (corner & 2) ? world.max[1] : world.min[1];
            const float z = (corner & 1) ? world.max[2] : world.min[2];
            TEntity::TFormPoint(x, y, z, nullptr, packet.target);
            const float t[3] = {TEntity::TFormedX(), TEntity::TFormedY(), TEntity::TFormedZ()};
            for (int k = 0; k < 3; ++k) {
                // The transform's own rounding: widen by the same few units of resolution.
                const float slack = 8.0f * FLT_EPSILON * std::fabs(t[k]);
                box.min[k] = std::min(box.min[k], t[k] - slack);
                box.max[k] = std::max(box.max[k], t[k] + slack);
            }
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(box.min[k]) || !std::isfinite(box.max[k])) {
            box.min[k] = -std::numeric_limits<float>::infinity();
            box.max[k] = std::numeric_limits<float>::infinity();
        }
    }
    return box;
}

} // namespace

TVector TCollision::SlideSphere(const TVector& pos, const TVector& vel, TCollisionPacket& packet,
                                int first) {
    if (first == 1) slide_depth = 0;
    if (slide_depth > kMaxSlideDepth) return pos;

    packet.velocity = vel;
    packet.normalized_velocity = vel;
    packet.normalized_velocity.Normalize();
    packet.base_point = pos;
    packet.found = 0;
    if (packet.method == SPHERECOLLISION) {
        EllipsoidCheckCollision(packet);
    } else {
        const auto* mesh = dynamic_cast<const TMesh*>(packet.target.get());
        if (mesh && mesh->octree) packet.box = PassBox(packet);
        MeshCheckCollision(packet);
    }

    const TVector destination = pos.Add(vel);
    if (packet.found == 0) return destination;
    ++packet.contacts;
    const float stand_off = packet.stand_off;

    if (packet.nearest_distance == 0.0f) {
        // Starting in contact with what the motion runs into: this pass does not move. The next
        // one drops the motion into the contact and pushes the centre back out to the
        // stand-off, along n: from a triangle's contact point to the centre (the triangle's
        // normal when the centre lies on it), or the target ellipsoid's normal; gap is how far
        // the centre stands in front of the contact along n. What was met faces away from that
        // motion, so the next pass meets only what lies along the way out.
        TVector n;
        float gap = 0.0f;
        if (packet.method == SPHERECOLLISION) {
            n = packet.contact_normal;
            gap = pos.Subtract(packet.intersection_point).Dot(n);
        } else {
            n = pos.Subtract(packet.intersection_point);
            gap = n.Length();
            n = gap > 0.0f ? n.Divide(gap) : packet.contact_normal;
        }
        if (slide_depth == 0) RecordImpact(packet);
        const float into = std::min(vel.Dot(n), 0.0f);
        const float push = std::max(1.0f + stand_off - gap, stand_off);
        const TVector next = vel.Subtract(n.Multiply(into)).Add(n.Multiply(push));
        ++slide_depth;
        return SlideSphere(pos, next, packet, 0);
    }

    // The centre at the contact, and the normal of the sliding plane through the contact.
    TVector v = vel;
    v.SetLength(packet.nearest_distance);
    TVector new_base = packet.base_point.Add(v);
    TVector n = new_base.Subtract(packet.intersection_point);
    n.Normalize();

    if (slide_depth == 0) RecordImpact(packet);

    // Back off along the motion until the centre stands the stand-off away from the contact
    // along n. A motion that grazes the contact (v . n near 0) would ask for a step back far
    // beyond where this pass started; the step is held to the distance travelled.
    v.SetLength(stand_off);
    const float k = v.Dot(n);
    const float f = k == 0.0f ? 0.0f : stand_off / k;
    TVector w = v.Multiply(f);
    const float limit = std::max(packet.nearest_distance, stand_off);
    if (!(w.Length() <= limit)) w.SetLength(limit);
    new_base = new_base.Add(w);
    packet.intersection_point = packet.intersection_point.Add(w);

    // Slide: what remains of the motion, projected onto the plane through the contact.
    const TPlane plane = TPlane::CreatePlane(packet.intersection_point, n);
    const auto dist = static_cast<float>(plane.signedDistanceTo(destination));
    const TVector new_destination = destination.Subtract(n.Multiply(dist));
    const TVector new_velocity = new_destination.Subtract(packet.intersection_point);
    if (!(new_velocity.Length() > stand_off)) return new_base;

    ++slide_depth;
    return SlideSphere(new_base, new_velocity, packet, 0);
}

int TCollision::EllipsoidCheckCollision(TCollisionPacket& packet) {
    const TVector& k = packet.target_radii;
    if (!(k.x > 0.0f && k.y > 0.0f && k.z > 0.0f)) return 0;
    const TVector& base = packet.base_point;
    const TVector& vel = packet.velocity;
    // In the space where the summed ellipsoid is the unit sphere: the centre u moving by w.
    const TVector rel = base.Subtract(packet.target_centre);
    const TVector u = DivideAxes(rel, k);
    const TVector w = DivideAxes(vel, k);
    const float c = u.SquaredLength() - 1.0f;
    if (!std::isfinite(c)) return 0;

    if (c <= 0.0f) {
        // Starting on or inside: met at once when moving into it, that is toward the target's
        // centre; from the centre itself every motion leads out. The centre is pushed out
        // through the surface point on the ray from the target's centre through it, to the
        // tangent plane there.
        const float scale = u.Length();
        if (!(scale > 0.0f)) return 0;
        const TVector surface = rel.Divide(scale);
        TVector n = DivideAxes(DivideAxes(surface, k), k);
        n.Normalize();
        if (!(vel.Dot(n) < 0.0f)) return 0;
        // How far the centre lies behind that tangent plane.
        const float depth = surface.Subtract(rel).Dot(n);
        packet.nearest_distance = 0.0f;
        packet.contact_normal = n;
        packet.intersection_point = base.Subtract(n.Multiply(1.0f - depth));
        packet.found = 1;
        return 0;
    }

    // |u + w t| = 1 on the way in: a t^2 + b t + c = 0 with b < 0, the smaller root, written
    // in the form that keeps its precision.
    const float a = w.SquaredLength();
    const float b = 2.0f * u.Dot(w);
    if (!(a > 0.0f) || !(b < 0.0f)) return 0;
    const float disc = b * b - 4.0f * a * c;
    if (!(disc >= 0.0f)) return 0;
    const float t = 2.0f * c / (-b + std::sqrt(disc));
    if (!(t >= 0.0f && t <= 1.0f)) return 0;
    const TVector met = base.Add(vel.Multiply(t));
    TVector n = DivideAxes(DivideAxes(met.Subtract(packet.target_centre), k), k);
    n.Normalize();
    if (!(n.SquaredLength() > 0.0f)) return 0;
    packet.nearest_distance = t * vel.Length();
    packet.contact_normal = n;
    packet.intersection_point = met.Subtract(n);
    packet.found = 1;
    return 0;
}

int TCollision::MeshCheckCollision(TCollisionPacket& packet) {
    auto* mesh = dynamic_cast<TMesh*>(packet.target.get());
    if (!mesh) return 0;
    if (mesh->octree) {
        TOctree::no_polys_active = 0;
        PolygonList candidates;
        mesh->octree->OctCollision(packet.box, [&candidates](const PolygonList& polys) {
            for (const PolygonRef& p : polys) {
                if (p && p->no_verts == 3) candidates.push_back(p);
            }
        });
        PolysCheckCollision(packet, InMeshOrder(*mesh, std::move(candidates)));
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
    // The centre behind the plane: the triangle is seen from behind.
    if (d < 0.0f) return 0;
    const float nv = normal.Dot(vel);

    float t0 = 0.0f;
    bool embedded = false;
    if (nv == 0.0f) {
        // Moving parallel to the plane: either never near it, or inside its slab all along.
        if (!(d < 1.0f)) return 0;
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
            // Touching or overlapping at the start: the contact is the point of the face
            // nearest the centre.
            contact = t0 > 0.0f ? p : base.Subtract(normal.Multiply(d));
        }
    }

    if (!hit) {
        const float vv = vel.SquaredLength();
        float root = 0.0f;
        for (const TVector* corner : {&p1, &p2, &p3}) {
            const float b = 2.0f * vel.Dot(base.Subtract(*corner));
            const float c = corner->Subtract(base).SquaredLength() - 1.0f;
            if (c <= 0.0f) {
                // The corner starts on or inside the sphere: met at once when the motion
                // approaches it; one the sphere moves away from is no obstacle.
                if (b < 0.0f && t > 0.0f) {
                    t = 0.0f;
                    hit = true;
                    contact = *corner;
                }
            } else if (getLowestRoot(vv, b, c, t, root) == 1) {
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
            if (c >= 0.0f) {
                // The edge's line starts on or inside the sphere (c is ee times one minus the
                // squared distance to it): met at once when the motion approaches the point of
                // the edge nearest the centre, if that point lies on the edge.
                const float f = -eq / ee;
                if (b > 0.0f && f >= 0.0f && f <= 1.0f && t > 0.0f) {
                    t = 0.0f;
                    hit = true;
                    contact = pa.Add(e.Multiply(f));
                }
            } else if (getLowestRoot(a, b, c, t, root) == 1) {
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
        packet.contact_normal = normal;
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

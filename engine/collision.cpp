// The collision rules, the pass with its broad phase and per-move set-up, the sphere tests and
// the collision settings and results of entities. The collide-and-slide itself is in
// collision_slide.cpp.
#include "engine/collision.h"

#include "engine/entity.h"
#include "engine/flags.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "engine/pick.h"
#include "platform/error.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>

std::shared_ptr<TList<CollisionRef>> TCollision::list = CreateList<CollisionRef>();

namespace {

TVector GlobalPosition(const TEntity& e) {
    return TVector{e.EntityX(1), e.EntityY(1), e.EntityZ(1)};
}

TVector OldPosition(const TEntity& e) {
    return TVector{e.old_x, e.old_y, e.old_z};
}

bool Finite(const TVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A usable ellipsoid: every half-axis positive and finite.
bool UsableRadii(const TVector& r) {
    return Finite(r) && r.x > 0.0f && r.y > 0.0f && r.z > 0.0f;
}

TVector SourceRadii(const TEntity& e) {
    return TVector{std::fabs(e.radius_x), std::fabs(e.radius_y), std::fabs(e.radius_z)};
}

TVector GlobalScale(const TEntity& e) {
    return TVector{e.EntityScaleX(1), e.EntityScaleY(1), e.EntityScaleZ(1)};
}

// Per-axis quotient a / b.
TVector DivideAxes(const TVector& a, const TVector& b) {
    return TVector{a.x / b.x, a.y / b.y, a.z / b.z};
}

TVector MultiplyAxes(const TVector& a, const TVector& b) {
    return TVector{a.x * b.x, a.y * b.y, a.z * b.z};
}

// True when e's global position differs from where the last pass left it.
bool Moved(const TEntity& e) {
    return e.EntityX(1) != e.old_x || e.EntityY(1) != e.old_y || e.EntityZ(1) != e.old_z;
}

TVector TFormed() {
    return TVector{TEntity::TFormedX(), TEntity::TFormedY(), TEntity::TFormedZ()};
}

// The box that holds every point: for a target whose space has no inverse (a zero scale),
// where no swept box can be carried.
AABB EverythingBox() {
    const float inf = std::numeric_limits<float>::infinity();
    return AABB{{-inf, -inf, -inf}, {inf, inf, inf}};
}

// |radius / scale|; unbounded for a zero or non-finite quotient (the box then holds everything).
float PadOver(float radius, float scale) {
    const float inf = std::numeric_limits<float>::infinity();
    if (scale == 0.0f) return inf;
    const float q = std::fabs(radius / scale);
    return std::isfinite(q) ? q : inf;
}

// The box around the points a and b, widened by pad on each axis.
AABB PaddedBox(const TVector& a, const TVector& b, const TVector& pad) {
    AABB box;
    const float lo[3] = {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
    const float hi[3] = {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
    const float p[3] = {pad.x, pad.y, pad.z};
    for (int i = 0; i < 3; ++i) {
        box.min[i] = lo[i] - p[i];
        box.max[i] = hi[i] + p[i];
    }
    return box;
}

// The source's old and current positions carried into the target's space.
void SweepInTarget(const TCollisionPacket& packet, TVector& start, TVector& end) {
    const TVector old = OldPosition(*packet.source);
    const TVector now = GlobalPosition(*packet.source);
    TEntity::TFormPoint(old.x, old.y, old.z, nullptr, packet.target);
    start = TFormed();
    TEntity::TFormPoint(now.x, now.y, now.z, nullptr, packet.target);
    end = TFormed();
}

float MaxAbs(const TVector& v) {
    return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
}

// Puts ent back where its move started and says why in the debug log.
void RefuseMove(TEntity& ent, const std::string& why) {
    std::ostringstream text;
    text << "WARNING: collision move of entity '" << ent.name << "' refused (" << why
         << "); the entity stays at " << ent.old_x << ", " << ent.old_y << ", " << ent.old_z;
    DebugLog(text.str());
    ent.PositionEntity(ent.old_x, ent.old_y, ent.old_z, 1);
}

// Sets the packet's stand-off for a move from pos by vel (ellipsoid space), or refuses the move
// when float arithmetic cannot carry it out: false then, the source back at its start.
bool AcceptMove(TCollisionPacket& packet, const TVector& pos, const TVector& vel) {
    TEntity& ent = *packet.source;
    if (!Finite(pos) || !Finite(vel)) {
        RefuseMove(ent, "its position or motion is not finite in the collision space");
        return false;
    }
    // The magnitude of every coordinate the slide computes with, in ellipsoid units: the
    // sweep's ends and length, and the world positions the result is carried back to.
    const TVector r = SourceRadii(ent);
    const float smallest = std::min({r.x, r.y, r.z});
    const float world = std::max(MaxAbs(OldPosition(ent)), MaxAbs(GlobalPosition(ent)));
    const float magnitude =
        std::max({MaxAbs(pos), MaxAbs(pos.Add(vel)), MaxAbs(vel), world / smallest});
    packet.stand_off = TCollision::StandOff(magnitude);
    if (!(packet.stand_off <= TCollision::kMaxStandOff)) {
        std::ostringstream why;
        why << "coordinates up to " << magnitude
            << " radii: float resolution there is too coarse to keep the ellipsoid off a "
               "triangle; use a larger radius, shorter moves or a scene nearer the origin";
        RefuseMove(ent, why.str());
        return false;
    }
    return true;
}

} // namespace

int TCollision::AddImpact(TEntity& source, const TVector& point, const TVector& normal, float time,
                          const EntityRef& hit, const SurfaceRef& surf, int tri) {
    auto impact = std::make_shared<TCollisionImpact>();
    impact->x = point.x;
    impact->y = point.y;
    impact->z = point.z;
    impact->nx = normal.x;
    impact->ny = normal.y;
    impact->nz = normal.z;
    impact->time = time;
    impact->ent = hit;
    impact->surf = surf;
    impact->tri = tri;
    source.collision.push_back(impact);
    source.no_collisions = static_cast<int>(source.collision.size());
    return 0;
}

// ---- World-level rule commands ----

int TGlobal::Collisions(int src_type, int dest_type, int method, int response) {
    if (!TCollision::list) TCollision::list = CreateList<CollisionRef>();
    auto rule = std::make_shared<TCollision>();
    rule->src_type = src_type;
    rule->des_type = dest_type;
    rule->method = method;
    rule->response = response;
    TCollision::list->AddLast(rule);
    return 0;
}

int TGlobal::ClearCollisions() {
    ClearList(TCollision::list);
    return 0;
}

// ---- The pass ----

int TCollision::UpdateCollisions() {
    if (!TEntity::entity_list) return 0;
    // Snapshots: nothing in the pass adds or removes entities or rules, and the loops must not
    // depend on the list links staying put while entities are repositioned.
    const std::vector<CollisionRef> rules = list ? list->ToVector() : std::vector<CollisionRef>{};
    const auto keepOldPosition = [](TEntity& ent) {
        ent.old_x = ent.EntityX(1);
        ent.old_y = ent.EntityY(1);
        ent.old_z = ent.EntityZ(1);
    };
    if (rules.empty()) {
        // Nothing moves: the pass only forgets the last collisions and keeps the positions.
        TEntity::entity_list->ForEachWhileUnchanged([&](const EntityRef& ent) {
            if (!ent) return;
            ent->no_collisions = 0;
            ent->collision.clear();
            keepOldPosition(*ent);
        });
        return 0;
    }
    const std::vector<EntityRef> entities = TEntity::entity_list->ToVector();

    for (const EntityRef& ent : entities) {
        if (!ent) continue;
        ent->no_collisions = 0;
        ent->collision.clear();
        if (ent->collision_type != 0 && ent->EntityHidden() == 0) {
            for (const CollisionRef& rule : rules) {
                if (!rule || rule->src_type != ent->collision_type) continue;
                for (const EntityRef& e2 : entities) {
                    // An entity is never its own target.
                    if (!e2 || e2 == ent || e2->collision_type == 0) continue;
                    if (e2->collision_type != rule->des_type || e2->EntityHidden() != 0) continue;
                    switch (rule->method) {
                    case SPHERECOLLISION:
                        SphereToEllipsoid(ent, e2);
                        break;
                    case WORLDMESHCOLLISION:
                        if (QuickCheck(ent, e2) == 1) SphereToMesh2(ent, e2);
                        break;
                    case LOCALMESHCOLLISION:
                        if (QuickCheck(ent, e2) == 1) SphereToMesh4(ent, e2);
                        break;
                    default:
                        break;
                    }
                }
            }
        }
        keepOldPosition(*ent);
    }
    return 0;
}

int TCollision::QuickCheck(const EntityRef& ent, const EntityRef& e2) {
    if (!ent || !e2) return 0;
    if (!Moved(*ent)) return 0;
    // The target's bounding sphere comes from its bounds: bring them up to date first, so a
    // mesh edited (or never drawn) since they were last computed is not missed.
    if (auto* mesh = dynamic_cast<TMesh*>(e2.get())) mesh->GetBounds();
    return AABB::SphereAABBIntersection(e2->BoundingSphere(), GetBB(ent)) != 0 ? 1 : 0;
}

float TCollision::StandOff(float magnitude) {
    // Four units of float resolution (relative spacing FLT_EPSILON) at that magnitude: enough
    // for the rounding of the back-off, of the conversion back to world space and of the next
    // move's start.
    const float resolution = 4.0f * FLT_EPSILON * std::fabs(magnitude);
    return std::max(veryCloseDistance, resolution);
}

AABB TCollision::GetBB(const EntityRef& ent) {
    if (!ent) return AABB{};
    return PaddedBox(OldPosition(*ent), GlobalPosition(*ent), SourceRadii(*ent));
}

AABB TCollision::GetBB2(const TCollisionPacket& packet) {
    if (!packet.source || !packet.target) return AABB{};
    // The ellipsoid is axis-aligned in world space. Within the largest radius of the world
    // position lies everything it reaches; in the target's space that distance shrinks or
    // grows by at most the target's smallest global scale.
    const TVector r = SourceRadii(*packet.source);
    const float largest = std::max({r.x, r.y, r.z, 0.0f});
    const TVector s = GlobalScale(*packet.target);
    const float smallest = std::min({std::fabs(s.x), std::fabs(s.y), std::fabs(s.z)});
    if (!(smallest > 0.0f) || !std::isfinite(largest / smallest)) return EverythingBox();
    const float pad = largest / smallest;
    TVector start, end;
    SweepInTarget(packet, start, end);
    return PaddedBox(start, end, TVector{pad, pad, pad});
}

AABB TCollision::GetBB4(const TCollisionPacket& packet) {
    if (!packet.source || !packet.target) return AABB{};
    const TVector r = SourceRadii(*packet.source);
    const TVector s = GlobalScale(*packet.target);
    if (s.x == 0.0f || s.y == 0.0f || s.z == 0.0f) return EverythingBox();
    TVector start, end;
    SweepInTarget(packet, start, end);
    return PaddedBox(start, end, TVector{PadOver(r.x, s.x), PadOver(r.y, s.y), PadOver(r.z, s.z)});
}

int TCollision::SphereToMesh2(const EntityRef& ent, const EntityRef& e2) {
    if (!ent || !dynamic_cast<TMesh*>(e2.get())) return 0;
    const TVector radii = SourceRadii(*ent);
    if (!UsableRadii(radii)) return 0;

    TCollisionPacket packet;
    packet.method = WORLDMESHCOLLISION;
    packet.source = ent;
    packet.target = e2;
    packet.radii = radii;
    packet.box = GetBB2(packet);

    const TVector old = OldPosition(*ent);
    const TVector pos = DivideAxes(old, radii);
    const TVector vel = DivideAxes(GlobalPosition(*ent).Subtract(old), radii);
    if (!AcceptMove(packet, pos, vel)) return 0;

    const TVector p = MultiplyAxes(SlideSphere(pos, vel, packet, 1), radii);
    // A move that met nothing keeps the entity exactly where it was put; carrying it through
    // ellipsoid space and back would only add rounding.
    if (packet.contacts == 0 || !Finite(p)) return 0;
    ent->PositionEntity(p.x, p.y, p.z, 1);
    return 0;
}

int TCollision::SphereToMesh4(const EntityRef& ent, const EntityRef& e2) {
    if (!ent || !dynamic_cast<TMesh*>(e2.get())) return 0;
    const TVector scale = GlobalScale(*e2);
    if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) return 0;
    TVector radii = DivideAxes(SourceRadii(*ent), scale);
    radii = TVector{std::fabs(radii.x), std::fabs(radii.y), std::fabs(radii.z)};
    if (!UsableRadii(radii)) return 0;

    TCollisionPacket packet;
    packet.method = LOCALMESHCOLLISION;
    packet.source = ent;
    packet.target = e2;
    packet.radii = radii;
    packet.box = GetBB4(packet);

    const TVector old = OldPosition(*ent);
    const TVector delta = GlobalPosition(*ent).Subtract(old);
    TEntity::TFormPoint(old.x, old.y, old.z, nullptr, e2);
    const TVector pos = DivideAxes(TFormed(), radii);
    TEntity::TFormVector(delta.x, delta.y, delta.z, nullptr, e2);
    const TVector vel = DivideAxes(TFormed(), radii);
    if (!AcceptMove(packet, pos, vel)) return 0;

    const TVector p = MultiplyAxes(SlideSphere(pos, vel, packet, 1), radii);
    if (packet.contacts == 0 || !Finite(p)) return 0;
    TEntity::TFormPoint(p.x, p.y, p.z, e2, nullptr);
    const TVector world = TFormed();
    if (!Finite(world)) return 0;
    ent->PositionEntity(world.x, world.y, world.z, 1);
    return 0;
}

int TCollision::SphereToEllipsoid(const EntityRef& ent, const EntityRef& e2) {
    if (!ent || !e2 || !Moved(*ent)) return 0;
    const TVector radii = SourceRadii(*ent);
    if (!UsableRadii(radii)) return 0;
    // The target's ellipsoid in world units; a zero radius or scale leaves a point or a disc.
    const TVector reach = MultiplyAxes(SourceRadii(*e2), GlobalScale(*e2));
    const TVector target_radii{std::fabs(reach.x), std::fabs(reach.y), std::fabs(reach.z)};
    if (!Finite(target_radii)) return 0;

    // The sweep in the target's frame: from the source's old position moved on by the target's
    // own motion since the last pass (its old position to where it stands now), to the source's
    // current position. Against a target that stood still this is the source's own move.
    const TVector centre = GlobalPosition(*e2);
    const TVector target_motion = centre.Subtract(OldPosition(*e2));
    const TVector start = OldPosition(*ent).Add(target_motion);
    const TVector end = GlobalPosition(*ent);
    // Broad phase: the target's centre within the sweep's box padded by the summed radii.
    const AABB box = PaddedBox(start, end, radii.Add(target_radii));
    const float c[3] = {centre.x, centre.y, centre.z};
    for (int k = 0; k < 3; ++k) {
        if (!(c[k] >= box.min[k] && c[k] <= box.max[k])) return 0;
    }

    TCollisionPacket packet;
    packet.method = SPHERECOLLISION;
    packet.source = ent;
    packet.target = e2;
    packet.radii = radii;
    packet.target_centre = DivideAxes(centre, radii);
    packet.target_radii = DivideAxes(radii.Add(target_radii), radii);
    packet.target_motion = target_motion;

    const TVector pos = DivideAxes(start, radii);
    const TVector vel = DivideAxes(end.Subtract(start), radii);
    if (!AcceptMove(packet, pos, vel)) return 0;

    const TVector p = MultiplyAxes(SlideSphere(pos, vel, packet, 1), radii);
    if (packet.contacts == 0 || !Finite(p)) return 0;
    ent->PositionEntity(p.x, p.y, p.z, 1);
    return 0;
}

// ---- Spheres ----

int TCollision::SweptSpheres(const TVector& c0, const TVector& d0, float r0, const TVector& c1,
                             const TVector& d1, float r1, float& t) {
    const TVector s = c1.Subtract(c0);
    const TVector v = d1.Subtract(d0);
    const float r = r0 + r1;
    const float c = s.Dot(s) - r * r;
    if (c < 0.0f) {
        t = 0.0f;
        return 1;
    }
    const float a = v.Dot(v);
    const float b = v.Dot(s);
    // Not approaching (this covers a = 0 too).
    if (!(b < 0.0f)) return 0;
    const float d = b * b - a * c;
    if (d < 0.0f) return 0;
    const float root = (-b - std::sqrt(d)) / a;
    if (!(root >= 0.0f && root <= 1.0f)) return 0;
    t = root;
    return 1;
}

int TCollision::SphereToSphere(const EntityRef& ent, const EntityRef& e2, float t) {
    if (!ent || !e2) return 0;
    const TVector c0 = OldPosition(*ent);
    const TVector c1 = OldPosition(*e2);
    return SweptSpheres(c0, GlobalPosition(*ent).Subtract(c0), 1.0f, c1,
                        GlobalPosition(*e2).Subtract(c1), 1.0f, t);
}

int TCollision::SphereToSphere1(const EntityRef& ent, const EntityRef& e2, float t) {
    if (!ent || !e2) return 0;
    const TVector c0 = OldPosition(*ent);
    const TVector c1 = OldPosition(*e2);
    const TVector d0 = GlobalPosition(*ent).Subtract(c0);
    const TVector d1 = GlobalPosition(*e2).Subtract(c1);
    const TVector v = d0.Subtract(d1);
    // Without relative motion there is no segment to test: the spheres meet when they overlap
    // (as in SphereToSphere).
    if (v.SquaredLength() == 0.0f) return c1.Subtract(c0).SquaredLength() < 4.0f ? 1 : 0;
    // The segment test bounds its t (a fraction of the segment) to 0..1 already.
    TVector q;
    return TPick::IntersectSegmentSphere(c0, c0.Add(v), c1, 2.0f, t, q) != 0 ? 1 : 0;
}

// ---- Collision settings and results of entities ----

namespace {

// Impact number index (from 1), or null outside 1..no_collisions.
const TCollisionImpact* ImpactAt(const TEntity& e, int index) {
    if (index < 1 || index > e.no_collisions) return nullptr;
    if (static_cast<std::size_t>(index) > e.collision.size()) return nullptr;
    return e.collision[static_cast<std::size_t>(index) - 1].get();
}

} // namespace

int TEntity::ResetEntity() {
    no_collisions = 0;
    collision.clear();
    old_x = EntityX(1);
    old_y = EntityY(1);
    old_z = EntityZ(1);
    return 0;
}

int TEntity::EntityRadius(float x, float y, float z) {
    radius_x = x;
    radius_y = y == 0.0f ? x : y;
    radius_z = z == 0.0f ? x : z;
    return 0;
}

int TEntity::EntityBox(float x, float y, float z, float w, float h, float d) {
    box_x = x;
    box_y = y;
    box_z = z;
    box_w = w;
    box_h = h;
    box_d = d;
    return 0;
}

int TEntity::EntityType(int type, int recursive) {
    collision_type = type;
    if (recursive == 1) {
        for (const EntityRef& child : child_list) {
            if (child) child->EntityType(type, 1);
        }
    }
    return 0;
}

EntityRef TEntity::EntityCollided(int type) const {
    for (int i = 1; i <= CountCollisions(); ++i) {
        EntityRef hit = CollisionEntity(i);
        if (hit && hit->collision_type == type) return hit;
    }
    if (!entity_list) return nullptr;
    for (const EntityRef& e : *entity_list) {
        if (!e || e->collision_type != type) continue;
        for (int i = 1; i <= e->CountCollisions(); ++i) {
            if (e->CollisionEntity(i).get() == this) return e;
        }
    }
    return nullptr;
}

float TEntity::CollisionX(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->x : 0.0f;
}

float TEntity::CollisionY(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->y : 0.0f;
}

float TEntity::CollisionZ(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->z : 0.0f;
}

float TEntity::CollisionNX(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->nx : 0.0f;
}

float TEntity::CollisionNY(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->ny : 0.0f;
}

float TEntity::CollisionNZ(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->nz : 0.0f;
}

float TEntity::CollisionTime(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->time : 0.0f;
}

EntityRef TEntity::CollisionEntity(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->ent.lock() : nullptr;
}

SurfaceRef TEntity::CollisionSurface(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->surf : nullptr;
}

int TEntity::CollisionTriangle(int index) const {
    const TCollisionImpact* c = ImpactAt(*this, index);
    return c ? c->tri : 0;
}

#include "engine/entity.h"

#include "platform/mathfn.h"

#include <cmath>

TEntity::EntityListRef TEntity::entity_list = CreateList<EntityRef>();
float TEntity::tformed_x = 0.0f;
float TEntity::tformed_y = 0.0f;
float TEntity::tformed_z = 0.0f;

namespace {

// Values within +-0.0001 (bounds included) read as 0 in the global angle queries.
float snapSmall(float v) {
    return (v >= -0.0001f && v <= 0.0001f) ? 0.0f : v;
}

// Two-argument arc tangent in degrees, -180..180, rounded to float.
float atan2Deg(float y, float x) {
    return float(ATan2(double(y), double(x)));
}

// m := m x the inverse of the parent's global rotation, from its global angles: the step that
// turns a world offset into the parent's axes.
void applyParentRotationInverse(TMatrix& m, const TEntity& p) {
    m.RotateRoll(-p.EntityRoll(1));
    m.RotatePitch(p.EntityPitch(1));
    m.RotateYaw(-p.EntityYaw(1));
}

} // namespace

TEntity::TEntity() : brush(std::make_shared<TBrush>()) {}

TEntity::~TEntity() = default;

// ---- Scene graph ----

int TEntity::FreeEntity() {
    EntityRef keep = self(); // the list link may hold the last reference
    freed = true;
    if (TLinkRef<EntityRef> link = entity_link.lock()) link->Remove();
    if (EntityRef p = parent.lock()) {
        if (keep) p->child_list.Remove(keep);
    }
    parent.reset();
    mat = TMatrix{};
    brush.reset();
    entity_link.reset();
    for (const EntityRef& c : child_list) {
        if (c) c->FreeEntity();
    }
    return 0;
}

int TEntity::EntityListAdd(const EntityListRef& list) {
    EntityRef me = self();
    if (!list || !me) return 0;
    TLinkRef<EntityRef> link;
    if (order > 0) {
        // From the head: before the first entry whose order is <= ours (else at the tail).
        TLinkRef<EntityRef> l = list->FirstLink();
        while (l && !(l->Value() && l->Value()->order <= order)) l = l->NextLink();
        link = list->InsertBeforeLink(me, l);
    } else {
        // From the tail: after the first entry met whose order is >= ours (else at the head).
        TLinkRef<EntityRef> l = list->LastLink();
        while (l && !(l->Value() && l->Value()->order >= order)) l = l->PrevLink();
        link = list->InsertAfterLink(me, l);
    }
    if (list == entity_list) entity_link = link;
    return 0;
}

bool TEntity::IsSelfOrAncestorOf(const TEntity* candidate) const {
    for (const TEntity* e = candidate; e;) {
        if (e == this) return true;
        EntityRef up = e->parent.lock();
        e = up.get();
    }
    return false;
}

int TEntity::AddParent(const EntityRef& given_parent) {
    if (freed) return 0;
    const EntityRef& new_parent = Live(given_parent);
    if (new_parent && IsSelfOrAncestorOf(new_parent.get())) return 0;
    EntityRef me = self();
    parent = new_parent;
    if (new_parent) {
        mat.Overwrite(new_parent->mat);
        if (me) new_parent->child_list.AddLast(me);
    }
    return 0;
}

int TEntity::EntityParent(const EntityRef& given_parent, int global) {
    EntityRef me = self();
    if (!me || freed) return 0;
    const EntityRef& new_parent = Live(given_parent);
    if (new_parent && IsSelfOrAncestorOf(new_parent.get())) return 0;

    const float gx = EntityX(1), gy = EntityY(1), gz = EntityZ(1);
    const float gpitch = EntityPitch(1), gyaw = EntityYaw(1), groll = EntityRoll(1);
    const float gsx = EntityScaleX(1), gsy = EntityScaleY(1), gsz = EntityScaleZ(1);

    if (EntityRef old = parent.lock()) old->child_list.Remove(me);
    parent.reset();

    px = gx;
    py = gy;
    pz = -gz;
    rx = -gpitch;
    ry = gyaw;
    rz = groll;
    sx = gsx;
    sy = gsy;
    sz = gsz;

    if (!new_parent) {
        UpdateMat(1);
        UpdateChildren(me);
        return 0;
    }
    AddParent(new_parent);
    if (global == 1) {
        // Each of these rebuilds the descendants too.
        PositionEntity(gx, gy, gz, 1);
        RotateEntity(gpitch, gyaw, groll, 1);
        ScaleEntity(gsx, gsy, gsz, 1);
    } else {
        UpdateMat(0);
        UpdateChildren(me);
    }
    return 0;
}

EntityRef TEntity::GetChild(int n) const {
    if (n < 1 || n > child_list.Count()) return nullptr;
    return child_list.ValueAtIndex(n - 1);
}

EntityRef TEntity::FindChild(const std::string& wanted) const {
    for (const EntityRef& c : child_list) {
        if (!c) continue;
        if (c->EntityName() == wanted) return c;
        if (EntityRef found = c->FindChild(wanted)) return found;
    }
    return nullptr;
}

int TEntity::CountAllChildren(const EntityRef& entity, int count) {
    if (!entity) return count;
    for (const EntityRef& c : entity->child_list) {
        count += 1;
        count = CountAllChildren(c, count);
    }
    return count;
}

EntityRef TEntity::GetChildFromAll(int n, int& count, const EntityRef& entity) {
    EntityRef start = entity ? entity : self();
    if (!start) return nullptr;
    EntityRef found;
    for (const EntityRef& e : start->child_list) {
        count += 1;
        if (count == n) return e;
        if (!found && e) found = GetChildFromAll(n, count, e);
    }
    return found;
}

int TEntity::ShowEntity() {
    hide = 0;
    return 0;
}

int TEntity::HideEntity() {
    hide = 1;
    return 0;
}

int TEntity::EntityHidden() const {
    if (hide == 1) return 1;
    for (EntityRef e = parent.lock(); e; e = e->parent.lock()) {
        if (e->hide == 1) return 1;
    }
    return 0;
}

int TEntity::NameEntity(const std::string& new_name) {
    name = new_name;
    return 0;
}

// ---- Placement of new entities and copies ----

void TEntity::PlaceNew(const EntityRef& new_parent) {
    AddParent(new_parent);
    EntityListAdd(entity_list);
    if (EntityRef p = parent.lock()) {
        mat.Overwrite(p->mat);
        UpdateMat(0);
    } else {
        UpdateMat(1);
    }
}

void TEntity::CopyChildrenFrom(const TEntity& src) {
    EntityRef me = self();
    for (const EntityRef& c : src.child_list) {
        if (c) c->CopyEntity(me);
    }
}

void TEntity::PlaceCopy(const TEntity& src, const EntityRef& new_parent) {
    AddParent(new_parent);
    EntityListAdd(entity_list);
    if (EntityRef p = parent.lock()) {
        mat.Overwrite(p->mat);
    } else {
        mat.LoadIdentity();
    }
    mat.Multiply(src.mat);
}

void TEntity::CopyPlacementFields(const TEntity& src) {
    px = src.px;
    py = src.py;
    pz = src.pz;
    sx = src.sx;
    sy = src.sy;
    sz = src.sz;
    rx = src.rx;
    ry = src.ry;
    rz = src.rz;
    qw = src.qw;
    qx = src.qx;
    qy = src.qy;
    qz = src.qz;
    name = src.name;
    class_name = src.class_name;
    order = src.order;
    hide = 0;
    cull_radius = src.cull_radius;
    radius_x = src.radius_x;
    radius_y = src.radius_y;
    radius_z = src.radius_z;
    box_x = src.box_x;
    box_y = src.box_y;
    box_z = src.box_z;
    box_w = src.box_w;
    box_h = src.box_h;
    box_d = src.box_d;
    pick_mode = src.pick_mode;
    obscurer = src.obscurer;
}

void TEntity::FinishCopy() {
    UpdateChildren(self());
}

// ---- Matrix build ----

int TEntity::UpdateMat(int load_identity) {
    if (load_identity == 1) {
        mat.TForm(px, py, pz, rx, ry, rz, sx, sy, sz);
    } else {
        mat.Translate(px, py, pz);
        mat.RotateYaw(ry);
        mat.RotatePitch(rx);
        mat.RotateRoll(rz);
        mat.Scale(sx, sy, sz);
    }
    return 0;
}

int TEntity::UpdateChildren(const EntityRef& entity) {
    if (!entity) return 0;
    for (const EntityRef& c : entity->child_list) {
        if (!c || c->IsBone()) continue;
        c->mat.Overwrite(entity->mat);
        c->UpdateMat(0);
        UpdateChildren(c);
    }
    return 0;
}

void TEntity::Rebuild() {
    if (EntityRef p = parent.lock()) {
        mat.Overwrite(p->mat);
        UpdateMat(0);
    } else {
        UpdateMat(1);
    }
    if (!child_list.IsEmpty()) UpdateChildren(self());
}

// ---- Transform setters ----

int TEntity::PositionEntity(float x, float y, float z, int global) {
    px = x;
    py = y;
    pz = -z;
    EntityRef p = parent.lock();
    if (global == 1 && p) {
        const float dx = x - p->EntityX(1);
        const float dy = y - p->EntityY(1);
        const float dz = -(z - p->EntityZ(1));
        TMatrix m;
        m.LoadIdentity();
        m.Scale(1.0f / p->EntityScaleX(1), 1.0f / p->EntityScaleY(1), 1.0f / p->EntityScaleZ(1));
        applyParentRotationInverse(m, *p);
        m.Translate(dx, dy, dz);
        px = m.grid[3][0];
        py = m.grid[3][1];
        pz = m.grid[3][2];
    }
    Rebuild();
    return 0;
}

int TEntity::MoveEntity(float x, float y, float z) {
    TMatrix m;
    m.LoadIdentity();
    m.Rotate(rx, ry, rz);
    m.Translate(x, y, -z);
    px += m.grid[3][0];
    py += m.grid[3][1];
    pz += m.grid[3][2];
    Rebuild();
    return 0;
}

int TEntity::TranslateEntity(float x, float y, float z, int global) {
    float vx = x, vy = y, vz = -z;
    EntityRef p = parent.lock();
    if (global == 1 && p) {
        TMatrix m;
        m.LoadIdentity();
        applyParentRotationInverse(m, *p);
        m.Translate(vx, vy, vz);
        vx = m.grid[3][0];
        vy = m.grid[3][1];
        vz = m.grid[3][2];
    }
    px += vx;
    py += vy;
    pz += vz;
    Rebuild();
    return 0;
}

int TEntity::ScaleEntity(float x, float y, float z, int global) {
    sx = x;
    sy = y;
    sz = z;
    if (global == 1) {
        for (EntityRef e = parent.lock(); e; e = e->parent.lock()) {
            sx /= e->sx;
            sy /= e->sy;
            sz /= e->sz;
        }
    }
    Rebuild();
    return 0;
}

int TEntity::RotateEntity(float pitch, float yaw, float roll, int global) {
    rx = -pitch;
    ry = yaw;
    rz = roll;
    EntityRef p = parent.lock();
    if (global == 1 && p) {
        // Local rotation = (parent's world rotation)^-1 x wanted world rotation. The parent's
        // rotation is its matrix with the translation dropped and each axis brought to unit
        // length, so its scale does not bend the result; its inverse is then the transpose.
        TMatrix pr = p->mat;
        for (int i = 0; i < 3; ++i) {
            const float len =
                std::sqrt(pr.grid[i][0] * pr.grid[i][0] + pr.grid[i][1] * pr.grid[i][1] +
                          pr.grid[i][2] * pr.grid[i][2]);
            if (len > 0.0f) {
                for (int j = 0; j < 3; ++j) pr.grid[i][j] /= len;
            }
            pr.grid[3][i] = 0.0f;
        }
        mat = pr.Inverse();
        mat.Rotate(rx, ry, rz);
        const float lp = EntityPitch(1), ly = EntityYaw(1), lr = EntityRoll(1);
        rx = -lp;
        ry = ly;
        rz = lr;
    }
    Rebuild();
    return 0;
}

int TEntity::TurnEntity(float pitch, float yaw, float roll, int /*global*/) {
    rx += -pitch;
    ry += yaw;
    rz += roll;
    Rebuild();
    return 0;
}

int TEntity::PointEntity(const EntityRef& target, float roll) {
    if (!target) return 0;
    const float dx = EntityX(1) - target->EntityX(1);
    const float dy = EntityY(1) - target->EntityY(1);
    const float dz = EntityZ(1) - target->EntityZ(1);
    const float pitch = float(ATan2(double(dy), Sqr(double(dx * dx + dz * dz))));
    const float yaw = atan2Deg(dx, -dz);
    RotateEntity(pitch, yaw, roll, 1);
    return 0;
}

// ---- Transform queries ----

float TEntity::EntityX(int global) const {
    return global == 0 ? px : mat.grid[3][0];
}

float TEntity::EntityY(int global) const {
    return global == 0 ? py : mat.grid[3][1];
}

float TEntity::EntityZ(int global) const {
    return global == 0 ? -pz : -mat.grid[3][2];
}

float TEntity::EntityPitch(int global) const {
    if (global == 0) return -rx;
    const float a = mat.grid[2][0], b = mat.grid[2][2];
    return snapSmall(float(ATan2(double(mat.grid[2][1]), Sqr(double(a * a + b * b)))));
}

float TEntity::EntityYaw(int global) const {
    if (global == 0) return ry;
    const float a = snapSmall(mat.grid[2][0]), b = snapSmall(mat.grid[2][2]);
    // Pitched straight up or down, the z axis holds no yaw: yaw and roll then turn about the
    // same axis, and the roll query reads 0, so the whole turn is read from the x axis.
    if (a == 0.0f && b == 0.0f) return atan2Deg(-mat.grid[0][2], mat.grid[0][0]);
    return atan2Deg(a, b);
}

float TEntity::EntityRoll(int global) const {
    if (global == 0) return rz;
    return atan2Deg(snapSmall(mat.grid[0][1]), snapSmall(mat.grid[1][1]));
}

float TEntity::EntityScaleX(int global) const {
    float s = sx;
    if (global == 1) {
        for (EntityRef e = parent.lock(); e; e = e->parent.lock()) s *= e->sx;
    }
    return s;
}

float TEntity::EntityScaleY(int global) const {
    float s = sy;
    if (global == 1) {
        for (EntityRef e = parent.lock(); e; e = e->parent.lock()) s *= e->sy;
    }
    return s;
}

float TEntity::EntityScaleZ(int global) const {
    float s = sz;
    if (global == 1) {
        for (EntityRef e = parent.lock(); e; e = e->parent.lock()) s *= e->sz;
    }
    return s;
}

// ---- Conversions between spaces ----

namespace {

// Into dest's space: the inverse of dest's global transform built from the local values of
// dest and each ancestor, dest first. Directions leave the translations out.
TMatrix inverseFromLocals(const EntityRef& dest, bool with_translation) {
    TMatrix m;
    m.LoadIdentity();
    for (EntityRef e = dest; e; e = e->parent.lock()) {
        m.Scale(1.0f / e->sx, 1.0f / e->sy, 1.0f / e->sz);
        m.RotateRoll(-e->rz);
        m.RotatePitch(-e->rx);
        m.RotateYaw(-e->ry);
        if (with_translation) m.Translate(-e->px, -e->py, -e->pz);
    }
    return m;
}

int tform(float x, float y, float z, const EntityRef& source, const EntityRef& dest, bool point) {
    if (source) {
        TMatrix m = source->mat;
        if (!point) {
            m.grid[3][0] = m.grid[3][1] = m.grid[3][2] = 0.0f;
            m.grid[3][3] = 1.0f;
            m.grid[0][3] = m.grid[1][3] = m.grid[2][3] = 0.0f;
        }
        m.Translate(x, y, -z);
        x = m.grid[3][0];
        y = m.grid[3][1];
        z = -m.grid[3][2];
    }
    if (dest) {
        TMatrix m = inverseFromLocals(dest, point);
        m.Translate(x, y, -z);
        x = m.grid[3][0];
        y = m.grid[3][1];
        z = -m.grid[3][2];
    }
    TEntity::tformed_x = x;
    TEntity::tformed_y = y;
    TEntity::tformed_z = z;
    return 0;
}

} // namespace

int TEntity::TFormPoint(float x, float y, float z, const EntityRef& source, const EntityRef& dest) {
    return tform(x, y, z, source, dest, true);
}

int TEntity::TFormVector(float x, float y, float z, const EntityRef& source,
                         const EntityRef& dest) {
    return tform(x, y, z, source, dest, false);
}

int TEntity::TFormNormal(float x, float y, float z, const EntityRef& source,
                         const EntityRef& dest) {
    tform(x, y, z, source, dest, false);
    const float len =
        float(Sqr(double(tformed_x * tformed_x + tformed_y * tformed_y + tformed_z * tformed_z)));
    if (len > 0.0f) {
        tformed_x /= len;
        tformed_y /= len;
        tformed_z /= len;
    }
    return 0;
}

// ---- Distances and headings ----

float TEntity::EntityDistanceSquared(const EntityRef& other) const {
    return other ? EntityDistanceSquared(*other) : 0.0f;
}

float TEntity::EntityDistanceSquared(const TEntity& other) const {
    const float dx = other.mat.grid[3][0] - mat.grid[3][0];
    const float dy = other.mat.grid[3][1] - mat.grid[3][1];
    const float dz = mat.grid[3][2] - other.mat.grid[3][2];
    return dx * dx + dy * dy + dz * dz;
}

float TEntity::EntityDistanceSquared0(const EntityRef& other) const {
    if (!other) return 0.0f;
    const float dx = other->EntityX(1) - EntityX(1);
    const float dy = other->EntityY(1) - EntityY(1);
    const float dz = EntityZ(1) - other->EntityZ(1);
    return dx * dx + dy * dy + dz * dz;
}

float TEntity::EntityDistance(const EntityRef& other) const {
    if (!other) return 0.0f;
    return float(Sqr(double(EntityDistanceSquared(other))));
}

float TEntity::DeltaYaw(const EntityRef& other) const {
    if (!other) return 0.0f;
    return -atan2Deg(other->EntityX(1) - EntityX(1), other->EntityZ(1) - EntityZ(1));
}

float TEntity::DeltaPitch(const EntityRef& other) const {
    if (!other) return 0.0f;
    const float dx = other->EntityX(1) - EntityX(1);
    const float dy = other->EntityY(1) - EntityY(1);
    const float dz = other->EntityZ(1) - EntityZ(1);
    return -float(ATan2(double(dy), Sqr(double(dx * dx + dz * dz))));
}

float TEntity::GetMatElement(int row, int col) const {
    if (row < 0 || row > 3 || col < 0 || col > 3) return 0.0f;
    return mat.grid[row][col];
}

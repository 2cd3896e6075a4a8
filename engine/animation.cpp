// Keyframe posing, the world step and the entity's animation operations.
#include "engine/animation.h"

#include "engine/bone.h"
#include "engine/collision.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "engine/skinning.h"
#include "engine/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace {

struct Position {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
// A scale is three factors, blended like a position.
using Scale = Position;

struct Rotation {
    float w = 0.0f, x = 0.0f, y = 0.0f, z = 0.0f;
};

Position keyPosition(const TAnimKey& k) {
    return {k.v[0], k.v[1], k.v[2]};
}

Rotation keyRotation(const TAnimKey& k) {
    return {k.v[0], k.v[1], k.v[2], k.v[3]};
}

Position restPosition(const TBone& b) {
    return {b.rest_px, b.rest_py, -b.rest_pz};
}

// A component left at 0 (a bone built without a scale) counts as 1.
float scaleFactor(float s) {
    return s == 0.0f ? 1.0f : s;
}

Scale restScale(const TBone& b) {
    return {scaleFactor(b.rest_sx), scaleFactor(b.rest_sy), scaleFactor(b.rest_sz)};
}

Rotation restRotation(const TBone& b) {
    return {b.rest_qw, b.rest_qx, b.rest_qy, b.rest_qz};
}

Position lerp(const Position& a, const Position& b, float t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

Rotation slerp(const Rotation& a, const Rotation& b, float t) {
    Rotation r;
    TQuaternion::Slerp(a.x, a.y, a.z, a.w, b.x, b.y, b.z, b.w, r.x, r.y, r.z, r.w, t);
    return r;
}

// The keys of a track whose frames lie in first..last (empty without a track).
struct KeySpan {
    const TAnimKey* begin = nullptr;
    const TAnimKey* end = nullptr;

    bool Empty() const { return begin == end; }
};

KeySpan keysIn(const TAnimationKeys::Track* track, int first, int last) {
    if (!track || track->empty()) return {};
    const TAnimKey* b = track->data();
    const TAnimKey* e = b + track->size();
    const TAnimKey* lo =
        std::lower_bound(b, e, first, [](const TAnimKey& k, int f) { return k.frame < f; });
    const TAnimKey* hi =
        std::upper_bound(lo, e, last, [](int f, const TAnimKey& k) { return f < k.frame; });
    return {lo, hi};
}

// The first key of the sorted keys b..e (at least one) whose frame is after f. Tracks mostly hold
// a key a frame or keys evenly spaced: the key at or before f is guessed from the first and last
// keys' frames, and searched for only when the guess is wrong (fewer keys read than a search).
const TAnimKey* firstKeyAfter(const TAnimKey* b, const TAnimKey* e, int f) {
    const int low = b->frame, high = (e - 1)->frame;
    if (f < low) return b;
    if (f >= high) return e;
    // Here low <= f < high, so there are at least two keys.
    const std::ptrdiff_t n = e - b;
    const double share = (double(f) - double(low)) / (double(high) - double(low));
    const std::ptrdiff_t g =
        std::clamp(std::ptrdiff_t(share * double(n - 1)), std::ptrdiff_t(0), n - 2);
    if (b[g].frame <= f && f < b[g + 1].frame) return b + g + 1;
    return std::upper_bound(b, e, f, [](int v, const TAnimKey& k) { return v < k.frame; });
}

// The value of one kind of key at frame (f its whole frame number, first <= f <= last) within
// first..last: the rest value when the range holds no key of the kind; before the range's first
// key that key's value, after its last key the last key's value; else the blend of the keys
// around the frame. One search: the first key after f is within the range's keys or just past
// them, and its neighbours tell where the range starts and ends.
template <class Value, class Read, class Blend>
Value keyedValue(const TAnimationKeys::Track* track, float frame, int f, int first, int last,
                 const Value& rest, Read read, Blend blend) {
    if (!track || track->empty() || first > last) return rest;
    const TAnimKey* b = track->data();
    const TAnimKey* e = b + track->size();
    const TAnimKey* next = firstKeyAfter(b, e, f);
    const bool rangeStarts = next == b || (next - 1)->frame < first; // no range key before f
    const bool rangeEnds = next == e || next->frame > last;          // no range key after f
    if (rangeStarts && rangeEnds) return rest;
    if (rangeStarts) return read(*next);
    const TAnimKey* prev = next - 1;
    if (rangeEnds) return read(*prev);
    const float dprev = frame - float(prev->frame);
    const float dnext = float(next->frame) - frame;
    const float sum = dprev + dnext;
    const float t = sum > 0.0f ? std::clamp(dprev / sum, 0.0f, 1.0f) : 0.0f;
    return blend(read(*prev), read(*next), t);
}

// The first key of a track within first..last; null when there is none.
const TAnimKey* firstKeyIn(const TAnimationKeys::Track* track, int first, int last) {
    const KeySpan span = keysIn(track, first, last);
    return span.Empty() ? nullptr : span.begin;
}

// The clamped frame truncated toward zero, held within first..last in double precision: the
// float nearest a frame near the int limits may lie beyond them.
int frameIndex(float frame, int first, int last) {
    double d = std::trunc(double(frame));
    d = std::min(d, double(last));
    d = std::max(d, double(first));
    return static_cast<int>(d);
}

// The frame held within first..last; a frame that is not a number becomes first.
float clampFrame(float frame, int first, int last) {
    if (std::isnan(frame)) return float(first);
    if (frame > float(last)) frame = float(last);
    if (frame < float(first)) frame = float(first);
    return frame;
}

// A touched table for one pose: one entry per vertex that bones can name.
TAnimation::Touched newTouched(const TMesh& mesh) {
    return TAnimation::Touched(std::size_t(TAnimation::SkinVertexCount(mesh)), 0);
}

TMatrix localMatrix(const Position& p, const Rotation& q, const Scale& s) {
    TMatrix m;
    m.LoadIdentity();
    TQuaternion::QuatToMat(q.w, q.x, q.y, q.z, m);
    m.grid[3][0] = p.x;
    m.grid[3][1] = p.y;
    m.grid[3][2] = p.z;
    m.Scale(s.x, s.y, s.z);
    return m;
}

// The bone's matrix for a pose, written whole: the chain above it times T x R x S.
void poseBone(const TMesh& mesh, TBone& bone, const Position& p, const Rotation& q,
              const Scale& s) {
    TMatrix m = TAnimation::BoneParentMatrix(&mesh, bone);
    m.Multiply(localMatrix(p, q, s));
    bone.mat.Overwrite(m);
}

// The matrix with z mirrored on both sides (F x m x F, F = diag(1, 1, -1)): the engine's
// entity matrices in command coordinates and back.
TMatrix mirrorZ(TMatrix m) {
    for (int i = 0; i < 4; ++i) {
        if (i == 2) continue;
        m.grid[i][2] = -m.grid[i][2];
        m.grid[2][i] = -m.grid[2][i];
    }
    return m;
}

} // namespace

int TAnimation::SkinVertexCount(const TMesh& mesh) {
    if (mesh.skin_map) return mesh.skin_map->Count();
    const SurfaceRef s = mesh.GetSurface(1);
    return s ? std::max(s->CountVertices(), 0) : 0;
}

TMatrix TAnimation::BoneParentMatrix(const TMesh* mesh, const TBone& bone) {
    TMatrix r;
    r.LoadIdentity();
    const EntityRef up = bone.parent.lock();
    if (!up || up.get() == mesh) return r;
    if (up->IsBone()) return up->mat;
    if (!mesh) return r;
    // A node that is neither a bone nor the mesh: its placement relative to the mesh.
    r = mesh->mat.AffineInverse();
    r.Multiply(up->mat);
    return mirrorZ(r);
}

TMatrix TAnimation::BoneRestMatrix(const TMesh* mesh, const TBone& bone) {
    TMatrix m = BoneParentMatrix(mesh, bone);
    m.Multiply(localMatrix(restPosition(bone), restRotation(bone), restScale(bone)));
    return m;
}

// ---- Posing ----

int TAnimation::AnimateMesh(const EntityRef& entity, float frame, int first, int last) {
    const MeshRef mesh = std::dynamic_pointer_cast<TMesh>(entity);
    if (!mesh || mesh->anim == 0) return 0;
    mesh->anim_render = 1;
    Touched touched = newTouched(*mesh);
    const SkinPose skin(*mesh);
    frame = clampFrame(frame, first, last);
    const int f = frameIndex(frame, first, last);

    // Posing changes no list: the bones are walked without holding their links.
    mesh->bones.ForEachWhileUnchanged([&](const BoneRef& bone) {
        if (!bone) return;
        const TAnimationKeys* keys = bone->keys.get();

        const Position pos = keyedValue(keys ? &keys->position : nullptr, frame, f, first, last,
                                        restPosition(*bone), keyPosition, lerp);
        const Scale scale = keyedValue(keys ? &keys->scale : nullptr, frame, f, first, last,
                                       restScale(*bone), keyPosition, lerp);
        const Rotation rot = keyedValue(keys ? &keys->rotation : nullptr, frame, f, first, last,
                                        restRotation(*bone), keyRotation, slerp);
        bone->pose_x = pos.x;
        bone->pose_y = pos.y;
        bone->pose_z = pos.z;
        bone->pose_sx = scale.x;
        bone->pose_sy = scale.y;
        bone->pose_sz = scale.z;
        bone->pose_qw = rot.w;
        bone->pose_qx = rot.x;
        bone->pose_qy = rot.y;
        bone->pose_qz = rot.z;

        poseBone(*mesh, *bone, pos, rot, scale);
        skin.Deform(*bone, touched);
    });
    return 0;
}

int TAnimation::AnimateMesh2(const EntityRef& entity, float t, int first, int last) {
    const MeshRef mesh = std::dynamic_pointer_cast<TMesh>(entity);
    if (!mesh || mesh->anim == 0) return 0;
    mesh->anim_render = 1;
    Touched touched = newTouched(*mesh);
    const SkinPose skin(*mesh);

    mesh->bones.ForEachWhileUnchanged([&](const BoneRef& bone) {
        if (!bone) return;
        const TAnimationKeys* keys = bone->keys.get();

        Position pos = restPosition(*bone);
        if (const TAnimKey* k = firstKeyIn(keys ? &keys->position : nullptr, first, last))
            pos = lerp(Position{bone->pose_x, bone->pose_y, bone->pose_z}, keyPosition(*k), t);
        Scale scale = restScale(*bone);
        if (const TAnimKey* k = firstKeyIn(keys ? &keys->scale : nullptr, first, last))
            scale = lerp(Scale{bone->pose_sx, bone->pose_sy, bone->pose_sz}, keyPosition(*k), t);
        Rotation rot = restRotation(*bone);
        if (const TAnimKey* k = firstKeyIn(keys ? &keys->rotation : nullptr, first, last)) {
            rot = slerp(Rotation{bone->pose_qw, bone->pose_qx, bone->pose_qy, bone->pose_qz},
                        keyRotation(*k), t);
        }
        poseBone(*mesh, *bone, pos, rot, scale);
        skin.Deform(*bone, touched);
    });
    return 0;
}

// ---- The world step ----

int TGlobal::UpdateWorld(float anim_speed_factor) {
    TCollision::UpdateCollisions();
    if (!TEntity::entity_list) return 0;

    // Posing adds and removes no entities.
    TEntity::entity_list->ForEachWhileUnchanged([anim_speed_factor](const EntityRef& e) {
        if (!e || e->anim == 0 || e->anim_update != 1) return;
        // A sequence number that names no sequence (set directly) leaves the entity alone.
        if (!e->HasAnimSeq(e->anim_seq)) return;
        const int first = e->anim_seqs_first[std::size_t(e->anim_seq)];
        const int last = e->anim_seqs_last[std::size_t(e->anim_seq)];

        // Transition: blend steps with equal increments of the blend factor up to 1; the step
        // that reaches 1 hands over to the sequence's first frame.
        bool last_step = false;
        if (e->anim_trans > 0) {
            --e->anim_trans;
            last_step = e->anim_trans == 1;
        }
        if (e->anim_trans > 0) {
            e->anim_time += (1.0f - e->anim_time) / float(e->anim_trans);
            TAnimation::AnimateMesh2(e, e->anim_time, first, last);
            if (last_step) e->anim_time = float(first);
            return;
        }

        TAnimation::AnimateMesh(e, e->anim_time, first, last);
        const float s = e->anim_speed * anim_speed_factor;
        switch (e->anim_mode) {
        case 0: // posed once
            e->anim_update = 0;
            break;
        case 1: // loop: one wrap per update
            e->anim_time += s;
            if (e->anim_time > float(last))
                e->anim_time = float(first) + (e->anim_time - float(last));
            break;
        case 2: // ping-pong: a turn at the last frame steps back in the same update
            if (e->anim_dir == 1) {
                e->anim_time += s;
                if (e->anim_time > float(last)) {
                    e->anim_time -= s;
                    e->anim_dir = -1;
                }
            }
            if (e->anim_dir == -1) {
                e->anim_time -= s;
                if (e->anim_time < float(first)) {
                    e->anim_time += s;
                    e->anim_dir = 1;
                }
            }
            break;
        case 3: // one-shot: the next update poses the last frame once more and stops
            e->anim_time += s;
            if (e->anim_time > float(last)) {
                e->anim_time = float(last);
                e->anim_mode = 0;
            }
            break;
        default: // -1 (SetAnimTime) and unknown modes: posed again at the same time
            break;
        }
    });
    return 0;
}

// ---- Entity operations ----

bool TEntity::HasAnimSeq(int seq) const {
    return seq >= 0 && seq <= no_seqs && std::size_t(seq) < anim_seqs_first.size() &&
           std::size_t(seq) < anim_seqs_last.size();
}

namespace {

// a + b held within the int range.
int addFrames(int a, int b) {
    const std::int64_t sum = std::int64_t(a) + b;
    return int(std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

} // namespace

int TEntity::ExtractAnimSeq(int first_frame, int last_frame, int seq) {
    if (!HasAnimSeq(seq) || no_seqs == std::numeric_limits<int>::max()) return 0;
    const int offset = seq != 0 ? anim_seqs_first[std::size_t(seq)] : 0;
    ++no_seqs;
    anim_seqs_first.resize(std::size_t(no_seqs) + 1, 0);
    anim_seqs_last.resize(std::size_t(no_seqs) + 1, 0);
    anim_seqs_first[std::size_t(no_seqs)] = addFrames(first_frame, offset);
    anim_seqs_last[std::size_t(no_seqs)] = addFrames(last_frame, offset);
    return no_seqs;
}

int TEntity::Animate(int mode, float speed, int seq, int trans) {
    if (!HasAnimSeq(seq)) return 0;
    anim_mode = mode;
    anim_speed = speed;
    anim_seq = seq;
    anim_trans = trans;
    anim_time = float(anim_seqs_first[std::size_t(seq)]);
    anim_update = 1;
    // The blend factor starts at 0.
    if (trans > 0) anim_time = 0.0f;
    return 0;
}

int TEntity::SetAnimTime(float time, int seq) {
    if (!HasAnimSeq(seq)) return 0;
    anim_mode = -1;
    anim_speed = 0.0f;
    anim_seq = seq;
    anim_trans = 0;
    anim_update = 0;

    const int first = anim_seqs_first[std::size_t(seq)];
    const int last = anim_seqs_last[std::size_t(seq)];
    const float length = float(std::int64_t(last) - first);
    float t = time + float(first);
    // Brought into the sequence by whole lengths: above it into (first, last], below it into
    // [first, last). Computed with a remainder rather than by repeated steps, so a far-off time
    // costs no more than a near one and cannot stall where a step no longer changes the float.
    if (length > 0.0f && std::isfinite(t)) {
        if (t > float(last)) {
            const float r = std::fmod(t - float(last), length);
            t = r == 0.0f ? float(last) : float(first) + r;
        } else if (t < float(first)) {
            const float r = std::fmod(float(first) - t, length);
            t = r == 0.0f ? float(first) : float(last) - r;
        }
    }
    TAnimation::AnimateMesh(self(), t, first, last);
    anim_time = t;
    return 0;
}

int TEntity::AnimLength() const {
    if (!HasAnimSeq(anim_seq)) return 0;
    const std::int64_t n = std::int64_t(anim_seqs_last[std::size_t(anim_seq)]) -
                           anim_seqs_first[std::size_t(anim_seq)];
    return int(std::clamp<std::int64_t>(n, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

float TEntity::AnimTime() const {
    if (anim_trans > 0) return 0.0f;
    if ((anim_mode > 0 || anim_mode == -1) && HasAnimSeq(anim_seq))
        return anim_time - float(anim_seqs_first[std::size_t(anim_seq)]);
    return 0.0f;
}

int TEntity::Animating() const {
    return anim_trans > 0 || anim_mode > 0 ? 1 : 0;
}

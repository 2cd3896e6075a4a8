// Keyframe posing, the world step and the entity's animation operations.
#include "engine/animation.h"

#include "engine/bone.h"
#include "engine/collision.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "engine/surface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace {

constexpr int kPositionKey = 1;
constexpr int kRotationKey = 4;

struct Position {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Rotation {
    float w = 0.0f, x = 0.0f, y = 0.0f, z = 0.0f;
};

float valueAt(const std::vector<float>& values, int frame) {
    return frame >= 0 && std::size_t(frame) < values.size() ? values[std::size_t(frame)] : 0.0f;
}

Position keyPosition(const TAnimationKeys& k, int frame) {
    return {valueAt(k.px, frame), valueAt(k.py, frame), valueAt(k.pz, frame)};
}

Rotation keyRotation(const TAnimationKeys& k, int frame) {
    return {valueAt(k.qw, frame), valueAt(k.qx, frame), valueAt(k.qy, frame), valueAt(k.qz, frame)};
}

Position restPosition(const TBone& b) {
    return {b.rest_px, b.rest_py, -b.rest_pz};
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

// The frames of a range that a key search can find: only frames inside the track's arrays
// hold keys, so the scans are limited to those (a sequence reaching outside the track, or a
// very long one, costs no more than the track).
struct KeyTrack {
    const TAnimationKeys* keys;
    int bit;

    bool Has(int frame) const {
        return keys && frame >= 0 && std::size_t(frame) < keys->flags.size() &&
               (keys->flags[std::size_t(frame)] & bit) != 0;
    }
    int Top() const { return keys ? int(keys->flags.size()) - 1 : -1; }

    // Highest frame from hi down to lo with a key; -1 when none.
    int Down(int hi, int lo) const {
        for (int i = std::min(hi, Top()); i >= std::max(lo, 0); --i) {
            if (Has(i)) return i;
        }
        return -1;
    }
    // Lowest frame from lo up to hi with a key; -1 when none.
    int Up(int lo, int hi) const {
        for (int i = std::max(lo, 0); i <= std::min(hi, Top()); ++i) {
            if (Has(i)) return i;
        }
        return -1;
    }
};

// The keys around a frame of first..last: the previous key (at or before the frame, else,
// wrapping, the last key of the range) and the next one (after the frame, else, wrapping, the
// first key of the range), with the weight of the next key. found is false when the range holds
// no key of the kind.
struct KeyPair {
    bool found = false;
    int prev = 0, next = 0;
    float t = 0.0f;
};

KeyPair findKeys(const KeyTrack& track, float frame, int f, int first, int last) {
    KeyPair kp;
    bool prev_wrapped = false, next_wrapped = false;
    kp.prev = track.Down(f, first);
    if (kp.prev < 0) {
        kp.prev = track.Down(last, first);
        prev_wrapped = true;
    }
    // f + 1 cannot overflow: f lies in first..last and Up stops at the track's end.
    kp.next = f < std::numeric_limits<int>::max() ? track.Up(f + 1, last) : -1;
    if (kp.next < 0) {
        kp.next = track.Up(first, last);
        next_wrapped = true;
    }
    if (kp.prev < 0 || kp.next < 0) return kp;
    kp.found = true;
    // One key in the range: its value holds at every frame.
    if (kp.prev == kp.next) return kp;
    float dprev = frame - float(kp.prev);
    float dnext = float(kp.next) - frame;
    if (prev_wrapped || next_wrapped) {
        // The frame lies before the range's first key or after its last: the pose runs from
        // the last key to the first across the end of the range, taking the range as a cycle
        // of last - first frames (a loop returns from last to first in one step of that size).
        const float cycle = float(std::int64_t(last) - first);
        if (prev_wrapped) dprev += cycle;
        if (next_wrapped) dnext += cycle;
    }
    const float span = dprev + dnext;
    kp.t = span > 0.0f ? std::clamp(dprev / span, 0.0f, 1.0f) : 0.0f;
    return kp;
}

// The value of one kind of key at frame: the rest value without a key in the range, the one
// key's value when there is one, else the blend of the keys around the frame.
template <class Value, class Read, class Blend>
Value keyedValue(const TAnimationKeys* keys, int bit, float frame, int f, int first, int last,
                 const Value& rest, Read read, Blend blend) {
    const KeyPair kp = findKeys(KeyTrack{keys, bit}, frame, f, first, last);
    if (!kp.found) return rest;
    if (kp.prev == kp.next) return read(*keys, kp.prev);
    return blend(read(*keys, kp.prev), read(*keys, kp.next), kp.t);
}

// The frame held within first..last; a frame that is not a number becomes first.
float clampFrame(float frame, int first, int last) {
    if (std::isnan(frame)) return float(first);
    if (frame > float(last)) frame = float(last);
    if (frame < float(first)) frame = float(first);
    return frame;
}

// The clamped frame truncated toward zero, held within first..last in double precision: the
// float nearest a frame near the int limits may lie beyond them.
int frameIndex(float frame, int first, int last) {
    double d = std::trunc(double(frame));
    d = std::min(d, double(last));
    d = std::max(d, double(first));
    return static_cast<int>(d);
}

// A touched table for one pose: one entry per vertex of the first surface (none without one).
TAnimation::Touched newTouched(const TMesh& mesh) {
    const SurfaceRef s = mesh.GetSurface(1);
    return TAnimation::Touched(s ? std::size_t(std::max(s->CountVertices(), 0)) : 0, 0);
}

// The bone's matrix for a pose: rotation and translation, with the parent bone's matrix in
// front unless the parent is the posed mesh (or absent). The matrix is written whole.
void poseBone(const TMesh& mesh, TBone& bone, const Position& p, const Rotation& q) {
    TMatrix m;
    m.LoadIdentity();
    TQuaternion::QuatToMat(q.w, q.x, q.y, q.z, m);
    m.grid[3][0] = p.x;
    m.grid[3][1] = p.y;
    m.grid[3][2] = p.z;
    const EntityRef up = bone.parent.lock();
    if (up && up.get() != &mesh) {
        TMatrix pm = up->mat.Copy();
        pm.Multiply(m);
        m = pm;
    }
    bone.mat.Overwrite(m);
}

} // namespace

// ---- Posing ----

int TAnimation::AnimateMesh(const EntityRef& entity, float frame, int first, int last) {
    const MeshRef mesh = std::dynamic_pointer_cast<TMesh>(entity);
    if (!mesh || mesh->anim == 0) return 0;
    mesh->anim_render = 1;
    Touched touched = newTouched(*mesh);
    frame = clampFrame(frame, first, last);
    const int f = frameIndex(frame, first, last);

    for (const BoneRef& bone : mesh->bones) {
        if (!bone) continue;
        const TAnimationKeys* keys = bone->keys.get();

        const Position pos = keyedValue(keys, kPositionKey, frame, f, first, last,
                                        restPosition(*bone), keyPosition, lerp);
        bone->pose_x = pos.x;
        bone->pose_y = pos.y;
        bone->pose_z = pos.z;
        const Rotation rot = keyedValue(keys, kRotationKey, frame, f, first, last,
                                        restRotation(*bone), keyRotation, slerp);
        bone->pose_qw = rot.w;
        bone->pose_qx = rot.x;
        bone->pose_qy = rot.y;
        bone->pose_qz = rot.z;

        poseBone(*mesh, *bone, pos, rot);
        VertexDeform(mesh, bone, touched);
    }
    return 0;
}

int TAnimation::AnimateMesh2(const EntityRef& entity, float t, int first, int last) {
    const MeshRef mesh = std::dynamic_pointer_cast<TMesh>(entity);
    if (!mesh || mesh->anim == 0) return 0;
    mesh->anim_render = 1;
    Touched touched = newTouched(*mesh);

    for (const BoneRef& bone : mesh->bones) {
        if (!bone) continue;
        const TAnimationKeys* keys = bone->keys.get();

        Position pos = restPosition(*bone);
        const int pkey = KeyTrack{keys, kPositionKey}.Up(first, last);
        if (pkey >= 0) {
            pos = lerp(Position{bone->pose_x, bone->pose_y, bone->pose_z}, keyPosition(*keys, pkey),
                       t);
        }
        Rotation rot = restRotation(*bone);
        const int rkey = KeyTrack{keys, kRotationKey}.Up(first, last);
        if (rkey >= 0) {
            rot = slerp(Rotation{bone->pose_qw, bone->pose_qx, bone->pose_qy, bone->pose_qz},
                        keyRotation(*keys, rkey), t);
        }
        poseBone(*mesh, *bone, pos, rot);
        VertexDeform(mesh, bone, touched);
    }
    return 0;
}

// ---- The world step ----

int TGlobal::UpdateWorld(float anim_speed_factor) {
    TCollision::UpdateCollisions();
    if (!TEntity::entity_list) return 0;

    for (const EntityRef& e : *TEntity::entity_list) {
        if (!e || e->anim == 0 || e->anim_update != 1) continue;
        // A sequence number that names no sequence (set directly) leaves the entity alone.
        if (!e->HasAnimSeq(e->anim_seq)) continue;
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
            continue;
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
    }
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

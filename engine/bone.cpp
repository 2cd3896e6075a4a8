#include "engine/bone.h"

#include "engine/mesh.h"

#include <algorithm>
#include <memory>
#include <utility>

void TAnimationKeys::SetKey(Track& track, int frame, float a, float b, float c, float d) {
    const TAnimKey key{frame, {a, b, c, d}};
    if (track.empty() || track.back().frame < frame) {
        track.push_back(key);
        return;
    }
    auto at = std::lower_bound(track.begin(), track.end(), frame,
                               [](const TAnimKey& k, int f) { return k.frame < f; });
    if (at != track.end() && at->frame == frame) {
        *at = key;
    } else {
        track.insert(at, key);
    }
}

void TAnimationKeys::SortKeys() {
    for (Track* track : {&position, &scale, &rotation}) {
        const auto later = [](const TAnimKey& x, const TAnimKey& y) { return x.frame >= y.frame; };
        // Files nearly always give keys in frame order, once each.
        if (std::adjacent_find(track->begin(), track->end(), later) == track->end()) continue;
        std::stable_sort(track->begin(), track->end(),
                         [](const TAnimKey& x, const TAnimKey& y) { return x.frame < y.frame; });
        // Of equal frames the last one (in append order) stays.
        Track kept;
        kept.reserve(track->size());
        for (const TAnimKey& k : *track) {
            if (!kept.empty() && kept.back().frame == k.frame) {
                kept.back() = k;
            } else {
                kept.push_back(k);
            }
        }
        *track = std::move(kept);
    }
}

int TAnimationKeys::LastKeyFrame() const {
    int last = -1;
    for (const Track* track : {&position, &scale, &rotation}) {
        if (!track->empty()) last = std::max(last, track->back().frame);
    }
    return last;
}

AnimationKeysRef TAnimationKeys::Copy() const {
    return std::make_shared<TAnimationKeys>(*this);
}

BoneRef TBone::New() {
    return BoneRef(new TBone());
}

EntityRef TBone::CopyEntity(const EntityRef& new_parent) {
    BoneRef c = New();
    // Children first, under the new bone.
    c->CopyChildrenFrom(*this);
    // Parent, entity list, and mat = the new parent's mat (identity without one) x this bone's mat.
    c->PlaceCopy(*this, new_parent);

    c->px = px;
    c->py = py;
    c->pz = pz;
    c->sx = sx;
    c->sy = sy;
    c->sz = sz;
    c->rx = rx;
    c->ry = ry;
    c->rz = rz;
    c->qw = qw;
    c->qx = qx;
    c->qy = qy;
    c->qz = qz;
    c->name = name;
    c->class_name = class_name;
    c->order = order;
    c->hide = 0;

    c->rest_px = rest_px;
    c->rest_py = rest_py;
    c->rest_pz = rest_pz;
    c->rest_sx = rest_sx;
    c->rest_sy = rest_sy;
    c->rest_sz = rest_sz;
    c->rest_rx = rest_rx;
    c->rest_ry = rest_ry;
    c->rest_rz = rest_rz;
    c->rest_qw = rest_qw;
    c->rest_qx = rest_qx;
    c->rest_qy = rest_qy;
    c->rest_qz = rest_qz;
    c->no_verts = no_verts;
    c->verts_id = verts_id;
    c->verts_w = verts_w;
    c->keys = keys ? keys->Copy() : nullptr;
    c->pose_x = pose_x;
    c->pose_y = pose_y;
    c->pose_z = pose_z;
    c->pose_sx = pose_sx;
    c->pose_sy = pose_sy;
    c->pose_sz = pose_sz;
    c->pose_qw = pose_qw;
    c->pose_qx = pose_qx;
    c->pose_qy = pose_qy;
    c->pose_qz = pose_qz;
    c->inv_mat = inv_mat.Copy();
    return c;
}

namespace {

// Removes entity and every bone below it from list.
void dropBones(const EntityRef& entity, TMesh::BoneList& list) {
    if (!entity) return;
    if (BoneRef b = std::dynamic_pointer_cast<TBone>(entity)) list.Remove(b);
    for (const EntityRef& c : entity->child_list) dropBones(c, list);
}

} // namespace

int TBone::FreeEntity() {
    EntityRef me = self();
    for (EntityRef up = parent.lock(); up; up = up->parent.lock()) {
        if (auto mesh = std::dynamic_pointer_cast<TMesh>(up)) dropBones(me, mesh->bones);
    }
    return TEntity::FreeEntity();
}

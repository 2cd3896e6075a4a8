// Skinning: moving the animated surfaces' vertices by the bones, and tidying the weights.
#include "engine/skinning.h"

#include "engine/animation.h"

#include "engine/bone.h"
#include "engine/mesh.h"
#include "engine/surface.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace {

// More vertices than any array can hold here: sizes are kept as int below it.
constexpr std::size_t kMostVerts = std::size_t(1) << 30;

TMatrix skinMatrix(const TBone& bone) {
    TMatrix m = bone.mat.Copy();
    m.Multiply(bone.inv_mat);
    return m;
}

// The number of influence entries of the bone that its arrays really hold.
std::size_t influenceCount(const TBone& bone) {
    const std::size_t n = std::size_t(std::max(bone.no_verts, 0));
    return std::min({n, bone.verts_id.size(), bone.verts_w.size()});
}

// m applied to a bind position (z stored negated), in command coordinates: the translation
// column of m x T(p), as TMatrix::Translate computes it.
void apply(const TMatrix& m, const float* bind, float q[3]) {
    const float x = bind[0], y = bind[1], z = -bind[2];
    for (int j = 0; j < 3; ++j)
        q[j] = m.grid[0][j] * x + m.grid[1][j] * y + m.grid[2][j] * z + m.grid[3][j];
}

} // namespace

SkinPose::SkinPose(const TMesh& mesh) : map_(mesh.skin_map.get()), surfs_(mesh.no_surfs) {
    auto a = mesh.anim_surf_list.begin();
    for (const SurfaceRef& s : *mesh.surf_list) {
        TSurface* anim = nullptr;
        if (a != mesh.anim_surf_list.end()) {
            anim = a->get();
            ++a;
        } else if (!map_) {
            break; // no pair beyond the end of the animated list
        }
        Arrays arrays;
        if (s && anim) {
            arrays.bind = s->vert_coords.data();
            arrays.anim = anim->vert_coords.data();
            arrays.bind_verts = int(std::min(
                {std::size_t(std::max(s->no_verts, 0)), s->vert_coords.size() / 3, kMostVerts}));
            arrays.bind_size = int(std::min(s->vert_coords.size() / 3, kMostVerts));
            arrays.anim_verts = int(std::min(anim->vert_coords.size() / 3, kMostVerts));
            arrays.vmin = s->vmin;
            arrays.vmax = s->vmax;
        }
        // With the map, places name surfaces by their index in the list: every index has an
        // entry (one that holds nothing without a pair). Without it only pairs count.
        if (map_ || (s && anim)) pairs_.push_back(arrays);
    }
}

void SkinPose::Deform(const TBone& bone, TAnimation::Touched& touched) const {
    const TMatrix m = skinMatrix(bone);
    const std::size_t count = influenceCount(bone);
    const int* ids = bone.verts_id.data();
    const float* weights = bone.verts_w.data();
    for (std::size_t i = 0; i < count; ++i) {
        const int id = ids[i];
        const float w = weights[i];
        if (w == 0.0f || id < 0 || std::size_t(id) >= touched.size()) continue;
        const bool add = touched[std::size_t(id)] != 0;
        if (map_) {
            deformMapped(m, id, w, add);
        } else {
            const Arrays* a = pairFor(id);
            if (!a || !a->Holds(id)) continue;
            move(*a, id, m, w, add);
        }
        touched[std::size_t(id)] = 1;
    }
}

void SkinPose::DeformWhole(const TBone& bone) const {
    const TMatrix m = skinMatrix(bone);
    const std::size_t count = influenceCount(bone);
    for (std::size_t i = 0; i < count; ++i) {
        const int id = bone.verts_id[i];
        if (map_) {
            deformMapped(m, id, 1.0f, false);
            continue;
        }
        // Here the bind array's size alone bounds the vertex, not no_verts.
        const Arrays* a = pairFor(id);
        if (a && id >= 0 && id < a->bind_size && id < a->anim_verts) move(*a, id, m, 1.0f, false);
    }
}

// The animated position of vertex v becomes m applied to its bind position, times w, added to
// what it holds when add.
void SkinPose::move(const Arrays& a, int v, const TMatrix& m, float w, bool add) {
    float q[3];
    apply(m, a.bind + std::size_t(v) * 3, q);
    float* p = a.anim + std::size_t(v) * 3;
    float base[3] = {0.0f, 0.0f, 0.0f};
    if (add) {
        base[0] = p[0];
        base[1] = p[1];
        base[2] = -p[2];
    }
    p[0] = base[0] + q[0] * w;
    p[1] = base[1] + q[1] * w;
    p[2] = -(base[2] + q[2] * w);
}

// Every place of listed vertex id gets the value computed at its first place that both arrays
// hold.
void SkinPose::deformMapped(const TMatrix& m, int id, float w, bool add) const {
    if (id < 0 || id >= map_->Count()) return;
    const std::size_t from = std::size_t(map_->first[std::size_t(id)]);
    const std::size_t to =
        std::min(std::size_t(map_->first[std::size_t(id) + 1]), map_->places.size());
    const float* value = nullptr;
    for (std::size_t i = from; i < to; ++i) {
        const TSkinMap::Place& place = map_->places[i];
        if (place.surface < 0 || std::size_t(place.surface) >= pairs_.size()) continue;
        const Arrays& a = pairs_[std::size_t(place.surface)];
        if (!a.Holds(place.vertex)) continue;
        float* p = a.anim + std::size_t(place.vertex) * 3;
        if (!value) {
            move(a, place.vertex, m, w, add);
            value = p;
        } else {
            p[0] = value[0];
            p[1] = value[1];
            p[2] = value[2];
        }
    }
}

// The pair that holds vertex id of a mesh without a map: with one surface (or none) the first
// pair whatever the id; with several, the first pair whose vmin..vmax range holds the id, else
// the last pair.
const SkinPose::Arrays* SkinPose::pairFor(int id) const {
    if (pairs_.empty()) return nullptr;
    if (surfs_ <= 1) return &pairs_.front();
    for (const Arrays& a : pairs_)
        if (a.vmin <= id && id <= a.vmax) return &a;
    return &pairs_.back();
}

int TAnimation::VertexDeform(const MeshRef& mesh, const BoneRef& bone, Touched& touched) {
    if (mesh && bone) SkinPose(*mesh).Deform(*bone, touched);
    return 0;
}

int TAnimation::VertexDeform1(const MeshRef& mesh, const BoneRef& bone, Touched& /*touched*/) {
    if (mesh && bone) SkinPose(*mesh).DeformWhole(*bone);
    return 0;
}

namespace {

// One kept influence of a vertex: the bone, its entry number and the weight.
struct Influence {
    TBone* bone = nullptr;
    std::size_t entry = 0;
    float w = 0.0f;
};

using Slots = std::array<Influence, 4>;

void gather(Slots& slots, const Influence& in) {
    for (Influence& s : slots) {
        if (s.w == 0.0f) {
            s = in;
            return;
        }
    }
    // All four held: the smallest (the first of equal ones) gives way to a larger weight.
    Influence* smallest = &slots[0];
    for (Influence& s : slots) {
        if (s.w < smallest->w) smallest = &s;
    }
    if (smallest->w < in.w) *smallest = in;
}

} // namespace

int TAnimation::UpdateWeights(const MeshRef& mesh) {
    if (!mesh) return 0;
    const int n = SkinVertexCount(*mesh);
    if (n == 0) return 0;
    std::vector<Slots> table(static_cast<std::size_t>(n));

    for (const BoneRef& bone : mesh->bones) {
        if (!bone) continue;
        const std::size_t count = influenceCount(*bone);
        for (std::size_t i = 0; i < count; ++i) {
            const int id = bone->verts_id[i];
            const float w = bone->verts_w[i];
            if (!(w > 0.0f) || id < 0 || id >= n) continue;
            gather(table[std::size_t(id)], Influence{bone.get(), i, w});
        }
    }

    for (Slots& slots : table) {
        const float sum = slots[0].w + slots[1].w + slots[2].w + slots[3].w;
        if (sum < 0.99f || sum > 1.01f) {
            const float scale = sum == 0.0f ? 1.0f : 1.0f / sum;
            for (Influence& s : slots) s.w *= scale;
        }
    }

    // Write-back: every entry for a vertex of the table loses its weight, then each kept
    // influence gets its renormalised weight in the very entry it came from.
    for (const BoneRef& bone : mesh->bones) {
        if (!bone) continue;
        const std::size_t count = influenceCount(*bone);
        for (std::size_t i = 0; i < count; ++i) {
            const int id = bone->verts_id[i];
            if (id >= 0 && id < n) bone->verts_w[i] = 0.0f;
        }
    }
    for (const Slots& slots : table) {
        for (const Influence& s : slots) {
            if (s.bone) s.bone->verts_w[s.entry] = s.w;
        }
    }
    return 0;
}

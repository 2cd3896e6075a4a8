// Skinning: moving the animated surfaces' vertices by the bones, and tidying the weights.
#include "engine/animation.h"

#include "engine/bone.h"
#include "engine/mesh.h"
#include "engine/surface.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace {

// A surface of the mesh and the animated surface at the same place of anim_surf_list.
struct SurfacePair {
    const TSurface* surf = nullptr;
    TSurface* anim = nullptr;
};

// The pair that holds vertex id: with one surface (or none) the first pair whatever the id;
// with several, the first pair whose surface's vmin..vmax range holds the id, else the last
// pair. A pair is formed only where both lists have an entry; without one the result is empty.
SurfacePair pairFor(const TMesh& mesh, int id) {
    SurfacePair found;
    auto a = mesh.anim_surf_list.begin();
    for (const SurfaceRef& s : *mesh.surf_list) {
        if (a == mesh.anim_surf_list.end()) break;
        const SurfaceRef& anim = *a;
        ++a;
        if (!s || !anim) continue;
        found = SurfacePair{s.get(), anim.get()};
        if (mesh.no_surfs <= 1 || (s->vmin <= id && id <= s->vmax)) return found;
    }
    return found;
}

// M applied to the point p as M x T(p) gives it: the translation column of that product.
std::array<float, 3> transformPoint(const TMatrix& m, float x, float y, float z) {
    TMatrix t = m.Copy();
    t.Translate(x, y, z);
    return {t.grid[3][0], t.grid[3][1], t.grid[3][2]};
}

// mat x inv_mat of the bone.
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

// True when the animated surface's position array holds vertex id.
bool holds(const TSurface& anim, int id) {
    return id >= 0 && anim.vert_coords.size() >= std::size_t(id) * 3 + 3;
}

void storePosition(TSurface& anim, int id, float x, float y, float z) {
    float* v = anim.vert_coords.data() + std::size_t(id) * 3;
    v[0] = x;
    v[1] = y;
    v[2] = -z;
}

// The surfaces of a mesh with a skin map and their animated companions, by index.
class MappedSurfaces {
  public:
    explicit MappedSurfaces(const TMesh& mesh) : map_(*mesh.skin_map) {
        auto a = mesh.anim_surf_list.begin();
        for (const SurfaceRef& s : *mesh.surf_list) {
            TSurface* anim = nullptr;
            if (a != mesh.anim_surf_list.end()) {
                anim = a->get();
                ++a;
            }
            surfs_.push_back(s.get());
            anims_.push_back(anim);
        }
    }

    // Calls f(surface, animated, vertex) for every place of listed vertex id whose surface and
    // animated surface both hold it.
    template <class F> void ForEachPlace(int id, F f) const {
        if (id < 0 || id >= map_.Count()) return;
        const std::size_t from = std::size_t(map_.first[std::size_t(id)]);
        const std::size_t to = std::size_t(map_.first[std::size_t(id) + 1]);
        for (std::size_t i = from; i < to && i < map_.places.size(); ++i) {
            const TSkinMap::Place& p = map_.places[i];
            if (p.surface < 0 || std::size_t(p.surface) >= surfs_.size()) continue;
            const TSurface* s = surfs_[std::size_t(p.surface)];
            TSurface* a = anims_[std::size_t(p.surface)];
            if (!s || !a || !s->HasVertex(p.vertex) || !holds(*a, p.vertex)) continue;
            f(*s, *a, p.vertex);
        }
    }

  private:
    const TSkinMap& map_;
    std::vector<const TSurface*> surfs_;
    std::vector<TSurface*> anims_;
};

// Moves listed vertex id to m applied to its bind position, times w, added to its animated
// position when `add` holds; every place of the vertex gets the same value.
void deformMapped(const MappedSurfaces& surfaces, const TMatrix& m, int id, float w, bool add) {
    bool have = false;
    float value[3] = {0.0f, 0.0f, 0.0f};
    surfaces.ForEachPlace(id, [&](const TSurface& s, TSurface& a, int v) {
        if (!have) {
            const auto q = transformPoint(m, s.VertexX(v), s.VertexY(v), s.VertexZ(v));
            float base[3] = {0.0f, 0.0f, 0.0f};
            if (add) {
                const float* p = a.vert_coords.data() + std::size_t(v) * 3;
                base[0] = p[0];
                base[1] = p[1];
                base[2] = -p[2];
            }
            for (int k = 0; k < 3; ++k) value[k] = base[k] + q[std::size_t(k)] * w;
            have = true;
        }
        storePosition(a, v, value[0], value[1], value[2]);
    });
}

} // namespace

int TAnimation::VertexDeform(const MeshRef& mesh, const BoneRef& bone, Touched& touched) {
    if (!mesh || !bone) return 0;
    const TMatrix m = skinMatrix(*bone);
    const std::size_t count = influenceCount(*bone);
    if (mesh->skin_map) {
        const MappedSurfaces surfaces(*mesh);
        for (std::size_t i = 0; i < count; ++i) {
            const int id = bone->verts_id[i];
            const float w = bone->verts_w[i];
            if (w == 0.0f || id < 0 || std::size_t(id) >= touched.size()) continue;
            deformMapped(surfaces, m, id, w, touched[std::size_t(id)] != 0);
            touched[std::size_t(id)] = 1;
        }
        return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const int id = bone->verts_id[i];
        const float w = bone->verts_w[i];
        if (w == 0.0f) continue;
        if (id < 0 || std::size_t(id) >= touched.size()) continue;
        const SurfacePair pair = pairFor(*mesh, id);
        if (!pair.surf || !pair.surf->HasVertex(id) || !holds(*pair.anim, id)) continue;

        const auto q = transformPoint(m, pair.surf->VertexX(id), pair.surf->VertexY(id),
                                      pair.surf->VertexZ(id));
        float bx = 0.0f, by = 0.0f, bz = 0.0f;
        if (touched[std::size_t(id)] != 0) {
            const float* v = pair.anim->vert_coords.data() + std::size_t(id) * 3;
            bx = v[0];
            by = v[1];
            bz = -v[2];
        }
        storePosition(*pair.anim, id, bx + q[0] * w, by + q[1] * w, bz + q[2] * w);
        touched[std::size_t(id)] = 1;
    }
    return 0;
}

int TAnimation::VertexDeform1(const MeshRef& mesh, const BoneRef& bone, Touched& /*touched*/) {
    if (!mesh || !bone) return 0;
    const TMatrix m = skinMatrix(*bone);
    const std::size_t count = influenceCount(*bone);
    if (mesh->skin_map) {
        const MappedSurfaces surfaces(*mesh);
        for (std::size_t i = 0; i < count; ++i)
            deformMapped(surfaces, m, bone->verts_id[i], 1.0f, false);
        return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const int id = bone->verts_id[i];
        const SurfacePair pair = pairFor(*mesh, id);
        if (!pair.surf || !holds(*pair.surf, id) || !holds(*pair.anim, id)) continue;
        const float* p = pair.surf->vert_coords.data() + std::size_t(id) * 3;
        const auto q = transformPoint(m, p[0], p[1], -p[2]);
        storePosition(*pair.anim, id, q[0], q[1], q[2]);
    }
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

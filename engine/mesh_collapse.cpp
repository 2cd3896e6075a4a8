// Collapsing a hierarchy into one mesh. Each mesh's surfaces are copied as AddMesh copies them,
// carried by the mesh's global matrix (TransformMesh), and merged into the destination as
// AddMesh merges them, with one difference: a copy goes into the first surface that compares
// equal and still has room for all of its vertices, and into a new surface with a copy of its
// brush when none has. So no vertex or triangle is lost to a surface's vertex limit. Partners
// are found through a table keyed by the brush's values, so the work grows with the surfaces,
// not with their square. A brush that does not compare equal to itself (a NaN among its
// values) has no partner: its surfaces stay out of the table, where they would all share one
// key and every later one would be compared with each of them in vain.
#include "engine/brush.h"
#include "engine/entity.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "engine/surface_copy.h"
#include "engine/texture.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

void mix(std::uint64_t& h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
}

void mixFloat(std::uint64_t& h, float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    mix(h, b == 0x80000000u ? 0u : b); // -0 compares equal to 0
}

// Equal for brushes that TBrush::CompareBrushes finds equal.
std::uint64_t brushKey(const BrushRef& brush) {
    std::uint64_t h = 0;
    if (!brush) return h;
    const TBrush& b = *brush;
    mix(h, std::uint64_t(std::uint32_t(b.no_texs)));
    for (float f : {b.red, b.green, b.blue, b.alpha, b.shine}) mixFloat(h, f);
    mix(h, std::uint64_t(std::uint32_t(b.blend)));
    mix(h, std::uint64_t(std::uint32_t(b.fx)));
    for (const TextureRef& t : b.tex) {
        if (!t) {
            mix(h, 0);
            continue;
        }
        mix(h, std::uint64_t(reinterpret_cast<std::uintptr_t>(&t->gltex)));
        mix(h, std::uint64_t(std::uint32_t(t->blend)));
        mix(h, std::uint64_t(std::uint32_t(t->coords)));
    }
    return h;
}

// False for a brush that no brush compares equal to, itself included.
bool canMerge(const BrushRef& brush) {
    return TBrush::CompareBrushes(brush, brush) == 1;
}

// One collapse into dest: the surfaces of dest that are merge partners, by brush, in list order.
// As with AddMesh, the partners of a mesh's surfaces are the surfaces dest had when that mesh's
// turn began (its first CountSurfaces()).
class Collapse {
  public:
    explicit Collapse(MeshRef dest) : dest_(std::move(dest)) {}

    // Appends m's geometry, carried by m's global matrix.
    void Append(TMesh& m) {
        indexPartners();
        // Every surface is copied and carried before any is merged, so that a destination
        // holding m's own surfaces merges what they were.
        std::vector<SurfaceRef> moved;
        int left = m.CountSurfaces();
        for (const SurfaceRef& src : *m.surf_list) {
            if (left-- <= 0) break;
            if (!src) continue;
            MeshRef one = TMesh::New();
            SurfaceRef copy = one->CreateSurface(nullptr);
            CopySurfaceVertices(*src, *copy);
            CopySurfaceTriangles(*src, *copy, 0);
            if (src->brush) copy->brush = src->brush->Copy();
            one->TransformMesh(m.mat);
            moved.push_back(std::move(copy));
        }
        for (const SurfaceRef& s : moved) merge(*s);
    }

    // Appends the geometry of every mesh among entity's descendants, depth-first.
    void AppendChildren(const TEntity& entity) {
        for (const EntityRef& c : entity.child_list) {
            if (!c) continue;
            if (auto* m = dynamic_cast<TMesh*>(c.get())) Append(*m);
            AppendChildren(*c);
        }
    }

  private:
    // Takes into the table the surfaces dest has gained since the last mesh's turn.
    void indexPartners() {
        const int n = dest_->CountSurfaces();
        while (indexed_ < n) {
            const TLinkRef<SurfaceRef> link =
                last_ ? last_->NextLink() : dest_->surf_list->FirstLink();
            if (!link) break;
            last_ = link;
            ++indexed_;
            const SurfaceRef& s = link->Value();
            if (s && canMerge(s->brush)) partners_[brushKey(s->brush)].push_back(s);
        }
    }

    void merge(const TSurface& src) {
        const auto bucket =
            canMerge(src.brush) ? partners_.find(brushKey(src.brush)) : partners_.end();
        if (bucket != partners_.end()) {
            for (const SurfaceRef& target : bucket->second) {
                if (TBrush::CompareBrushes(src.brush, target->brush) != 1) continue;
                if (target->CountVertices() + src.CountVertices() > TSurface::kMaxVertices) {
                    continue;
                }
                const int offset = target->CountVertices();
                CopySurfaceVertices(src, *target);
                CopySurfaceTriangles(src, *target, offset);
                return;
            }
        }
        const SurfaceRef fresh = dest_->CreateSurface(nullptr);
        CopySurfaceVertices(src, *fresh);
        CopySurfaceTriangles(src, *fresh, 0);
        if (src.brush) fresh->brush = src.brush->Copy();
    }

    MeshRef dest_;
    std::unordered_map<std::uint64_t, std::vector<SurfaceRef>> partners_;
    int indexed_ = 0;           // dest's first surfaces that are in the table
    TLinkRef<SurfaceRef> last_; // the link of the last of them
};

} // namespace

MeshRef TMesh::CollapseAnimMesh(const MeshRef& mesh) {
    MeshRef dest = mesh ? mesh : New();
    Collapse collapse(dest);
    collapse.Append(*this);
    collapse.AppendChildren(*this);
    return dest;
}

MeshRef TMesh::CollapseChildren(const TEntity& entity, const MeshRef& mesh) {
    if (!mesh) return mesh;
    Collapse collapse(mesh);
    collapse.AppendChildren(entity);
    return mesh;
}

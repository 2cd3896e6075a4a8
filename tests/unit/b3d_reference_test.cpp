// Loaded geometry held against references, bit for bit:
// - tests/fixtures/b3d/loaded_geometry.txt records what LoadAnimMesh and LoadMesh made of a set
//   of small models when the loader still rebuilt a mesh's normals after every run of triangle
//   chunks and smoothed them through an ordered map; the loader must still make exactly that.
//   LAPIZ_WRITE_FIXTURES=1 in the environment writes the file from the present code instead.
// - On larger meshes, the smoothing equals that ordered-map smoothing (kept here as the
//   reference), and LoadMesh equals the collapse built from AddMesh and TransformMesh as they
//   were.
#include "engine/brush.h"
#include "engine/commands.h"
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "platform/mathfn.h"
#include "tests/unit/b3d_writer.h"
#include "tests/unit/entity_fixture.h"
#include "tests/unit/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Verts = std::vector<std::vector<float>>;
using Tris = std::vector<std::vector<int>>;

// ---- The reference smoothing: an ordered map keyed by exact position ----

struct ByPosition {
    bool operator()(const TVector& a, const TVector& b) const { return a.Compare(b) < 0; }
};

TVector storedPosition(const TSurface& s, int v) {
    const std::size_t i = std::size_t(v) * 3;
    return TVector{s.vert_coords[i], s.vert_coords[i + 1], s.vert_coords[i + 2]};
}

void referenceSmooth(TSurface& s) {
    std::map<TVector, TVector, ByPosition> sums;
    for (int t = 0; t < s.no_tris && s.HasTriangle(t); ++t) {
        const std::size_t base = std::size_t(t) * 3;
        const int ia = s.tris[base], ib = s.tris[base + 1], ic = s.tris[base + 2];
        if (!s.HasVertex(ia) || !s.HasVertex(ib) || !s.HasVertex(ic)) continue;
        const TVector pa = storedPosition(s, ia);
        const TVector pb = storedPosition(s, ib);
        const TVector pc = storedPosition(s, ic);
        const TVector f = pb.Subtract(pa).Cross(pc.Subtract(pb));
        for (int k = 0; k < 3; ++k) {
            const TVector key = storedPosition(s, s.TriangleVertex(t, k));
            auto at = sums.find(key);
            if (at == sums.end()) {
                sums.emplace(key, f);
            } else {
                at->second = at->second.Add(f);
            }
        }
    }
    for (auto& [key, n] : sums) {
        const double len = Sqr(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        n = n.Multiply(len > 0.0 ? float(1.0 / len) : 0.0f);
    }
    for (int v = 0; v < s.no_verts; ++v) {
        if (!s.HasVertex(v) || 3 * std::size_t(v) + 3 > s.vert_norm.size()) break;
        const auto at = sums.find(storedPosition(s, v));
        if (at == sums.end()) continue;
        s.vert_norm[std::size_t(v) * 3] = at->second.x;
        s.vert_norm[std::size_t(v) * 3 + 1] = at->second.y;
        s.vert_norm[std::size_t(v) * 3 + 2] = at->second.z;
    }
}

// ---- The reference collapse: AddMesh and TransformMesh, mesh by mesh, depth-first ----

void referenceAppend(TMesh& m, const MeshRef& dest) {
    MeshRef temp = TMesh::New();
    m.AddMesh(temp);
    temp->TransformMesh(m.mat);
    temp->AddMesh(dest);
}

void referenceCollapseChildren(const TEntity& e, const MeshRef& dest) {
    for (const EntityRef& c : e.child_list) {
        if (auto* m = dynamic_cast<TMesh*>(c.get())) referenceAppend(*m, dest);
        referenceCollapseChildren(*c, dest);
    }
}

MeshRef referenceCollapse(TMesh& root) {
    MeshRef dest = TMesh::New();
    referenceAppend(root, dest);
    referenceCollapseChildren(root, dest);
    return dest;
}

// ---- A text form of what a load made: every value's bits ----

template <class T>
void words(std::ostream& out, const char* what, const std::vector<T>& v, std::size_t n) {
    out << what;
    char buf[16];
    for (std::size_t i = 0; i < n && i < v.size(); ++i) {
        std::uint32_t bits = 0;
        if constexpr (sizeof(T) == 4) {
            std::memcpy(&bits, &v[i], 4);
        } else {
            bits = v[i];
        }
        std::snprintf(buf, sizeof buf, " %x", bits);
        out << buf;
    }
    out << "\n";
}

void dumpSurface(std::ostream& out, const TSurface& s) {
    const std::size_t nv = std::size_t(s.no_verts), nt = std::size_t(s.no_tris);
    out << "surface verts " << nv << " tris " << nt;
    if (s.brush) {
        const TBrush& b = *s.brush;
        words(out, " brush", std::vector<float>{b.red, b.green, b.blue, b.alpha, b.shine}, 5);
    } else {
        out << " no brush\n";
    }
    words(out, "coords", s.vert_coords, 3 * nv);
    words(out, "normals", s.vert_norm, 3 * nv);
    words(out, "colours", s.vert_col, 4 * nv);
    words(out, "uv0", s.vert_tex_coords0, 2 * nv);
    words(out, "uv1", s.vert_tex_coords1, 2 * nv);
    words(out, "tris", s.tris, 3 * nt);
}

void dumpEntity(std::ostream& out, const TEntity& e) {
    out << "entity " << e.class_name << " " << e.name << "\n";
    if (const auto* m = dynamic_cast<const TMesh*>(&e)) {
        for (const SurfaceRef& s : *m->surf_list) dumpSurface(out, *s);
    }
    for (const EntityRef& c : e.child_list) dumpEntity(out, *c);
    out << "end " << e.name << "\n";
}

// ---- The models ----

// A rolling grid of columns x rows vertices at height lift, one texture-coordinate set, without
// normals; two triangles per cell.
void rolling(int columns, int rows, float lift, Verts& verts, Tris& tris) {
    for (int z = 0; z < rows; ++z) {
        for (int x = 0; x < columns; ++x) {
            const float h = float(0.3 * std::sin(0.9 * x) * std::cos(0.7 * z)) + lift;
            verts.push_back({float(x) * 0.25f, h, float(z) * 0.5f, float(x) / float(columns),
                             float(z) / float(rows)});
        }
    }
    for (int z = 0; z + 1 < rows; ++z) {
        for (int x = 0; x + 1 < columns; ++x) {
            const int a = z * columns + x;
            tris.push_back({a, a + columns, a + columns + 1});
            tris.push_back({a, a + columns + 1, a + 1});
        }
    }
}

// Triangle runs [from, to) in the given brushes, one chunk each.
void runs(B3DWriter& w, const Tris& tris, const std::vector<int>& brushes) {
    const std::size_t n = brushes.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto from = std::ptrdiff_t(tris.size() * i / n);
        const auto to = std::ptrdiff_t(tris.size() * (i + 1) / n);
        w.Tris(brushes[i], Tris(tris.begin() + from, tris.begin() + to));
    }
}

// A mesh (of brush `brush`) of a rolling grid, its triangles in runs of the given brushes.
void rollingMesh(B3DWriter& w, int brush, int columns, int rows, float lift,
                 const std::vector<int>& brushes) {
    Verts verts;
    Tris tris;
    rolling(columns, rows, lift, verts, tris);
    w.Mesh(brush).Vrts(0, 1, 2, verts);
    runs(w, tris, brushes);
    w.End();
}

std::vector<B3DBrush> colours(int n) {
    std::vector<B3DBrush> b(std::size_t(n), B3DBrush{});
    for (int i = 0; i < n; ++i) {
        b[std::size_t(i)].name = "c" + std::to_string(i);
        b[std::size_t(i)].red = float(i) / float(n);
    }
    return b;
}

// Bands of three brushes over a rolling grid whose borders they share; a seam of vertices that
// repeat a position with other texture coordinates, a -0 coordinate, a triangle with a repeated
// corner and one without area.
Bytes bandsModel() {
    Verts verts;
    Tris tris;
    rolling(6, 5, 0.0f, verts, tris);
    verts[0][0] = -0.0f;
    for (int z = 0; z < 5; ++z) {
        std::vector<float> v = verts[std::size_t(z * 6 + 5)];
        v[3] = 0.0f; // the seam: same place, u wrapped
        verts.push_back(v);
    }
    tris.push_back({30, 31, 4});
    tris.push_back({1, 1, 2});
    tris.push_back({0, 1, 2}); // along one row: no area
    B3DWriter w;
    w.Header().Brus(0, colours(3)).Node("bands").Mesh(-1).Vrts(0, 1, 2, verts);
    runs(w, tris, {0, 1, 2});
    return w.Finish();
}

// Lists with and without normals in one mesh, in both orders: a mesh whose runs without
// normals come first keeps the file's normals of its later run; one whose run without normals
// comes last has every surface smoothed.
Bytes mixedModel() {
    const Verts plain = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0.5f}, {1, 1, 0}};
    const Verts normals = {{0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 1, 0}, {1, 0, 0.5f, 1, 0, 0}};
    B3DWriter w;
    w.Header().Brus(0, colours(2)).Node("mixed");
    w.Node("plain first").Mesh(-1).Vrts(0, 0, 0, plain).Tris(0, {{0, 1, 2}, {1, 3, 2}});
    w.Vrts(1, 0, 0, normals).Tris(1, {{0, 1, 2}}).End().End(); // numbered from its own list
    w.Node("plain last").Mesh(-1).Vrts(1, 0, 0, normals).Tris(0, {{0, 1, 2}});
    w.Vrts(0, 0, 0, plain).Tris(1, {{0, 1, 2}, {1, 3, 2}}).End().End();
    return w.Finish();
}

// Runs of one brush cut apart by other chunks (each cut makes a new surface and, in the loader
// of old, a rebuild of the mesh's normals), and two chunks of one run sharing a surface.
Bytes separatedModel() {
    Verts verts;
    Tris tris;
    rolling(4, 4, 1.0f, verts, tris);
    B3DWriter w;
    w.Header().Brus(0, colours(2)).Node("cut").Mesh(0).Vrts(0, 1, 2, verts);
    w.Tris(0, Tris(tris.begin(), tris.begin() + 4));
    w.Begin("BRUS").Int(0).End();
    w.Tris(0, Tris(tris.begin() + 4, tris.begin() + 8));
    w.Tris(0, Tris(tris.begin() + 8, tris.begin() + 12));
    w.Begin("TEXS").End();
    w.Tris(1, Tris(tris.begin() + 12, tris.end()));
    return w.Finish();
}

// A hierarchy for LoadMesh: a turned and scaled root, children sharing some of its brushes, a
// mesh below a bone, and one child with normals from the file.
Bytes hierarchyModel() {
    const float s = std::sqrt(0.5f);
    B3DWriter w;
    w.Header().Brus(0, colours(3)).Node("root", {1, 2, 3}, {2, 1, 0.5f}, {s, 0, s, 0});
    rollingMesh(w, -1, 4, 3, 0.0f, {0, 1});
    w.Node("arm", {0, 1, 0}, {1, 1, 1}, {s, s, 0, 0});
    rollingMesh(w, -1, 3, 3, 2.0f, {1, 2});
    w.Node("bone", {0, 0, 4}).Bone({});
    w.Node("hand", {2, 0, 0}, {3, 3, 3});
    w.Mesh(-1).Vrts(1, 0, 0, {{0, 0, 0, 0, 0, -1}, {0, 1, 0, 0.6f, 0, -0.8f}, {1, 0, 0, 0, 1, 0}});
    w.Tris(0, {{0, 1, 2}}).End();
    w.End().End().End();
    w.Node("leg", {-1, 0, 0});
    rollingMesh(w, 2, 3, 4, -1.0f, {-1, 2});
    return w.Finish();
}

struct Model {
    const char* name;
    std::function<Bytes()> make;
};

const std::vector<Model>& models() {
    static const std::vector<Model> all = {{"bands", bandsModel},
                                           {"mixed", mixedModel},
                                           {"separated", separatedModel},
                                           {"hierarchy", hierarchyModel}};
    return all;
}

std::string fixturePath() {
    return std::string(TEST_FIXTURE_DIR) + "/b3d/loaded_geometry.txt";
}

// What LoadAnimMesh and LoadMesh make of every model, as text.
std::string loadedGeometry(const TempDir& tmp) {
    std::ostringstream out;
    for (const Model& m : models()) {
        const std::string file = tmp.write(std::string(m.name) + ".b3d", m.make());
        out << "model " << m.name << "\n";
        MeshRef tree = LoadAnimMesh(file, nullptr);
        MeshRef flat = LoadMesh(file, nullptr);
        if (!tree || !flat) {
            ADD_FAILURE() << m.name << " did not load";
            continue;
        }
        out << "hierarchy\n";
        dumpEntity(out, *tree);
        out << "collapsed\n";
        dumpEntity(out, *flat);
        tree->FreeEntity();
        flat->FreeEntity();
    }
    return out.str();
}

class B3DReference : public SceneTest {
  protected:
    TempDir tmp_;
};

// Every pair of surfaces holds the same values bit for bit.
void expectSameSurfaces(const TMesh& got, const TMesh& want, const std::string& what) {
    ASSERT_EQ(got.surf_list->Count(), want.surf_list->Count()) << what;
    std::ostringstream a, b;
    for (const SurfaceRef& s : *got.surf_list) dumpSurface(a, *s);
    for (const SurfaceRef& s : *want.surf_list) dumpSurface(b, *s);
    EXPECT_TRUE(a.str() == b.str()) << what;
}

} // namespace

TEST_F(B3DReference, LoadsMakeWhatTheRecordedLoaderMade) {
    const std::string got = loadedGeometry(tmp_);
    if (const char* w = std::getenv("LAPIZ_WRITE_FIXTURES"); w && std::string(w) == "1") {
        std::ofstream(fixturePath(), std::ios::binary) << got;
        GTEST_SKIP() << "written " << fixturePath();
    }
    std::ifstream in(fixturePath(), std::ios::binary);
    ASSERT_TRUE(in) << fixturePath();
    std::stringstream want;
    want << in.rdbuf();
    // Line by line, so that a failure names the first line that differs.
    std::istringstream g(got), r(want.str());
    std::string gl, rl, where;
    for (int line = 1;; ++line) {
        const bool more_g = bool(std::getline(g, gl));
        const bool more_r = bool(std::getline(r, rl));
        if (!more_g && !more_r) break;
        if (gl.rfind("model ", 0) == 0 || gl.rfind("entity ", 0) == 0) where = gl;
        ASSERT_EQ(more_g, more_r) << "line " << line << " (" << where << ")";
        ASSERT_EQ(gl.substr(0, 60), rl.substr(0, 60)) << "line " << line << " (" << where << ")";
        ASSERT_TRUE(gl == rl) << "line " << line << " (" << where << ")";
    }
}

TEST_F(B3DReference, SmoothingEqualsTheOrderedMapOnLargeMeshes) {
    // Meshes built by hand: positions on a coarse lattice so that many vertices share one (in a
    // surface and across surfaces), -0 beside 0, triangles of every shape including repeated
    // corners and corners naming no vertex.
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 4; ++round) {
        MeshRef mesh = TMesh::New();
        for (int si = 0; si < 3; ++si) {
            SurfaceRef s = mesh->CreateSurface(nullptr);
            const int nv = 500 + 1500 * round;
            for (int v = 0; v < nv; ++v) {
                const auto coord = [&] {
                    const float c = float(int(next() % 13) - 6) * 0.5f;
                    return c == 0.0f && next() % 2 ? -0.0f : c;
                };
                const float x = coord(), y = coord(), z = coord();
                s->AddVertex(x, y, z, 0, 0, 0);
                s->VertexNormal(v, 9, 9, 9); // kept where no triangle reaches the position
            }
            for (int t = 0; t < nv; ++t) {
                const int a = int(next() % std::uint32_t(nv)), b = int(next() % std::uint32_t(nv));
                const int c = t % 50 == 0 ? a : int(next() % std::uint32_t(nv + 2));
                s->AddTriangle(a, b, c);
            }
        }
        MeshRef want = TMesh::New();
        for (const SurfaceRef& s : *mesh->surf_list) {
            SurfaceRef copy = s->Copy();
            referenceSmooth(*copy);
            want->surf_list->AddLast(copy);
        }
        mesh->UpdateNormals();
        expectSameSurfaces(*mesh, *want, "round " + std::to_string(round));
    }
}

TEST_F(B3DReference, LoadedNormalsAndCollapseEqualTheReferencesOnLargerModels) {
    // A rolling 60 x 40 grid without normals in six brushes, with 200 children of one small
    // grid each in one of those brushes or one of their own, placed, turned and scaled.
    const float s = std::sqrt(0.5f);
    B3DWriter w;
    w.Header().Brus(0, colours(12)).Node("land");
    {
        Verts verts;
        Tris tris;
        rolling(60, 40, 0.0f, verts, tris);
        w.Mesh(-1).Vrts(0, 1, 2, verts);
        runs(w, tris, {0, 1, 2, 3, 4, 5});
        w.End();
    }
    for (int i = 0; i < 200; ++i) {
        Verts verts;
        Tris tris;
        rolling(3 + i % 3, 3, float(i % 7), verts, tris);
        w.Node("p" + std::to_string(i), {float(i % 20), 1, float(i / 20)}, {1, 1 + float(i % 2), 1},
               {s, 0, i % 2 ? s : 0, i % 2 ? 0 : s});
        w.Mesh(-1).Vrts(0, 1, 2, verts);
        runs(w, tris, {i % 12, (i + 5) % 12});
        w.End().End();
    }
    const std::string file = tmp_.write("large.b3d", w.Finish());
    MeshRef tree = LoadAnimMesh(file, nullptr);
    ASSERT_TRUE(tree);
    const std::function<void(const EntityRef&)> smoothed = [&](const EntityRef& e) {
        if (auto* m = dynamic_cast<TMesh*>(e.get())) {
            MeshRef want = TMesh::New();
            for (const SurfaceRef& sf : *m->surf_list) {
                SurfaceRef copy = sf->Copy();
                referenceSmooth(*copy);
                want->surf_list->AddLast(copy);
            }
            expectSameSurfaces(*m, *want, m->name);
        }
        for (const EntityRef& c : e->child_list) smoothed(c);
    };
    smoothed(tree);
    MeshRef flat = LoadMesh(file, nullptr);
    ASSERT_TRUE(flat);
    expectSameSurfaces(*flat, *referenceCollapse(*tree), "collapsed");
}

TEST_F(B3DReference, BrushesThatCompareEqualToNothingCollapseAsAddMeshLeavesThem) {
    // 300 one-triangle parts in turn in a plain brush, one with a NaN red and one with a NaN
    // alpha: the plain ones merge, each of the others keeps a surface of its own, as AddMesh
    // leaves them.
    std::vector<B3DBrush> brushes(3, B3DBrush{});
    brushes[1].red = std::nanf("");
    brushes[2].alpha = std::nanf("");
    B3DWriter w;
    w.Header().Brus(0, brushes).Node("kit");
    for (int i = 0; i < 300; ++i) {
        w.Node("part" + std::to_string(i), {float(i % 20), 0, float(i / 20)}).Mesh(-1);
        w.Vrts(0, 0, 0, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}).Tris(i % 3, {{0, 1, 2}}).End().End();
    }
    const std::string file = tmp_.write("nan.b3d", w.Finish());
    MeshRef tree = LoadAnimMesh(file, nullptr);
    MeshRef flat = LoadMesh(file, nullptr);
    ASSERT_TRUE(tree && flat);
    expectSameSurfaces(*flat, *referenceCollapse(*tree), "collapsed");
    EXPECT_EQ(flat->CountSurfaces(), 1 + 200);
    EXPECT_EQ(flat->GetSurface(1)->CountTriangles(), 100) << "the plain parts, merged";
}

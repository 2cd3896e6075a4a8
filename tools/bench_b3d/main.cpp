// Model loader benchmark. Writes model files with the tests' B3D writer into a temporary folder,
// then for each loads it repeatedly and poses it repeatedly, and prints
//     <model>: load ms median X p99 Y
//     <model>: loadmesh ms median X p99 Y      (the models marked below: LoadMesh, collapsed)
//     <model>: pose ms median X p99 Y
// and at the end the sum of the load medians:
//     total: load ms median X
// The models:
//   hostile    2,000 bones in an animation of the longest allowed length, one key each; the
//              process's peak resident memory is printed after it (it runs first)
//   character  a skinned body: 24 materials over a 3,000-vertex list (surfaces share the
//              vertices along their borders), 40 bones in a chain of four limbs, 60 frames with
//              position and rotation keys at every frame, two raw weights per vertex
//   static     a 100,000-vertex mesh of 1,000 x 100 quads, one material, no bones
//   long       200 bones, 2,000 frames of keys, a 2,000-vertex list
//   smooth     a rolling 70 x 50 vertex surface without normals (the loader smooths them) and
//              with texture coordinates, in 8 materials whose bands share their border rows, and
//              a 1,200-vertex child of the same materials; also timed through LoadMesh
//   surfaces   2,000 one-triangle surfaces in one mesh without normals, each in its own
//              material and followed by an empty brush list chunk; also LoadMesh
//   parts      1,000 child nodes of one triangle each, each in its own material; also LoadMesh
//   oneplain   32,000 child nodes of one triangle each, all in one plain material; also LoadMesh
//   onenan     the same with a NaN red in the material, which compares equal to nothing, so
//              LoadMesh's collapse merges none of the triangles; its LoadMesh time against
//              oneplain's is what to watch
// Usage: bench_b3d [repetitions [model ...]]   (default 20, every model)
#include "engine/animation.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "tests/unit/b3d_writer.h"
#include "tools/bench_timing.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using benchtime::Clock;
using benchtime::msSince;
using benchtime::percentile;

B3DKey key(int frame, float x, float y, float z, float angle) {
    B3DKey k;
    k.frame = frame;
    k.p[0] = x;
    k.p[1] = y;
    k.p[2] = z;
    k.q[0] = std::cos(angle / 2);
    k.q[3] = std::sin(angle / 2);
    return k;
}

// A grid of columns x rows quads in the x-y plane as a vertex list (with normals, as exporters
// write them) and triangles.
void grid(int columns, int rows, std::vector<std::vector<float>>& verts,
          std::vector<std::vector<int>>& tris) {
    for (int y = 0; y <= rows; ++y)
        for (int x = 0; x <= columns; ++x)
            verts.push_back({float(x) * 0.1f, float(y) * 0.1f, 0, 0, 0, -1});
    const int w = columns + 1;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const int a = y * w + x;
            tris.push_back({a, a + w, a + w + 1});
            tris.push_back({a, a + w + 1, a + 1});
        }
}

// Bones nested in `chains` chains of `per_chain` each under the mesh's node, keyed at every
// frame of 0..frames (or only at the last frame when sparse), each weighing the vertices whose
// number falls in its share of the list at a raw weight of 1 (a vertex has two such weights).
void bones(B3DWriter& w, int chains, int per_chain, int frames, int verts, bool sparse) {
    const int total = chains * per_chain;
    for (int c = 0; c < chains; ++c) {
        for (int i = 0; i < per_chain; ++i) {
            const int b = c * per_chain + i;
            w.Node("bone" + std::to_string(b), {0, 0.5f, 0});
            std::vector<std::pair<int, float>> weights;
            for (int v = 0; v < verts; ++v) {
                if (v * total / verts == b || (v * total / verts + 1) % total == b)
                    weights.push_back({v, 1.0f});
            }
            w.Bone(weights);
            std::vector<B3DKey> keys;
            for (int f = sparse ? frames : 0; f <= frames; ++f)
                keys.push_back(key(f, 0, 0.5f, 0.01f * float(f % 7), 0.02f * float(f)));
            w.Keys(1 | 4, keys);
        }
        for (int i = 0; i < per_chain; ++i) w.End();
    }
}

Bytes hostileModel() {
    B3DWriter w;
    w.Header().Node("body");
    w.Mesh(-1).Vrts(0, 0, 0, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}).Tris(-1, {{0, 1, 2}}).End();
    w.Anim(100000);
    for (int b = 0; b < 2000; ++b) {
        w.Node("b" + std::to_string(b)).Bone({{b % 3, 1.0f}});
        w.Keys(1 | 2 | 4, {key(100000, 1, 0, 0, 0)}).End();
    }
    return w.Finish();
}

Bytes characterModel() {
    std::vector<std::vector<float>> verts;
    std::vector<std::vector<int>> tris;
    grid(59, 49, verts, tris); // 60 x 50 = 3,000 vertices
    std::vector<B3DBrush> brushes(24);
    for (std::size_t i = 0; i < brushes.size(); ++i) brushes[i].name = "m" + std::to_string(i);
    B3DWriter w;
    w.Header().Brus(0, brushes).Node("body").Mesh(-1).Vrts(1, 0, 0, verts);
    // Consecutive bands of triangles, one material each: neighbouring bands share a row.
    const std::size_t band = (tris.size() + brushes.size() - 1) / brushes.size();
    for (std::size_t i = 0; i < brushes.size(); ++i) {
        const auto from = std::min(tris.size(), i * band);
        const auto to = std::min(tris.size(), from + band);
        w.Tris(int(i), std::vector<std::vector<int>>(tris.begin() + std::ptrdiff_t(from),
                                                     tris.begin() + std::ptrdiff_t(to)));
    }
    w.End();
    w.Anim(60);
    bones(w, 4, 10, 60, int(verts.size()), false);
    return w.Finish();
}

Bytes staticModel() {
    std::vector<std::vector<float>> verts;
    std::vector<std::vector<int>> tris;
    grid(999, 99, verts, tris); // 1,000 x 100 vertices
    B3DWriter w;
    w.Header().Node("ground").Mesh(-1).Vrts(1, 0, 0, verts).Tris(-1, tris).End();
    return w.Finish();
}

Bytes longModel() {
    std::vector<std::vector<float>> verts;
    std::vector<std::vector<int>> tris;
    grid(39, 49, verts, tris); // 2,000 vertices
    B3DWriter w;
    w.Header().Node("body").Mesh(-1).Vrts(1, 0, 0, verts).Tris(-1, tris).End();
    w.Anim(2000);
    bones(w, 20, 10, 2000, int(verts.size()), false);
    return w.Finish();
}

// A rolling surface of columns x rows vertices without normals, with one set of texture
// coordinates, at height `lift`: positions and triangles (two per grid cell).
void rolling(int columns, int rows, float lift, std::vector<std::vector<float>>& verts,
             std::vector<std::vector<int>>& tris) {
    for (int z = 0; z < rows; ++z)
        for (int x = 0; x < columns; ++x) {
            const float h = float(0.3 * std::sin(0.37 * x) * std::cos(0.23 * z)) + lift;
            verts.push_back({float(x) * 0.1f, h, float(z) * 0.1f, float(x) / float(columns),
                             float(z) / float(rows)});
        }
    for (int z = 0; z + 1 < rows; ++z)
        for (int x = 0; x + 1 < columns; ++x) {
            const int a = z * columns + x;
            tris.push_back({a, a + columns, a + columns + 1});
            tris.push_back({a, a + columns + 1, a + 1});
        }
}

// Triangles in `bands` consecutive runs, run i in material first + i; neighbouring runs share
// the vertices of their border row.
void bandedTris(B3DWriter& w, const std::vector<std::vector<int>>& tris, int bands, int first) {
    const std::size_t band = (tris.size() + std::size_t(bands) - 1) / std::size_t(bands);
    for (int i = 0; i < bands; ++i) {
        const auto from = std::min(tris.size(), std::size_t(i) * band);
        const auto to = std::min(tris.size(), from + band);
        w.Tris(first + i, std::vector<std::vector<int>>(tris.begin() + std::ptrdiff_t(from),
                                                        tris.begin() + std::ptrdiff_t(to)));
    }
}

std::vector<B3DBrush> materials(int n) {
    std::vector<B3DBrush> brushes(std::size_t(n), B3DBrush{});
    for (int i = 0; i < n; ++i) {
        B3DBrush& b = brushes[std::size_t(i)];
        b.name = "m" + std::to_string(i);
        b.red = float(i % 97) / 96.0f;
        b.green = float(i / 97) / 96.0f;
    }
    return brushes;
}

Bytes smoothModel() {
    B3DWriter w;
    w.Header().Brus(0, materials(8)).Node("land").Mesh(-1);
    {
        std::vector<std::vector<float>> verts;
        std::vector<std::vector<int>> tris;
        rolling(70, 50, 0.0f, verts, tris);
        w.Vrts(0, 1, 2, verts);
        bandedTris(w, tris, 8, 0);
    }
    w.End();
    w.Node("hill", {1, 0, 1}).Mesh(-1);
    {
        std::vector<std::vector<float>> verts;
        std::vector<std::vector<int>> tris;
        rolling(40, 30, 0.5f, verts, tris);
        w.Vrts(0, 1, 2, verts);
        bandedTris(w, tris, 4, 2);
    }
    return w.Finish();
}

Bytes surfacesModel() {
    constexpr int kSurfaces = 2000;
    std::vector<std::vector<float>> verts;
    for (int i = 0; i < kSurfaces; ++i) {
        const float x = float(i % 50), z = float(i / 50);
        verts.push_back({x, 0, z});
        verts.push_back({x, 1, z});
        verts.push_back({x + 1, 0, z});
    }
    B3DWriter w;
    w.Header().Brus(0, materials(kSurfaces)).Node("pieces").Mesh(-1).Vrts(0, 0, 0, verts);
    for (int i = 0; i < kSurfaces; ++i) {
        w.Tris(i, {{3 * i, 3 * i + 1, 3 * i + 2}});
        w.Begin("BRUS").Int(0).End(); // an empty brush list
    }
    return w.Finish();
}

Bytes partsModel() {
    constexpr int kParts = 1000;
    B3DWriter w;
    w.Header().Brus(0, materials(kParts)).Node("kit");
    for (int i = 0; i < kParts; ++i) {
        w.Node("part" + std::to_string(i), {float(i % 40), 0, float(i / 40)}).Mesh(-1);
        w.Vrts(0, 0, 0, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}).Tris(i, {{0, 1, 2}}).End().End();
    }
    return w.Finish();
}

// 32,000 child nodes of one triangle each, all in one material whose red is `red`.
Bytes oneMaterialParts(float red) {
    constexpr int kParts = 32000;
    B3DBrush brush;
    brush.red = red;
    B3DWriter w;
    w.Header().Brus(0, {brush}).Node("kit");
    for (int i = 0; i < kParts; ++i) {
        w.Node("part" + std::to_string(i), {float(i % 200), 0, float(i / 200)}).Mesh(-1);
        w.Vrts(0, 0, 0, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}).Tris(0, {{0, 1, 2}}).End().End();
    }
    return w.Finish();
}

std::string writeFile(const std::filesystem::path& dir, const std::string& name,
                      const Bytes& bytes) {
    const std::filesystem::path path = dir / (name + ".b3d");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
}

bool raw = false; // --raw: every sample as well, for pooling runs

void line(const char* model, const char* what, const std::vector<double>& ms) {
    std::printf("%s: %s ms median %.3f p99 %.3f\n", model, what, percentile(ms, 0.5),
                percentile(ms, 0.99));
    if (raw) {
        std::printf("%s: %s samples", model, what);
        for (double v : ms) std::printf(" %.4f", v);
        std::printf("\n");
    }
}

// Loads the file reps times with LoadAnimMesh (and, when collapse is set, reps times with
// LoadMesh) and poses the last animated result; adds the load median to total_ms.
bool bench(const char* name, const std::string& file, int reps, bool collapse, double& total_ms) {
    std::vector<double> load_ms, mesh_ms, pose_ms;
    MeshRef kept;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = Clock::now();
        MeshRef m = LoadAnimMesh(file, nullptr);
        load_ms.push_back(msSince(t0));
        if (!m) {
            std::fprintf(stderr, "%s: the model did not load\n", name);
            return false;
        }
        if (kept) FreeEntity(kept);
        kept = m;
    }
    line(name, "load", load_ms);
    total_ms += percentile(load_ms, 0.5);
    for (int r = 0; collapse && r < reps; ++r) {
        const auto t0 = Clock::now();
        MeshRef m = LoadMesh(file, nullptr);
        mesh_ms.push_back(msSince(t0));
        if (!m) {
            std::fprintf(stderr, "%s: the model did not load as one mesh\n", name);
            return false;
        }
        FreeEntity(m);
    }
    if (collapse) line(name, "loadmesh", mesh_ms);
    if (kept->anim) {
        const int last = kept->anim_seqs_last[0];
        for (int r = 0; r < reps * 10; ++r) {
            const float frame = float(last) * float(r % 97) / 96.0f;
            const auto t0 = Clock::now();
            TAnimation::AnimateMesh(kept, frame, 0, last);
            pose_ms.push_back(msSince(t0));
        }
        line(name, "pose", pose_ms);
    }
    FreeEntity(kept);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (auto at = std::find(args.begin(), args.end(), "--raw"); at != args.end()) {
        raw = true;
        args.erase(at);
    }
    const int reps = !args.empty() ? std::max(1, std::atoi(args[0].c_str())) : 20;
    const std::vector<std::string> only(args.size() > 1 ? args.begin() + 1 : args.end(),
                                        args.end());
    InitEngineModule();
    const auto dir =
        std::filesystem::temp_directory_path() / ("bench_b3d_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Model {
        const char* name;
        std::function<Bytes()> make;
        bool collapse; // also timed through LoadMesh
    };
    const Model models[] = {{"hostile", hostileModel, false},
                            {"character", characterModel, false},
                            {"static", staticModel, false},
                            {"long", longModel, false},
                            {"smooth", smoothModel, true},
                            {"surfaces", surfacesModel, true},
                            {"parts", partsModel, true},
                            {"oneplain", [] { return oneMaterialParts(0.5f); }, true},
                            {"onenan", [] { return oneMaterialParts(std::nanf("")); }, true}};
    bool ok = true;
    double total_ms = 0.0;
    for (const Model& m : models) {
        if (!only.empty() && std::find(only.begin(), only.end(), m.name) == only.end()) continue;
        const Bytes bytes = m.make();
        const std::string file = writeFile(dir, m.name, bytes);
        std::printf("%s: %zu bytes\n", m.name, bytes.size());
        ok = bench(m.name, file, reps, m.collapse, total_ms) && ok;
        if (std::string(m.name) == "hostile") {
            rusage u{};
            getrusage(RUSAGE_SELF, &u);
            std::printf("hostile: peak resident memory %.1f MB\n", double(u.ru_maxrss) / 1024.0);
        }
    }
    std::printf("total: load ms median %.3f\n", total_ms);
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}

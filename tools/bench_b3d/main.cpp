// Model loader benchmark. Writes four model files with the tests' B3D writer into a temporary
// folder, then for each loads it repeatedly and poses it repeatedly, and prints
//     <model>: load ms median X p99 Y
//     <model>: pose ms median X p99 Y
// The models:
//   hostile    2,000 bones in an animation of the longest allowed length, one key each; the
//              process's peak resident memory is printed after it (it runs first)
//   character  a skinned body: 24 materials over a 3,000-vertex list (surfaces share the
//              vertices along their borders), 40 bones in a chain of four limbs, 60 frames with
//              position and rotation keys at every frame, two raw weights per vertex
//   static     a 100,000-vertex mesh of 1,000 x 100 quads, one material, no bones
//   long       200 bones, 2,000 frames of keys, a 2,000-vertex list
// Usage: bench_b3d [repetitions]   (default 20)
#include "engine/animation.h"
#include "engine/commands.h"
#include "engine/global.h"
#include "engine/mesh.h"
#include "tests/unit/b3d_writer.h"

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
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::size_t(q * double(v.size() - 1) + 0.5)];
}

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
        for (int x = 0; x <= columns; ++x) verts.push_back({float(x) * 0.1f, float(y) * 0.1f, 0, 0, 0, -1});
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

std::string writeFile(const std::filesystem::path& dir, const std::string& name,
                      const Bytes& bytes) {
    const std::filesystem::path path = dir / (name + ".b3d");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
}

void line(const char* model, const char* what, const std::vector<double>& ms) {
    std::printf("%s: %s ms median %.3f p99 %.3f\n", model, what, percentile(ms, 0.5),
                percentile(ms, 0.99));
}

bool bench(const char* name, const std::string& file, int reps) {
    std::vector<double> load_ms, pose_ms;
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
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    InitEngineModule();
    const auto dir =
        std::filesystem::temp_directory_path() / ("bench_b3d_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Model {
        const char* name;
        std::function<Bytes()> make;
    };
    const Model models[] = {{"hostile", hostileModel},
                            {"character", characterModel},
                            {"static", staticModel},
                            {"long", longModel}};
    bool ok = true;
    for (const Model& m : models) {
        const Bytes bytes = m.make();
        const std::string file = writeFile(dir, m.name, bytes);
        std::printf("%s: %zu bytes\n", m.name, bytes.size());
        ok = bench(m.name, file, reps) && ok;
        if (std::string(m.name) == "hostile") {
            rusage u{};
            getrusage(RUSAGE_SELF, &u);
            std::printf("hostile: peak resident memory %.1f MB\n", double(u.ru_maxrss) / 1024.0);
        }
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}

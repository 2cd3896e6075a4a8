// Animated meshes built by hand the way the model loader builds them: surfaces holding every
// vertex, one animated surface per surface (a copy of its positions), sequence 0 over the whole
// key range, and bones with key tracks, rest poses and mesh-relative bind matrices.
#pragma once

#include "bone_fixture.h"
#include "entity_fixture.h"

#include "engine/animation.h"
#include "engine/bone.h"
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "engine/surface.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

class AnimTest : public SceneTest {
  protected:
    // A mesh with anim = 1 and frames 0..frames as sequence 0, and no surfaces yet.
    static MeshRef animMesh(int frames) {
        MeshRef m = TMesh::CreateMesh(nullptr);
        m->anim = 1;
        m->anim_seqs_first[0] = 0;
        m->anim_seqs_last[0] = frames;
        frames_ = frames;
        return m;
    }

    // A surface holding the given vertices (command coordinates) and its animated companion.
    static SurfaceRef addSurface(const MeshRef& m, const std::vector<Vec3>& verts) {
        SurfaceRef s = m->CreateSurface(nullptr);
        for (const Vec3& v : verts) s->AddVertex(v[0], v[1], v[2], 0.0f, 0.0f, 0.0f);
        if (verts.size() >= 3) s->AddTriangle(0, 1, 2);
        auto a = std::make_shared<TSurface>();
        a->vert_coords = s->vert_coords;
        m->anim_surf_list.AddLast(a);
        return s;
    }

    // A bone under parent (the mesh or another bone) with the given rest pose, an empty key track
    // for the mesh's frame count, and the bind matrix (relative to the mesh) and its inverse.
    static BoneRef addBone(const MeshRef& m, const EntityRef& parent, const Vec3& rest_pos,
                           const std::array<float, 4>& rest_q = {1.0f, 0.0f, 0.0f, 0.0f}) {
        BoneRef b = placedBone(parent, "bone" + std::to_string(m->bones.Count()));
        b->rest_px = rest_pos[0];
        b->rest_py = rest_pos[1];
        b->rest_pz = -rest_pos[2];
        b->rest_qw = rest_q[0];
        b->rest_qx = rest_q[1];
        b->rest_qy = rest_q[2];
        b->rest_qz = rest_q[3];
        b->keys->frames = frames_;
        TMatrix bind;
        bind.LoadIdentity();
        TQuaternion::QuatToMat(rest_q[0], rest_q[1], rest_q[2], rest_q[3], bind);
        bind.grid[3][0] = rest_pos[0];
        bind.grid[3][1] = rest_pos[1];
        bind.grid[3][2] = rest_pos[2];
        if (parent && parent != m) {
            TMatrix p = parent->mat.Copy();
            p.Multiply(bind);
            bind = p;
        }
        b->mat = bind;
        b->inv_mat = bind.Inverse();
        m->bones.AddLast(b);
        return b;
    }

    static void weigh(const BoneRef& b, int id, float w) {
        b->verts_id.push_back(id);
        b->verts_w.push_back(w);
        b->no_verts = int(b->verts_id.size());
    }

    static void posKey(const BoneRef& b, int frame, float x, float y, float z) {
        TAnimationKeys::SetKey(b->keys->position, frame, x, y, z);
    }

    static void rotKey(const BoneRef& b, int frame, const std::array<float, 4>& q) {
        TAnimationKeys::SetKey(b->keys->rotation, frame, q[0], q[1], q[2], q[3]);
    }

    // Quaternion (w, x, y, z) of a turn by degrees about the unit axis (x, y, z).
    static std::array<float, 4> turn(float degrees, float x, float y, float z) {
        const double h = degrees * M_PI / 360.0;
        const float s = float(std::sin(h));
        return {float(std::cos(h)), x * s, y * s, z * s};
    }

    // Position of vertex id of the index-th animated surface (from 0), command coordinates.
    static Vec3 animPos(const MeshRef& m, int id, int index = 0) {
        const SurfaceRef a = m->anim_surf_list.ValueAtIndex(index);
        const float* v = a->vert_coords.data() + std::size_t(id) * 3;
        return {v[0], v[1], -v[2]};
    }

    // mat x inv_mat of the bone applied to p.
    static Vec3 skinned(const BoneRef& b, const Vec3& p) {
        TMatrix m = b->mat.Copy();
        m.Multiply(b->inv_mat);
        return mapPoint(m, p);
    }

    static void expectVecNear(const Vec3& actual, const Vec3& expected, float tol,
                              const std::string& what = "") {
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(actual[i], expected[i], tol) << what << " [" << i << "]";
    }

  private:
    static inline int frames_ = 0;
};

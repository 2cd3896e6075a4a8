// Skinning one pose of a mesh (engine/animation.h, Skinning): what the bones' deforms need of
// the mesh (the surfaces' arrays, paired with the animated surfaces, and the skin map) is found
// once and kept while the pose's bones are applied in turn. Internal to the engine.
#pragma once

#include "engine/animation.h"

#include <vector>

class TBone;
class TMesh;
struct TSkinMap;

class SkinPose {
  public:
    // The mesh's surfaces, animated surfaces and skin map must stay as they are while the object
    // is used.
    explicit SkinPose(const TMesh& mesh);

    // Moves the bone's vertices by mat x inv_mat applied to their bind positions, weighted, as
    // TAnimation::VertexDeform describes.
    void Deform(const TBone& bone, TAnimation::Touched& touched) const;
    // Sets the bone's vertices to mat x inv_mat applied to their bind positions
    // (TAnimation::VertexDeform1).
    void DeformWhole(const TBone& bone) const;

  private:
    // The bind and animated position arrays of one surface and its animated surface, with the
    // number of vertices each really holds.
    struct Arrays {
        const float* bind = nullptr;
        float* anim = nullptr;
        int bind_verts = 0; // below no_verts and within vert_coords (TSurface::HasVertex)
        int bind_size = 0;  // within vert_coords
        int anim_verts = 0; // within the animated vert_coords
        int vmin = 0, vmax = 0;

        bool Holds(int v) const { return v >= 0 && v < bind_verts && v < anim_verts; }
    };

    static void move(const Arrays& a, int v, const TMatrix& m, float w, bool add);
    void deformMapped(const TMatrix& m, int id, float w, bool add) const;
    const Arrays* pairFor(int id) const;

    const TSkinMap* map_;
    int surfs_;
    std::vector<Arrays> pairs_;
};

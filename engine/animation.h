// TAnimation: posing and skinning of animated meshes.
//
// An animated mesh (anim = 1, made by the model loader) carries a list of bones (engine/bone.h),
// each after its parent bone, and one animated surface per surface (TMesh::anim_surf_list, same
// order) holding the posed vertex positions. Posing a mesh at a frame computes, for every bone,
// a position and a rotation from its key track (linear between position keys, spherical between
// rotation keys; the rest pose where the range holds no key of a kind), builds the bone's matrix
// and hands the bone to skinning, which writes the animated surfaces. Drawing uses the animated
// surfaces once the mesh has been posed (anim_render = 1).
//
// Coordinates
// - Poses, keys, bone matrices and inverse bind matrices are in command coordinates (z into the
//   screen) and relative to the animated mesh: a bone whose parent is the mesh has its local
//   matrix, a bone under another bone has the parent bone's matrix times its local one. The
//   inverse bind matrix must be the inverse of that same mesh-relative matrix in the bind pose,
//   so that a bone in its bind pose leaves its vertices where they are.
// - A bone's matrix is written whole by every pose, so a bone that has never been posed (a
//   copied mesh's bones start with a zero matrix) is correct after the first pose.
//
// Skinning
// - Every surface of a loaded mesh holds all vertices of the mesh in one shared numbering; a
//   bone's vertex ids index that numbering. With several surfaces a vertex is moved in the first
//   surface whose vmin..vmax range holds its id (the last surface when none does).
// - Each pose creates a touched table (one entry per vertex of the first surface): the first
//   weighted contribution a vertex receives in a pose replaces its animated position, later
//   ones add to it. The weights are used as they are, not normalised.
// - Animated surfaces hold only vertex positions; skinning writes `vert_coords` directly (z
//   stored negated). Entries whose id lies outside the surfaces' arrays or the touched table are
//   skipped, as are entries of weight 0.
//
// Frames outside the key tracks, sequences outside the entity's list and non-finite times are
// handled safely: no key is read outside its array, and a time that is not a number poses the
// sequence's first frame.
#pragma once

#include "engine/handles.h"

#include <vector>

class TAnimation {
  public:
    TAnimation() = delete;

    // One flag per vertex of the mesh's first surface: 1 once the vertex has received a
    // contribution in the current pose.
    using Touched = std::vector<int>;

    // Poses the mesh at frame (clamped to first .. last) of the range first .. last: per bone,
    // position and rotation from the keys around the frame, stored in the pose fields, the
    // bone's matrix, then VertexDeform. Sets anim_render. Does nothing for an entity that is not
    // a mesh or whose anim is 0. Returns 0.
    static int AnimateMesh(const EntityRef& entity, float frame, int first, int last);
    // Poses the mesh blended by factor t from its last AnimateMesh pose toward the first keys of
    // the range (the rest pose for a kind without keys there). The pose fields are left alone.
    // Same conditions as AnimateMesh. Returns 0.
    static int AnimateMesh2(const EntityRef& entity, float t, int first, int last);

    // ---- Skinning (skinning.cpp) ----

    // Adds the bone's weighted contribution (mat x inv_mat applied to the bind position, times
    // the weight) to the animated positions of its vertices. Returns 0.
    static int VertexDeform(const MeshRef& mesh, const BoneRef& bone, Touched& touched);
    // Sets the animated positions of the bone's vertices to mat x inv_mat applied to their bind
    // positions, ignoring the weights and the touched table. A mesh with several surfaces
    // chooses the surface per vertex as VertexDeform does. Returns 0.
    static int VertexDeform1(const MeshRef& mesh, const BoneRef& bone, Touched& touched);
    // Keeps at most four influences per vertex (a fifth replaces the smallest held one when it
    // is larger) and, when a vertex's weights do not sum to within 0.99 .. 1.01, scales them to
    // sum 1. The kept weights are written back into the bones' `verts_w` entries; the entries of
    // dropped influences (and of weights at or below 0) become 0. Returns 0.
    static int UpdateWeights(const MeshRef& mesh);
};

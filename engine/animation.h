// TAnimation: posing and skinning of animated meshes.
//
// An animated mesh (anim = 1, made by the model loader) carries a list of bones (engine/bone.h),
// each after its parent bone, and one animated surface per surface (TMesh::anim_surf_list, same
// order) holding the posed vertex positions. Posing a mesh at a frame computes, for every bone,
// a position, a scale and a rotation from its key tracks, builds the bone's matrix and hands the
// bone to skinning, which writes the animated surfaces. Drawing uses the animated surfaces once
// the mesh has been posed (anim_render = 1).
//
// Keys
// - Between two keys of a kind a value is blended: linearly for positions and scales,
//   spherically for rotations. Before the first key of the range the first key's value holds,
//   after its last key the last key's value; a range without a key of a kind gives the rest
//   value (a rest scale component of 0 counts as 1).
//
// Coordinates
// - Poses, keys, bone matrices and inverse bind matrices are in command coordinates (z into the
//   screen) and relative to the animated mesh. A bone's matrix is the chain above it times its
//   own T x R x S: nothing for a bone under the mesh (or under nothing), the parent bone's matrix
//   for a bone under a bone, and for a bone under any other node that node's placement relative
//   to the mesh. The rest (bind) matrix uses the same chain, so a bone in its bind pose leaves
//   its vertices where they are.
// - A bone's matrix is written whole by every pose, so a bone that has never been posed (a
//   copied mesh's bones start with a zero matrix) is correct after the first pose.
//
// Skinning
// - A loaded mesh has a skin map (TMesh::skin_map): bones name vertices by their number in the
//   file's vertex list, and the map gives every surface place of that vertex; each place gets
//   the posed position. The loader makes each vertex's weights sum to one (UpdateWeights).
// - A mesh built by hand has no map: every surface holds all vertices in one shared numbering,
//   and with several surfaces a vertex is moved in the first surface whose vmin..vmax range
//   holds its id (the last surface when none does). Its weights are used as they are.
// - Each pose creates a touched table (one entry per vertex that bones can name): the first
//   weighted contribution a vertex receives in a pose replaces its animated position, later
//   ones add to it.
// - Animated surfaces hold only vertex positions; skinning writes `vert_coords` directly (z
//   stored negated). Entries whose id lies outside the surfaces' arrays or the touched table are
//   skipped, as are entries of weight 0.
//
// Frames outside the key tracks, sequences outside the entity's list and non-finite times are
// handled safely: no key is read outside its array, and a time that is not a number poses the
// sequence's first frame.
#pragma once

#include "engine/handles.h"
#include "engine/math/matrix.h"

#include <vector>

class TAnimation {
  public:
    TAnimation() = delete;

    // One flag per vertex that bones can name (SkinVertexCount): 1 once the vertex has received
    // a contribution in the current pose.
    using Touched = std::vector<int>;

    // Poses the mesh at frame (clamped to first .. last) of the range first .. last: per bone,
    // position, scale and rotation from the keys around the frame, stored in the pose fields,
    // the bone's matrix, then VertexDeform. Sets anim_render. Does nothing for an entity that is
    // not a mesh or whose anim is 0. Returns 0.
    static int AnimateMesh(const EntityRef& entity, float frame, int first, int last);
    // Poses the mesh blended by factor t from its last AnimateMesh pose toward the first keys of
    // the range (the rest pose for a kind without keys there). The pose fields are left alone.
    // Same conditions as AnimateMesh. Returns 0.
    static int AnimateMesh2(const EntityRef& entity, float t, int first, int last);

    // The number of vertices bones can name: the skin map's count for a loaded mesh, else the
    // vertex count of the first surface.
    static int SkinVertexCount(const TMesh& mesh);
    // The chain above a bone, relative to mesh (see Coordinates above); identity for a bone
    // under mesh or under nothing.
    static TMatrix BoneParentMatrix(const TMesh* mesh, const TBone& bone);
    // The bone's matrix in its rest pose: BoneParentMatrix x T x R x S of the rest values.
    static TMatrix BoneRestMatrix(const TMesh* mesh, const TBone& bone);

    // ---- Skinning (skinning.cpp) ----

    // Adds the bone's weighted contribution (mat x inv_mat applied to the bind position, times
    // the weight) to the animated positions of its vertices. Returns 0.
    static int VertexDeform(const MeshRef& mesh, const BoneRef& bone, Touched& touched);
    // Sets the animated positions of the bone's vertices to mat x inv_mat applied to their bind
    // positions, ignoring the weights and the touched table. The surfaces are found as
    // VertexDeform finds them. Returns 0.
    static int VertexDeform1(const MeshRef& mesh, const BoneRef& bone, Touched& touched);
    // Keeps at most four influences per vertex (of SkinVertexCount) (a fifth replaces the smallest
    // held one when it is larger) and, when a vertex's weights do not sum to within 0.99 .. 1.01,
    // scales them to sum 1. The kept weights are written back into the bones' `verts_w` entries;
    // the entries of dropped influences (and of weights at or below 0) become 0. Returns 0.
    static int UpdateWeights(const MeshRef& mesh);
};

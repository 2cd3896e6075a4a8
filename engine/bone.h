// TBone and TAnimationKeys: the joints of an animated mesh and their key tracks.
//
// A bone is an entity of the scene graph (parent, children, name, matrix) that is never drawn
// and that the transform code does not place: the keyframe animation writes its matrix (in
// command coordinates, relative to the animated mesh) and skinning moves the mesh's vertices by
// it, its inverse bind matrix and its vertex weights. Bones are made by the model loader, which
// puts each one in entity_list, in its parent's child list and in its mesh's `bones` list;
// copies come from CopyEntity.
#pragma once

#include "engine/entity.h"
#include "engine/handles.h"
#include "engine/math/matrix.h"

#include <vector>

// One key of a track: its frame and its value, x, y, z for a position or a scale, w, x, y, z for
// a rotation quaternion.
struct TAnimKey {
    int frame = 0;
    float v[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// The key tracks of one bone, stored as the file holds them: per kind, the keys sorted by frame
// with at most one key per frame. Memory follows the number of keys, not the frame count, and a
// frame's keys are found by binary search.
class TAnimationKeys {
  public:
    using Track = std::vector<TAnimKey>;

    // The frame count of the animation the keys belong to (keys may lie past it).
    int frames = 0;
    // Positions and scales (x, y, z), rotations (w, x, y, z); command coordinates.
    Track position, scale, rotation;

    // Sets the key of track at frame: an existing key at that frame takes the new value.
    // Appending in frame order costs O(1); an earlier frame is inserted in place.
    static void SetKey(Track& track, int frame, float a, float b, float c, float d = 0.0f);
    // Adds a key at the end of track without looking at the order; SortKeys must follow before
    // the track is used. For readers that take keys in whatever order a file gives them.
    static void AppendKey(Track& track, int frame, float a, float b, float c, float d = 0.0f) {
        track.push_back(TAnimKey{frame, {a, b, c, d}});
    }
    // Sorts each track by frame; of several keys of one frame the last appended stays.
    void SortKeys();
    // Highest frame holding a key of any kind; -1 without keys.
    int LastKeyFrame() const;

    // A deep copy: `frames` and its own copy of each track.
    AnimationKeysRef Copy() const;
};

class TBone : public TEntity {
  public:
    // Rest (bind) pose relative to the parent: position (`rest_pz` holds the negated z, like
    // `pz`), scale (a component left at 0 counts as 1: a bone built without a scale is unscaled),
    // angles (kept and copied; posing does not use them), rotation quaternion in command
    // coordinates as read from the file.
    float rest_px = 0.0f, rest_py = 0.0f, rest_pz = 0.0f;
    float rest_sx = 0.0f, rest_sy = 0.0f, rest_sz = 0.0f;
    float rest_rx = 0.0f, rest_ry = 0.0f, rest_rz = 0.0f;
    float rest_qw = 0.0f, rest_qx = 0.0f, rest_qy = 0.0f, rest_qz = 0.0f;
    // Vertex influences: the first `no_verts` entries of `verts_id` (the mesh's shared vertex
    // numbering) and of `verts_w` (their weights).
    int no_verts = 0;
    std::vector<int> verts_id;
    std::vector<float> verts_w;
    // The key track; null until the loader makes one.
    AnimationKeysRef keys;
    // Inverse of the bone's bind-pose matrix; all elements 0 until the loader sets it.
    TMatrix inv_mat;
    // Position, scale and rotation of the last computed pose, command coordinates.
    float pose_x = 0.0f, pose_y = 0.0f, pose_z = 0.0f;
    float pose_sx = 1.0f, pose_sy = 1.0f, pose_sz = 1.0f;
    float pose_qw = 0.0f, pose_qx = 0.0f, pose_qy = 0.0f, pose_qz = 0.0f;

    // A new bone with the defaults above, in no list and without a class name (the loader sets
    // "Bone"). It must be placed (AddParent, EntityListAdd) by its maker.
    static BoneRef New();

    // A copy of the bone and its descendants under parent, in this order: the children are
    // copied under the new bone; the new bone gets its parent and its place in entity_list;
    // its matrix is parent's `mat` (identity without one) x this bone's `mat`; the local
    // transform, name, class name and order are copied (the copy is shown); the rest pose,
    // vertex influences, key track (deep copy, or null when this bone has none), pose and
    // inverse bind matrix are copied. Brush, fade, collision, pick and animation settings take
    // their defaults.
    EntityRef CopyEntity(const EntityRef& parent) override;
    // Bones are not drawn.
    int Update() override { return 0; }
    // Unlinks the bone like any entity: out of entity_list and its parent's child list, its
    // descendants freed; the bone and its bone descendants also leave the `bones` list of
    // every mesh above it, so the animation no longer poses them. Returns 0.
    int FreeEntity() override;
    bool IsBone() const override { return true; }

  protected:
    TBone() = default;
};

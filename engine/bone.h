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

// Per-frame keys of one bone. Every array has `frames` + 1 entries, indexed by frame number;
// a value is meaningful only at a frame whose `flags` entry has that kind's bit.
class TAnimationKeys {
  public:
    int frames = 0;
    // Kinds of key present per frame, summed: 1 position, 2 scale, 4 rotation.
    std::vector<int> flags = std::vector<int>(1, 0);
    // Key position, scale and rotation quaternion per frame, command coordinates.
    std::vector<float> px = std::vector<float>(1, 0.0f);
    std::vector<float> py = std::vector<float>(1, 0.0f);
    std::vector<float> pz = std::vector<float>(1, 0.0f);
    std::vector<float> sx = std::vector<float>(1, 0.0f);
    std::vector<float> sy = std::vector<float>(1, 0.0f);
    std::vector<float> sz = std::vector<float>(1, 0.0f);
    std::vector<float> qw = std::vector<float>(1, 0.0f);
    std::vector<float> qx = std::vector<float>(1, 0.0f);
    std::vector<float> qy = std::vector<float>(1, 0.0f);
    std::vector<float> qz = std::vector<float>(1, 0.0f);

    // A deep copy: `frames` and its own copy of each array.
    AnimationKeysRef Copy() const;
};

class TBone : public TEntity {
  public:
    // Rest (bind) pose relative to the parent: position (`rest_pz` holds the negated z, like
    // `pz`), scale and angles (kept and copied; posing does not use them), rotation quaternion
    // in command coordinates as read from the file.
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
    // Position and rotation of the last computed pose, command coordinates.
    float pose_x = 0.0f, pose_y = 0.0f, pose_z = 0.0f;
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

// A bone placed the way the model loader places one: named, under parent, in entity_list, with
// an empty key track.
#pragma once

#include "engine/bone.h"
#include "engine/entity.h"

#include <memory>
#include <string>

inline BoneRef placedBone(const EntityRef& parent, const std::string& name) {
    BoneRef b = TBone::New();
    b->class_name = "Bone";
    b->name = name;
    b->AddParent(parent);
    b->EntityListAdd(TEntity::entity_list);
    b->keys = std::make_shared<TAnimationKeys>();
    return b;
}

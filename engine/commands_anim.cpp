#include "engine/commands_anim.h"

#include "engine/entity.h"
#include "engine/global.h"

void UpdateWorld(float anim_speed) {
    TGlobal::UpdateWorld(anim_speed);
}

void Animate(const EntityRef& entity, int mode, float speed, int seq, int trans) {
    if (Live(entity)) entity->Animate(mode, speed, seq, trans);
}

void SetAnimTime(const EntityRef& entity, float time, int seq) {
    if (Live(entity)) entity->SetAnimTime(time, seq);
}

int AnimSeq(const EntityRef& entity) {
    return Live(entity) ? entity->AnimSeq() : 0;
}

int AnimLength(const EntityRef& entity) {
    return Live(entity) ? entity->AnimLength() : 0;
}

float AnimTime(const EntityRef& entity) {
    return Live(entity) ? entity->AnimTime() : 0.0f;
}

int Animating(const EntityRef& entity) {
    return Live(entity) ? entity->Animating() : 0;
}

int ExtractAnimSeq(const EntityRef& entity, int first_frame, int last_frame, int seq) {
    return Live(entity) ? entity->ExtractAnimSeq(first_frame, last_frame, seq) : 0;
}

// Keyframe animation commands and the world step: each forwards to the entity operation (or
// the TGlobal type function) of the same name, the entity first. A null entity makes a command
// a no-op returning 0.
#pragma once

#include "engine/handles.h"

// Poses and advances every running animation by its speed x anim_speed, after the collision
// pass.
void UpdateWorld(float anim_speed);
// Starts sequence seq in mode (0 pose once, 1 loop, 2 ping-pong, 3 one-shot) at speed frames
// per update, blending in over trans updates.
void Animate(const EntityRef& entity, int mode, float speed, int seq, int trans);
// Poses the entity at frame time of sequence seq and stops its animation.
void SetAnimTime(const EntityRef& entity, float time, int seq);
// The current sequence.
int AnimSeq(const EntityRef& entity);
// Last minus first frame of the current sequence.
int AnimLength(const EntityRef& entity);
// The current frame relative to the sequence's first.
float AnimTime(const EntityRef& entity);
// 1 while a transition runs or the mode is above 0.
int Animating(const EntityRef& entity);
// Adds a sequence of frames first_frame .. last_frame of sequence seq; returns its number.
int ExtractAnimSeq(const EntityRef& entity, int first_frame, int last_frame, int seq);

// Keyframe animation commands and the world step: each forwards to the entity operation (or
// the TGlobal type function) of the same name, the entity first. A null entity makes a command
// a no-op returning 0.
//
// Times and lengths are in frames of the model file's key tracks. Only animated meshes (loaded
// with LoadAnimMesh, and their copies) are posed; other entities keep the settings and never
// move. A sequence number
// that the entity does not have (outside 0 to its last ExtractAnimSeq) makes a command a no-op
// returning 0. Sequence 0 is the whole animation.
#pragma once

#include "engine/handles.h"

// The world step: the collision pass, then every running animation posed and advanced by its
// speed x anim_speed frames (1 plays at the speeds given to Animate).
void UpdateWorld(float anim_speed);
// Starts sequence seq in mode (0 pose once, 1 loop, 2 ping-pong, 3 one-shot) at speed frames
// per update, blending in over trans updates (0 or 1: no blend); the next UpdateWorld poses it.
void Animate(const EntityRef& entity, int mode, float speed, int seq, int trans);
// Poses the entity at once at time frames into sequence seq (wrapped into the sequence when
// outside it) and stops its animation.
void SetAnimTime(const EntityRef& entity, float time, int seq);
// The number of the current sequence (0 until Animate or SetAnimTime chooses another).
int AnimSeq(const EntityRef& entity);
// Last minus first frame of the current sequence.
int AnimLength(const EntityRef& entity);
// Frames since the first frame of the current sequence, while it runs in a mode above 0 or
// after SetAnimTime; 0 during a transition and once stopped.
float AnimTime(const EntityRef& entity);
// 1 while a transition runs or the mode is above 0 (a finished one-shot reads 0), else 0.
int Animating(const EntityRef& entity);
// Adds a sequence of frames first_frame .. last_frame counted from the first frame of sequence
// seq (absolute frames for seq 0); returns the new sequence's number.
int ExtractAnimSeq(const EntityRef& entity, int first_frame, int last_frame, int seq);

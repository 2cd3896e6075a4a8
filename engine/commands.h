// The engine's procedural command layer, and the one header a program needs: every command of
// the engine, the handle and flag types they take, the entity kinds a handle may hold (so a
// MeshRef, CameraRef, LightRef, PivotRef, SpriteRef or BoneRef passes wherever an EntityRef is
// taken), the 2D/3D hand-over, and the platform's program-facing layer beneath the engine
// (display and Flip, input, 2D images, text, sound, clock, random numbers, files, errors).
//
//     #include "engine/commands.h"
//
//     int main() {
//         PlatformInit();
//         Graphics3D(800, 600, 0, 2, 60); // mode 2: a window
//         CameraRef camera = CreateCamera(nullptr);
//         LightRef light = CreateLight(1, nullptr);
//         MeshRef cube = CreateCube(nullptr);
//         PositionEntity(cube, 0, 0, 5, 0);
//         while (!KeyHit(Key::Escape)) {
//             TurnEntity(cube, 0.5f, 1, 0, 0);
//             RenderWorld();
//             Flip(-1);
//         }
//     }
//
// One free function per command, named after the operation it performs. Each command forwards
// its arguments unchanged to that operation on its first argument (the receiver, dispatched by
// its own kind) or to the type function of that name. Commands that act return nothing;
// commands that query return the operation's result. A null receiver makes a command a no-op
// that returns 0, 0.0, an empty string or null. An entity once freed (FreeEntity) is to every
// command what a null handle is, as receiver and as any other argument (a freed parent is none).
//
// The engine's own files include the command headers they use (`engine/commands_<group>.h`),
// which name the engine's types through engine/handles.h only.
#pragma once

#include "engine/commands_2d.h"
#include "engine/commands_anim.h"
#include "engine/commands_appearance.h"
#include "engine/commands_camera.h"
#include "engine/commands_collision.h"
#include "engine/commands_debug.h"
#include "engine/commands_entity.h"
#include "engine/commands_load.h"
#include "engine/commands_mesh.h"
#include "engine/commands_pick.h"
#include "engine/commands_sprite.h"
#include "engine/commands_texture.h"
#include "engine/commands_world.h"
#include "engine/flags.h"
#include "engine/handles.h"

// The entity kinds, complete, so that their handles convert to EntityRef.
#include "engine/bone.h"
#include "engine/camera.h"
#include "engine/light.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine/sprite.h"

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/gltext.h"
#include "platform/image2d.h"
#include "platform/input.h"
#include "platform/pixmap.h"
#include "platform/random.h"
#include "platform/stream.h"

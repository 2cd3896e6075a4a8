// The engine's procedural command layer: one free function per command, named after the
// operation it performs. Each command forwards its arguments unchanged to that operation on its
// first argument (the receiver, dispatched by its own kind) or to the type function of that
// name. Commands that act return nothing; commands that query return the operation's result.
// A null receiver makes a command a no-op that returns 0, 0.0, an empty string or null.
//
// The engine's own code calls some commands back (PositionEntity, RotateEntity, ScaleEntity,
// TFormPoint, TFormVector, TFormNormal, TFormedX/Y/Z, ...), so this layer is part of the engine.
//
// The command headers name the engine's types through engine/handles.h only. Passing a derived
// handle where an EntityRef is taken (a MeshRef, CameraRef, PivotRef, ...) converts it, which
// needs the derived class complete: code that does so includes that class's header itself.
#pragma once

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

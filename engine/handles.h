// Forward declarations of the engine's object types and the handle types through which
// programs and the engine itself hold them. Every engine object is reference-counted: a handle
// that holds nothing is the null object, and every operation given a null handle is a safe
// no-op that returns 0 or null.
#pragma once

#include <memory>

class TEntity;
class TPivot;
class TCamera;
class TLight;
class TMesh;
class TSprite;
class TBone;
class TSurface;
class TBrush;
class TTexture;
class TTextureFilter;
class TAnimationKeys;
struct PreparedTexture;

// Any entity: pivot, camera, light, mesh, sprite or bone; every other handle kind converts to it.
using EntityRef = std::shared_ptr<TEntity>;
// An empty entity that only places its children.
using PivotRef = std::shared_ptr<TPivot>;
// A camera: renders the world into its viewport.
using CameraRef = std::shared_ptr<TCamera>;
// A light: directional, point or spot.
using LightRef = std::shared_ptr<TLight>;
// A mesh: surfaces of triangles drawn with its brush.
using MeshRef = std::shared_ptr<TMesh>;
// A sprite: a textured quad that turns to the camera.
using SpriteRef = std::shared_ptr<TSprite>;
// A bone of an animated model: moves the vertices weighted to it.
using BoneRef = std::shared_ptr<TBone>;
// A surface of a mesh: vertices and triangles drawn with one brush.
using SurfaceRef = std::shared_ptr<TSurface>;
// A brush: colour, alpha, shininess, blend, effects and up to eight texture layers.
using BrushRef = std::shared_ptr<TBrush>;
// A texture: an image (or cube map) in GL, with its flags and placement.
using TextureRef = std::shared_ptr<TTexture>;
// A texture filter: flags added to every texture whose file name holds its text.
using TextureFilterRef = std::shared_ptr<TTextureFilter>;
// A texture file decoded ahead of its load, on any thread (PrepareTexture).
using PreparedTextureRef = std::shared_ptr<const PreparedTexture>;
// Animation keys: positions, rotations and scales by frame.
using AnimationKeysRef = std::shared_ptr<TAnimationKeys>;

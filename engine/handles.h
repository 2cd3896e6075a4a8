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

using EntityRef = std::shared_ptr<TEntity>;
using PivotRef = std::shared_ptr<TPivot>;
using CameraRef = std::shared_ptr<TCamera>;
using LightRef = std::shared_ptr<TLight>;
using MeshRef = std::shared_ptr<TMesh>;
using SpriteRef = std::shared_ptr<TSprite>;
using BoneRef = std::shared_ptr<TBone>;
using SurfaceRef = std::shared_ptr<TSurface>;
using BrushRef = std::shared_ptr<TBrush>;
using TextureRef = std::shared_ptr<TTexture>;
using TextureFilterRef = std::shared_ptr<TTextureFilter>;
using AnimationKeysRef = std::shared_ptr<TAnimationKeys>;

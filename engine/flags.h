// Names for the integer flags and modes that the engine's commands take. Every command keeps its
// int parameter and stores what it is given; these are the values the engine acts on.
#pragma once

// Texture flags (TTexture::flags), ORed together; LoadTexture, CreateTexture, LoadSprite,
// LoadBrush and TextureFilter take them.
inline constexpr int COLORTEXTURE = 1;      // colour: nothing of its own
inline constexpr int ALPHATEXTURE = 2;      // in layer 0 of a brush, the surface is drawn blended
inline constexpr int MASKEDTEXTURE = 4;     // alpha test: texels with alpha below 0.5 are not drawn
inline constexpr int MIPMAPPEDTEXTURE = 8;  // mipmaps made on upload and used for minification
inline constexpr int CLAMPUTEXTURE = 16;    // u clamped to the edge instead of repeated
inline constexpr int CLAMPVTEXTURE = 32;    // v clamped to the edge instead of repeated
inline constexpr int SPHEREMAPTEXTURE = 64; // coordinates generated as a sphere map
inline constexpr int CUBEMAPTEXTURE = 128;  // a cube map of six faces

// Texture blend modes (TTexture::blend, TextureBlend): how a layer combines with what is below.
// 0 draws like REPLACETEXTUREBLEND; other values like MULTIPLYTEXTUREBLEND.
inline constexpr int REPLACETEXTUREBLEND = 1;
inline constexpr int MULTIPLYTEXTUREBLEND = 2;  // the default
inline constexpr int ADDTEXTUREBLEND = 3;       // added to what is below
inline constexpr int DOT3TEXTUREBLEND = 4;      // dot product with what is below
inline constexpr int MULTIPLY2TEXTUREBLEND = 5; // multiply, then double

// Brush blend modes (TBrush::blend; EntityBlend, BrushBlend): how a blended surface combines with
// the frame. 0 is unset: an entity brush then takes its surface brush's mode, and 0 draws like
// ALPHABRUSHBLEND. Other values leave the blend function of the surface drawn before.
inline constexpr int ALPHABRUSHBLEND = 1;
inline constexpr int MULTIPLYBRUSHBLEND = 2; // also makes the surface blended
inline constexpr int ADDBRUSHBLEND = 3;      // also makes the surface blended

// Effect bits (TBrush::fx; EntityFX, BrushFX), ORed together.
inline constexpr int FULLBRIGHTFX = 1;  // ambient light full white
inline constexpr int VERTEXCOLORFX = 2; // vertex colours feed the material
inline constexpr int FLATSHADEFX = 4;   // flat shading
inline constexpr int NOFOGFX = 8;       // fog off for the surface
inline constexpr int NOCULLFX = 16;     // back faces drawn too
inline constexpr int FORCEALPHAFX = 32; // the surface is drawn blended

// Camera fog modes (CameraFogMode): 0 or below is off, any positive mode linear fog.
inline constexpr int NOFOG = 0;
inline constexpr int LINEARFOG = 1; // from the fog range's near distance to its far one

// Camera clearing (CameraClsMode, for the colour and the depth buffer each): only 1 clears.
inline constexpr int KEEPBUFFER = 0;
inline constexpr int CLEARBUFFER = 1; // cleared before the camera renders (the default)

// Pick modes (TEntity::pick_mode, EntityPickMode); other values are not picked.
inline constexpr int NOPICK = 0;
inline constexpr int SPHEREPICK = 1;  // the entity's pick radius
inline constexpr int POLYGONPICK = 2; // a mesh's triangles
inline constexpr int BOXPICK = 3;     // the entity's pick box

// Collision methods (TCollision::method, Collisions); other values do nothing. Every method
// moves the rule's source entity only, its ellipsoid (EntityRadius) swept from where it stood at
// the last pass and slid along what it meets, and records the impacts on it. Sphere to sphere
// slides that ellipsoid along the target's ellipsoid: its radii times its global scale, along
// the world axes.
inline constexpr int SPHERECOLLISION = 1;    // ellipsoid slid along the target's ellipsoid
inline constexpr int WORLDMESHCOLLISION = 2; // ellipsoid against the target's world triangles
inline constexpr int LOCALMESHCOLLISION = 4; // ellipsoid against the target's own-space triangles

// Collision response (TCollision::response, Collisions): stored with the rule; the pass does not
// read it: every collision slides, whatever the response.
inline constexpr int SLIDERESPONSE = 2;

// Sprite view modes (TSprite::view_mode, SpriteViewMode): how the quad faces the camera. Other
// values reuse the angles of the sprite drawn before in the same pass.
inline constexpr int FACINGSPRITE = 1;  // camera pitch and yaw, no roll (the default)
inline constexpr int FREESPRITE = 2;    // the sprite's own matrix
inline constexpr int ROLLINGSPRITE = 3; // camera pitch, yaw and roll
inline constexpr int UPRIGHTSPRITE = 4; // camera yaw and roll, no pitch

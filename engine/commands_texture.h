// Texture and brush commands: each forwards to the TTexture or TBrush operation of the same
// name. A null texture or brush handle is a safe no-op (queries return 0, null or the empty
// string).
//
// Texture flags (flags.h): 1 colour, 2 alpha, 4 masked, 8 mipmapped, 16 clamp u, 32 clamp v,
// 64 sphere map, 128 cube map. Images are stretched to power-of-two sides when they are made.
// Making or loading a texture needs the display (after Graphics3D); without it they give null.
#pragma once

#include "engine/cube_map.h"
#include "engine/flags.h"
#include "engine/handles.h"

#include <array>
#include <string>

// A new blank texture (all texels zero) of frames animation frames of width x height pixels,
// or a cube map of six such faces for flag 128; null for a size or frame count below 1 (a cube
// map: also for faces that do not become square).
TextureRef CreateTexture(int width, int height, int flags, int frames);
// The image file as a texture (with flag 128, a strip of six cube-map faces side by side); the
// same file already loaded with the same flags gives that texture again. Null when the file
// cannot be found or decoded.
TextureRef LoadTexture(const std::string& file, int flags);
// The image file decoded and made ready for LoadTexture(file, flags), mipmap levels included,
// without the display: safe on any thread, so a program can decode its textures on threads of
// its own while the main thread does other work. Never null; a file that cannot be decoded
// gives one whose load fails as LoadTexture's does.
PreparedTextureRef PrepareTexture(const std::string& file, int flags);
// What LoadTexture(file, flags) gives for the file and flags the texture was prepared with (the
// same texture, the same messages, null where it gives null), made from the prepared pixels
// instead of the file decoded again. Null for null.
TextureRef LoadPreparedTexture(const PreparedTextureRef& prepared);
// A texture of frame_count frames of frame_width x frame_height pixels cut from the image row
// by row, from frame first_frame on (0, 0 for the size: the whole image). Null when the file
// cannot be loaded or the frames do not lie inside the image.
TextureRef LoadAnimTexture(const std::string& file, int flags, int frame_width, int frame_height,
                           int first_frame, int frame_count);
// Deletes the texture's image and GL textures; brushes that still hold it draw it as nothing,
// and later loads of its file make a new one.
void FreeTexture(const TextureRef& texture);
// How the texture combines with the layers below: 1 replace (also 0), 2 multiply (the start
// value; also any value not listed), 3 add, 4 dot3, 5 multiply x 2 (flags.h:
// REPLACETEXTUREBLEND ...).
void TextureBlend(const TextureRef& texture, int blend);
// Texture-coordinate set of the surfaces it is drawn on: 0 (the start value); any other value
// takes set 1.
void TextureCoords(const TextureRef& texture, int coord_set);
// Stretches the texture over the surface: u_scale and v_scale times its size (stored as
// reciprocals, so 0 gives an infinite value).
void ScaleTexture(const TextureRef& texture, float u_scale, float v_scale);
// Moves the texture over the surface by u_position and v_position in texture sizes (1 is a
// whole width or height).
void PositionTexture(const TextureRef& texture, float u_position, float v_position);
// Turns the texture over the surface by angle in degrees.
void RotateTexture(const TextureRef& texture, float angle);
// Width in pixels of the texture as uploaded (after stretching to a power of two; a cube map's
// face width).
int TextureWidth(const TextureRef& texture);
// Height in pixels of the texture as uploaded (after stretching to a power of two; a cube
// map's face height).
int TextureHeight(const TextureRef& texture);
// The absolute file name the texture was loaded from, with "/" separators; "" for a created
// texture.
std::string TextureName(const TextureRef& texture);
// The texture on layer index (0..7) of the brush; null for an empty layer or any other index.
TextureRef GetBrushTexture(const BrushRef& brush, int index);
// Textures loaded or created later whose file name contains match_text (case-sensitive; ""
// matches every name) get flags ORed into their own. Graphics3D adds the filter "" with flags
// 1 and 8.
void TextureFilter(const std::string& match_text, int flags);
// Removes every texture filter, the one Graphics3D adds included.
void ClearTextureFilters();
// The cube-map face that BackBufferToCubeTex and RenderWorldToCubeTex write: 0 left (-x),
// 1 front (+z), 2 right (+x), 3 back (-z), 4 up (+y), 5 down (-y); other values write nothing.
void SetCubeFace(const TextureRef& texture, int face);
// How a cube map is looked up: 1 reflection map (the start value), 2 normal map; other values
// keep the coordinate generation left by the surface drawn before.
void SetCubeMode(const TextureRef& texture, int mode);
// Face 0..5 of a cube map (the numbers of SetCubeFace): the world axis it lies along from the
// cube's centre and the turn that points an entity along it, upright as the face is read (a
// camera so turned renders the face); all zeros for any other number.
CubeFace GetCubeFace(int face);
// For each face of the cube map (by SetCubeFace's numbers), the texels that the mesh as it
// stands, shown or hidden, can read from it when drawn through the camera: the coordinates the
// cube mode generates at each vertex (mode 1 reflects the direction from the camera's
// position), over the triangles of every surface whose brushes carry the texture that the
// camera does not cull as facing away, with a texel of margin. A camera rendering a face needs
// to draw no other texel of it (CameraScissor; a face's row r is the display row face size -
// 1 - r of RenderWorldToCubeTex's rectangle). Whole faces for a sprite, another cube mode or a
// mesh scaled flat; all six empty for a null texture, mesh or camera, a freed mesh, a texture
// that is not a cube map or a mesh that does not carry it.
std::array<CubeFaceTexels, 6> CubeMapTexelsRead(const TextureRef& texture, const MeshRef& mesh,
                                                const CameraRef& camera);
// Copies the rectangle of the texture's size at the top left of the back buffer into mipmap
// level 0 of frame 0 (a mipmapped texture's smaller levels are made again from it); a cube map
// copies nothing.
void BackBufferToTex(const TextureRef& texture);
// Copies the rectangle of the texture's size at the top left of the depth buffer into mipmap
// level 0 of frame 0 (a mipmapped texture's smaller levels are made again from it); a cube map
// copies nothing.
void DepthBufferToTex(const TextureRef& texture);
// Copies the rectangle of the face size at the top left of the back buffer into mipmap level 0
// of the face chosen by SetCubeFace; a texture that is not a cube map copies nothing.
void BackBufferToCubeTex(const TextureRef& texture);

// A new brush of the colour (0-255 per channel), alpha 1, no texture.
BrushRef CreateBrush(float red, float green, float blue);
// A new brush whose layer 0 holds LoadTexture(file, flags) (empty when the file is missing);
// the scales are accepted and not used.
BrushRef LoadBrush(const std::string& file, int flags, float u_scale, float v_scale);
// No effect: a brush lives as long as something refers to it.
void FreeBrush(const BrushRef& brush);
// Colour of the brush, 0-255 per channel (stored divided by 255, not clamped).
void BrushColor(const BrushRef& brush, float red, float green, float blue);
// 0.0 (invisible) to 1.0 (opaque), stored unclamped; below 1 the surface is drawn blended.
void BrushAlpha(const BrushRef& brush, float alpha);
// Strength of the specular highlight, 0.0 (none) to 1.0.
void BrushShininess(const BrushRef& brush, float shininess);
// Puts the texture on layer 0 (null: empties it) and selects its frame (clamped to the
// texture's frames).
void BrushTexture(const BrushRef& brush, const TextureRef& texture, int frame);
// 1 alpha, 2 multiply, 3 add (flags.h: ALPHABRUSHBLEND ...); 0, the start value, is unset (an
// entity brush then takes its surface brush's mode).
void BrushBlend(const BrushRef& brush, int blend);
// Replaces the effect bits: 1 full-bright, 2 vertex colours, 4 flat shading, 8 no fog, 16 no
// back-face culling, 32 forced blending (flags.h: FULLBRIGHTFX ...).
void BrushFX(const BrushRef& brush, int fx);
// A new brush with the settings of the entity's brush (a copy: changing it leaves the entity
// as it is); null for a null or freed entity.
BrushRef GetEntityBrush(const EntityRef& entity);
// A new brush with the settings of the surface's brush; null when the surface has none.
BrushRef GetSurfaceBrush(const SurfaceRef& surface);

// TTexture: the engine's texture. One GL texture per animation frame, or one cube-map texture
// with six faces, made from an image file or blank, with the drawing parameters that mesh
// drawing applies to each texture layer.
//
// Flags: the texture flags of engine/flags.h (COLORTEXTURE, ALPHATEXTURE, MASKEDTEXTURE,
// MIPMAPPEDTEXTURE, CLAMPUTEXTURE, CLAMPVTEXTURE, SPHEREMAPTEXTURE, CUBEMAPTEXTURE), ORed. At
// creation only two act: MIPMAPPEDTEXTURE uploads the whole mipmap chain, and CUBEMAPTEXTURE
// given to CreateTexture, LoadTexture or LoadAnimTexture makes a cube map.
//
// Every texture that a creation or load function returns stays in TTexture::tex_list until
// FreeTexture. Loading a file that is already in the list with the same resulting flags returns
// the texture there. Files are found as named or by their bare file name; texture filters add
// their flags to every texture whose file name contains their text; images are stretched to
// power-of-two sides that the GL accepts.
//
// Everything that touches GL needs the display open (after Graphics3D); without it the creation
// and load functions return null. Every operation on a null handle is a safe no-op.
#pragma once

#include "engine/cube_map.h"
#include "engine/flags.h"
#include "engine/handles.h"
#include "platform/collections.h"
#include "platform/pixmap.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

// A texture file made ready off the main thread for the load of that file with those flags:
// its pixels as RGBA bytes (null when the file cannot be decoded) and what LoadTexture(file,
// flags) uploads when the GL accepts the image's size once stretched to power-of-two sides: the
// stretched image (the image itself when its sides are powers of two) and, with the mipmapped
// flag, every smaller level down to 1 x 1, each resampled from the one before.
struct PreparedTexture {
    std::string file;
    int flags = 0;
    PixmapRef pixmap;
    std::vector<PixmapRef> levels;
};

class TTexture {
  public:
    std::string file; // file name as found (perhaps reduced to its bare name); empty if made
    int flags = 0;    // flags after the texture filters were ORed in
    int blend = MULTIPLYTEXTUREBLEND; // texture blend mode
    int coords = 0;                   // texture-coordinate set of the surface: 0 or 1
    float u_scale = 1.0f;             // reciprocals of the scale given to ScaleTexture
    float v_scale = 1.0f;
    float u_pos = 0.0f; // offsets given to PositionTexture, negated
    float v_pos = 0.0f;
    float angle = 0.0f;   // rotation in degrees given to RotateTexture
    std::string file_abs; // absolute file name (FileAbs); what TextureName returns
    int width = 0;        // size of the uploaded base level
    int height = 0;
    PixmapRef pixmap;               // the source image, RGBA bytes (format 6); null once freed
    std::vector<unsigned> gltex{0}; // GL texture name of each frame; a cube map uses entry 0
    int no_frames = 1;              // number of animation frames
    int no_mipmaps = 0;             // last mipmap level uploaded (0 without mipmaps)
    int cube_face = 0;              // face 0..5 that BackBufferToCubeTex writes
    int cube_mode = 1;              // 1 reflection map, 2 normal map
    bool cube_map = false;          // gltex[0] is a cube-map texture
    unsigned gl_context = 0;        // display context the GL names belong to
    // The flags whose filtering and wrapping the GL textures were given (ApplySampling); -1
    // until they are.
    mutable int sampling_flags = -1;
    // What RenderWorldToCubeTex draws through, made on its first use: a framebuffer object and
    // a depth buffer of the face size (0: not made, or the display cannot draw into textures).
    unsigned face_fbo = 0;
    unsigned face_depth = 0;
    bool face_fbo_refused = false; // the display refused the framebuffer: copies serve instead

    // Every texture made or loaded and not yet freed, in the order made. An empty list from
    // static initialisation on; the engine module's initialiser makes one only if it is null.
    static std::shared_ptr<TList<TextureRef>> tex_list;

    TTexture() = default;
    ~TTexture(); // deletes the GL textures still held
    TTexture(const TTexture&) = delete;
    TTexture& operator=(const TTexture&) = delete;

    // Takes the texture out of tex_list (later loads no longer share it), drops its image and
    // empties gltex, deleting its GL textures. Brushes that hold it keep their reference; it
    // draws as nothing. Returns 0.
    int FreeTexture();

    // A blank texture of `frames` frames of width x height (cleared to zero), or a cube map
    // when flags has CUBEMAPTEXTURE. Null for a non-positive size or frame count.
    static TextureRef CreateTexture(int width, int height, int flags, int frames);
    // LoadAnimTexture(file, flags, 0, 0, 0, 1, folder).
    static TextureRef LoadTexture(const std::string& file, int flags,
                                  const std::string& folder = {});
    // A texture whose frames are cut from one image, row by row, frame_width x frame_height
    // each (0, 0: the whole image), frame_count of them from first_frame on. CUBEMAPTEXTURE loads a
    // cube map instead. Null when the file cannot be found or decoded, or when the frames do
    // not lie inside the image. The file is looked up as FileFind(file, folder) looks it up.
    static TextureRef LoadAnimTexture(const std::string& file, int flags, int frame_width,
                                      int frame_height, int first_frame, int frame_count,
                                      const std::string& folder = {});
    // The file decoded and its levels made, as PreparedTexture says; touches neither GL nor the
    // engine's lists, so safe on any thread. Never null.
    static PreparedTextureRef PrepareTexture(const std::string& file, int flags);
    // LoadTexture(prepared->file, prepared->flags) with the pixels and levels prepared instead
    // of the file decoded again: the same texture, messages and null result. Where the load
    // finds the file only under its bare name it decodes that file. Null for null.
    static TextureRef LoadPreparedTexture(const PreparedTextureRef& prepared);
    // A blank cube map with faces of width x height. No texture filter applies. Null for a
    // non-positive size, or faces that are not square once stretched to powers of two.
    static TextureRef CreateCubeMapTexture(int width, int height, int flags);
    // A cube map from an image holding its six faces side by side (upload order: -X, +Z, +X,
    // -Z, +Y, -Y). Null when the file cannot be found or decoded, is narrower than 6 pixels or
    // its faces are not square once stretched to powers of two. Looked up as LoadAnimTexture.
    static TextureRef LoadCubeMapTexture(const std::string& file, int flags,
                                         const std::string& folder = {});

    int TextureBlend(int blend);
    int TextureCoords(int coords);
    // Stores the reciprocals (a zero gives an infinite value).
    int ScaleTexture(float u_scale, float v_scale);
    // Stores the offsets negated.
    int PositionTexture(float u_pos, float v_pos);
    int RotateTexture(float angle);
    int TextureWidth() const;
    int TextureHeight() const;
    std::string TextureName() const;
    // The texture on layer index (0..7) of the brush; null for an empty layer or another index.
    static TextureRef GetBrushTexture(const BrushRef& brush, int index);

    // Empties the filter list, the default filter included. Returns 0.
    static int ClearTextureFilters();
    // Appends a filter: textures made later whose file name contains match_text get flags ORed
    // into their own. Returns 0.
    static int TextureFilter(const std::string& match_text, int flags);

    int SetCubeFace(int face);
    int SetCubeMode(int mode);
    // Face 0..5 of a cube map (engine/cube_face_table.h); all zeros for another number.
    static CubeFace GetCubeFace(int face);
    // For each face of this cube map, the texels that the mesh as it stands (shown or hidden)
    // can read when drawn through the camera: the coordinates its cube mode generates at each
    // vertex (from the camera's position for mode 1), over the triangles of every surface that
    // carries this texture that are not culled as facing away from the camera, with a texel of
    // margin (engine/cube_map.cpp). Whole faces for a sprite, a cube mode other than 1 or 2 or
    // a mesh matrix that cannot carry normals; all six empty for a null or freed mesh, a null
    // camera, a texture that is not a cube map or a mesh that does not carry it.
    std::array<CubeFaceTexels, 6> CubeMapTexelsRead(const MeshRef& mesh,
                                                    const CameraRef& camera) const;
    // Gives every GL texture of this one the filtering and wrapping its flags ask for (linear,
    // with mipmaps when mipmapped; repeating unless clamped in u or v; a cube map clamped and
    // nearest) and records the flags in sampling_flags. Drawing calls it when the flags differ.
    // Binds the textures to the active unit.
    void ApplySampling() const;
    // Copy the width x height rectangle at the top left of the back (depth) buffer into a
    // frame's mipmap level; a copy into level 0 of a texture with mipmaps remakes its smaller
    // levels from the copy. A frame outside 0..no_frames-1, a negative level or a cube map:
    // nothing is copied. Returns 0.
    int BackBufferToTex(int mipmap_level, int frame);
    int DepthBufferToTex(int mipmap_level, int frame);
    // The same into the cube-map face cube_face (cubeface::kGLFace: -X, +Z, +X, -Z, -Y, +Y);
    // another face, a negative level or a 2D texture: nothing is copied. Returns 0.
    int BackBufferToCubeTex(int mipmap_level);
    // Makes the face cube_face (level 0) the target of drawing, together with a depth buffer of
    // the face's size that the texture keeps, and returns true. False for a 2D texture, a face
    // outside 0..5, or a display without framebuffer objects (or one that refuses a face as a
    // target: then it is not asked again). Either way the caller binds its target back.
    bool DrawIntoCubeFace();
    int CountMipmaps() const;
    // width (height) halved level times, never below 1, for 0 <= level <= no_mipmaps; else 0.
    int MipmapWidth(int level) const;
    int MipmapHeight(int level) const;

    // Finds a texture file: as named, else by its bare name (after the last "\" and "/"). A name
    // not starting with "/" is taken relative to folder, or to the working directory when folder
    // is empty (a model's textures are looked up beside the model without changing the working
    // directory). On success returns 1 and leaves the name found in `file` (still relative to
    // folder); otherwise warns "Cannot find texture: " + the name as given, followed by the
    // paths looked for, and returns 0 (`file` holds the bare name).
    static int FileFind(std::string& file, const std::string& folder = {});
    // The absolute form of a name: names with a colon, or starting with "/", as they are,
    // others after the working directory, or after folder's absolute form (symbolic links
    // resolved, as the working directory names them) when folder is not empty; every "\"
    // becomes "/".
    static std::string FileAbs(const std::string& file, const std::string& folder = {});
    // The first texture of tex_list loaded from the same absolute file with the same flags.
    TextureRef TexInList() const;
    // ORs the flags of every filter whose text the texture's file name contains. Returns 0.
    int FilterFlags();
    // The pixmap stretched to power-of-two sides: each side rounded up to a power of two, then
    // both halved (a side at 1 stays 1) until the GL accepts the size and a pixmap can hold it.
    // The same pixmap when that is its size. No accepted size down to 1 x 1 ends the program
    // with "Unable to calculate tex size".
    static PixmapRef AdjustPixmap(const PixmapRef& pixmap);
    // The next level of a mipmap chain: the level resampled to both sides halved (a side at 1
    // stays 1). Null after 1 x 1 and for null.
    static PixmapRef NextMipmap(const PixmapRef& level);
    // The smallest power of two >= n, at least 1.
    static int Pow2Size(int n);

    // The sizing rule of AdjustPixmap with the GL's answer replaced by `accepts`: from the
    // power-of-two sizes of w and h, each side above 1 is halved until accepts(w, h) holds.
    using SizeTest = std::function<bool(int w, int h)>;
    static void AcceptedSize(int& w, int& h, const SizeTest& accepts);
};

#include "engine/texture.h"

#include "engine/brush.h"
#include "engine/cube_face_table.h"
#include "engine/flags.h"
#include "engine/global.h"
#include "engine/texture_filter.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/gl_state.h"
#include "platform/image2d.h"
#include "platform/internal.h"
#include "platform/stream.h"
#include "platform/strings.h"

#include <GL/glew.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>

std::shared_ptr<TList<TextureRef>> TTexture::tex_list = CreateList<TextureRef>();

namespace {

// The GL target of engine face `face` (cubeface::kGLFace), or of the strip's face `face` when it
// is uploaded (cubeface::kStripGLFace).
GLenum cubeTarget(int face) {
    return GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + cubeface::kGLFace[std::size_t(face)]);
}
GLenum stripTarget(int face) {
    return GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + cubeface::kStripGLFace[std::size_t(face)]);
}

// The pixel-unpack settings an upload relies on, set for its duration and restored after it.
class UnpackState {
  public:
    UnpackState() {
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength_);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment_);
        glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels_);
        glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    }
    ~UnpackState() {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment_);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels_);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows_);
    }
    UnpackState(const UnpackState&) = delete;
    UnpackState& operator=(const UnpackState&) = delete;

  private:
    GLint rowLength_ = 0, alignment_ = 4, skipPixels_ = 0, skipRows_ = 0;
};

// Uploads the pixmap (RGBA bytes, already at an accepted power-of-two size) to the target as
// level 0 and, with the mipmapped flag, every smaller level down to 1 x 1, each resampled from
// the one before: taken from `prepared` where it holds the level (prepared[0] is the pixmap),
// else made here. A frame or face is a window into a wider strip: the row length given to GL is
// the strip's until a resize makes a pixmap of its own.
void uploadLevels(TTexture& t, PixmapRef pixmap, GLenum target,
                  const std::vector<PixmapRef>& prepared = {}) {
    t.width = pixmap->width;
    t.height = pixmap->height;
    UnpackState unpack;
    int level = 0;
    while (pixmap) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pixmap->pitch / BytesPerPixel(pixmap->format));
        glTexImage2D(target, level, GL_RGBA8, pixmap->width, pixmap->height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, pixmap->pixels);
        if (!(t.flags & MIPMAPPEDTEXTURE) || (pixmap->width == 1 && pixmap->height == 1)) break;
        ++level;
        pixmap = std::size_t(level) < prepared.size() ? prepared[std::size_t(level)]
                                                      : TTexture::NextMipmap(pixmap);
    }
    t.no_mipmaps = level;
}

// The power-of-two size that AdjustPixmap stretches a width x height image to.
void acceptedSize(int width, int height, int& w, int& h) {
    w = TTexture::Pow2Size(width);
    h = TTexture::Pow2Size(height);
    TTexture::AcceptedSize(w, h, [](int tw, int th) {
        // The stretched copy must also be one that a pixmap can hold.
        if (std::int64_t(tw) * th > kMaxPixmapPixels) return false;
        glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        GLint accepted = 0;
        glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted);
        return accepted != 0;
    });
}

// A new GL 2D texture holding the window of the source at (x, y), w x h, sized for the GL: the
// levels of `prepared` (see PreparedTexture) when they are of the accepted size, else made here.
unsigned uploadFrame(TTexture& t, const PixmapRef& source, int x, int y, int w, int h,
                     const std::vector<PixmapRef>& prepared = {}) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glstate::BindTexture(GL_TEXTURE_2D, name);
    int aw = 0, ah = 0;
    if (!prepared.empty()) acceptedSize(w, h, aw, ah);
    if (!prepared.empty() && prepared[0]->width == aw && prepared[0]->height == ah)
        uploadLevels(t, prepared[0], GL_TEXTURE_2D, prepared);
    else
        uploadLevels(t, TTexture::AdjustPixmap(source->Window(x, y, w, h)), GL_TEXTURE_2D);
    return name;
}

// A new GL cube-map texture whose six faces are the windows of the source at (face * w, 0),
// w x h, in upload order.
unsigned uploadCubeFaces(TTexture& t, const PixmapRef& source, int w, int h) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glstate::BindTexture(GL_TEXTURE_CUBE_MAP, name);
    for (int face = 0; face < 6; ++face)
        uploadLevels(t, TTexture::AdjustPixmap(source->Window(w * face, 0, w, h)),
                     stripTarget(face));
    return name;
}

// The GL names of the texture still usable: made under the display that is open now.
bool namesLive(const TTexture& t) {
    return t.gl_context != 0 && t.gl_context == GraphicsContextId();
}

void deleteNames(TTexture& t) {
    if (namesLive(t)) {
        for (unsigned name : t.gltex) {
            const GLuint n = name;
            if (n != 0) glstate::DeleteTextures(1, &n);
        }
        const GLuint fbo = t.face_fbo, depth = t.face_depth;
        if (fbo != 0) glDeleteFramebuffers(1, &fbo);
        if (depth != 0) glDeleteRenderbuffers(1, &depth);
    }
    t.gltex.clear();
    t.face_fbo = 0;
    t.face_depth = 0;
    t.sampling_flags = -1;
}

bool displayReady(const std::string& what) {
    if (GraphicsOpen()) return true;
    Warning("No display for texture: " + what +
            " (textures, and models with textures, load after Graphics3D)");
    return false;
}

// The first steps of every load: find the file, name it, apply the filters and look for the
// same texture already loaded. `reused` is that texture; otherwise `texture` is a new one with
// its image decoded to RGBA bytes in `pixmap`, and `levels` what was prepared for an upload of
// the whole image (see PreparedTexture; empty when the file was decoded here). Both textures
// are null when the file cannot be found or decoded. `prepared` (may be null) is the file as
// asked for, decoded ahead; it stands in for the decoding when the file is found as asked.
struct LoadStart {
    TextureRef reused;
    TextureRef texture;
    std::vector<PixmapRef> levels;
};

// A name as the process opens it: one not starting with "/" taken relative to folder (none:
// the working directory).
std::string inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || (!name.empty() && name[0] == '/')) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The file decoded to RGBA bytes; null when it cannot be. Safe on any thread.
PixmapRef decodeFile(const std::string& file) {
    PixmapRef pixmap = LoadPixmap(file);
    if (pixmap && pixmap->format != PF_RGBA8888) pixmap = pixmap->Convert(PF_RGBA8888);
    return pixmap;
}

LoadStart startLoad(std::string file, int flags, const std::string& folder,
                    const PreparedTexture* prepared) {
    LoadStart result;
    const std::string asked = file;
    auto tex = std::make_shared<TTexture>();
    if (!TTexture::FileFind(file, folder)) return result;
    tex->file = file;
    tex->file_abs = TTexture::FileAbs(file, folder);
    tex->flags = flags;
    tex->FilterFlags();
    if (TextureRef existing = tex->TexInList()) {
        result.reused = existing;
        return result;
    }
    if (!displayReady(file)) return result;
    PixmapRef pixmap;
    if (prepared && file == asked) {
        pixmap = prepared->pixmap;
        result.levels = prepared->levels;
    } else {
        pixmap = decodeFile(inFolder(folder, file));
    }
    if (!pixmap) {
        const std::string found = inFolder(folder, file);
        Warning("Cannot load texture: " + asked +
                (found == asked ? "" : " (found as " + found + ")"));
        return result;
    }
    tex->pixmap = pixmap;
    result.texture = tex;
    return result;
}

// GL takes only square cube-map faces; sides that become equal powers of two are stretched to
// them like any other image.
bool squareFaces(int w, int h) {
    return TTexture::Pow2Size(w) == TTexture::Pow2Size(h);
}

void badFrames(const std::string& file) {
    Warning("Texture frames do not fit the image: " + file);
}

// LoadCubeMapTexture, with the file decoded ahead where `prepared` is given (see startLoad).
TextureRef loadCube(const std::string& file, int flags, const std::string& folder,
                    const PreparedTexture* prepared) {
    LoadStart start = startLoad(file, flags, folder, prepared);
    if (start.reused) return start.reused;
    TextureRef tex = start.texture;
    if (!tex) return nullptr;
    const int faceW = tex->pixmap->width / 6;
    const int faceH = tex->pixmap->height;
    if (faceW < 1) {
        badFrames(tex->file);
        return nullptr;
    }
    if (!squareFaces(faceW, faceH)) {
        Warning("Cube map faces are not square: " + tex->file);
        return nullptr;
    }
    tex->no_frames = 1;
    tex->cube_map = true;
    tex->gl_context = GraphicsContextId();
    tex->gltex[0] = uploadCubeFaces(*tex, tex->pixmap, faceW, faceH);
    ListAddLast(TTexture::tex_list, tex);
    return tex;
}

// LoadAnimTexture, with the file decoded ahead where `prepared` is given (see startLoad).
TextureRef loadAnim(const std::string& file, int flags, int frame_width, int frame_height,
                    int first_frame, int frame_count, const std::string& folder,
                    const PreparedTexture* prepared) {
    if (flags & CUBEMAPTEXTURE) return loadCube(file, flags, folder, prepared);
    LoadStart start = startLoad(file, flags, folder, prepared);
    if (start.reused) return start.reused;
    TextureRef tex = start.texture;
    if (!tex) return nullptr;

    const int imageW = tex->pixmap->width;
    const int imageH = tex->pixmap->height;
    if (frame_width == 0 && frame_height == 0) {
        frame_width = imageW;
        frame_height = imageH;
    }
    // Frames are numbered row by row; every frame taken must lie inside the image.
    if (frame_width <= 0 || frame_height <= 0 || frame_width > imageW || frame_height > imageH ||
        first_frame < 0 || frame_count < 1) {
        badFrames(tex->file);
        return nullptr;
    }
    const int perRow = imageW / frame_width;
    const int perColumn = imageH / frame_height;
    int x = first_frame % perRow;
    int y = (first_frame / perRow) % perColumn;
    if (std::int64_t(y) * perRow + x + frame_count > std::int64_t(perRow) * perColumn) {
        badFrames(tex->file);
        return nullptr;
    }

    tex->no_frames = frame_count;
    tex->gltex.assign(std::size_t(frame_count), 0);
    tex->gl_context = GraphicsContextId();
    // The prepared levels are those of the whole image.
    const bool whole = frame_count == 1 && frame_width == imageW && frame_height == imageH;
    for (int i = 0; i < frame_count; ++i) {
        tex->gltex[std::size_t(i)] =
            uploadFrame(*tex, tex->pixmap, x * frame_width, y * frame_height, frame_width,
                        frame_height, whole ? start.levels : std::vector<PixmapRef>{});
        if (++x == perRow) {
            x = 0;
            ++y;
        }
    }
    ListAddLast(TTexture::tex_list, tex);
    return tex;
}

} // namespace

TTexture::~TTexture() {
    deleteNames(*this);
}

int TTexture::FreeTexture() {
    if (tex_list) {
        for (auto link = tex_list->FirstLink(); link; link = link->NextLink()) {
            if (link->Value().get() == this) {
                link->Remove();
                break;
            }
        }
    }
    pixmap = nullptr;
    deleteNames(*this);
    return 0;
}

TextureRef TTexture::CreateTexture(int width, int height, int flags, int frames) {
    if (flags & CUBEMAPTEXTURE) return CreateCubeMapTexture(width, height, flags);
    if (width <= 0 || height <= 0 || frames <= 0) return nullptr;
    if (std::int64_t(width) * frames > INT_MAX) return nullptr;
    if (!displayReady("created texture")) return nullptr;
    auto tex = std::make_shared<TTexture>();
    tex->pixmap = CreatePixmap(width * frames, height, PF_RGBA8888, 4); // zero-filled
    if (!tex->pixmap) return nullptr;
    tex->flags = flags;
    tex->FilterFlags();
    tex->no_frames = frames;
    tex->gltex.assign(std::size_t(frames), 0);
    tex->gl_context = GraphicsContextId();
    for (int i = 0; i < frames; ++i)
        tex->gltex[std::size_t(i)] = uploadFrame(*tex, tex->pixmap, i * width, 0, width, height);
    ListAddLast(tex_list, tex);
    return tex;
}

TextureRef TTexture::LoadTexture(const std::string& file, int flags, const std::string& folder) {
    return loadAnim(file, flags, 0, 0, 0, 1, folder, nullptr);
}

TextureRef TTexture::LoadAnimTexture(const std::string& file, int flags, int frame_width,
                                     int frame_height, int first_frame, int frame_count,
                                     const std::string& folder) {
    return loadAnim(file, flags, frame_width, frame_height, first_frame, frame_count, folder,
                    nullptr);
}

TextureRef TTexture::LoadCubeMapTexture(const std::string& file, int flags,
                                        const std::string& folder) {
    return loadCube(file, flags, folder, nullptr);
}

PreparedTextureRef TTexture::PrepareTexture(const std::string& file, int flags) {
    auto prepared = std::make_shared<PreparedTexture>();
    prepared->file = file;
    prepared->flags = flags;
    prepared->pixmap = decodeFile(file);
    if (!prepared->pixmap) return prepared;
    const int w = Pow2Size(prepared->pixmap->width);
    const int h = Pow2Size(prepared->pixmap->height);
    if (std::int64_t(w) * h > kMaxPixmapPixels) return prepared; // AdjustPixmap shrinks it
    PixmapRef level = w == prepared->pixmap->width && h == prepared->pixmap->height
                          ? prepared->pixmap
                          : ResizePixmap(prepared->pixmap, w, h);
    while (level) {
        prepared->levels.push_back(level);
        if (!(flags & MIPMAPPEDTEXTURE)) break;
        level = NextMipmap(level);
    }
    return prepared;
}

TextureRef TTexture::LoadPreparedTexture(const PreparedTextureRef& prepared) {
    if (!prepared) return nullptr;
    return loadAnim(prepared->file, prepared->flags, 0, 0, 0, 1, {}, prepared.get());
}

TextureRef TTexture::CreateCubeMapTexture(int width, int height, int flags) {
    if (width <= 0 || height <= 0 || std::int64_t(width) * 6 > INT_MAX) return nullptr;
    if (!squareFaces(width, height)) {
        Warning("Cube map faces are not square");
        return nullptr;
    }
    if (!displayReady("created cube map")) return nullptr;
    auto tex = std::make_shared<TTexture>();
    tex->pixmap = CreatePixmap(width * 6, height, PF_RGBA8888, 4); // zero-filled
    if (!tex->pixmap) return nullptr;
    tex->flags = flags; // no filter applies to a created cube map
    tex->no_frames = 1;
    tex->cube_map = true;
    tex->gl_context = GraphicsContextId();
    tex->gltex[0] = uploadCubeFaces(*tex, tex->pixmap, width, height);
    ListAddLast(tex_list, tex);
    return tex;
}

int TTexture::TextureBlend(int mode) {
    blend = mode;
    return 0;
}

int TTexture::TextureCoords(int set) {
    coords = set;
    return 0;
}

int TTexture::ScaleTexture(float u, float v) {
    u_scale = 1.0f / u;
    v_scale = 1.0f / v;
    return 0;
}

int TTexture::PositionTexture(float u, float v) {
    u_pos = -u;
    v_pos = -v;
    return 0;
}

int TTexture::RotateTexture(float degrees) {
    angle = degrees;
    return 0;
}

int TTexture::TextureWidth() const {
    return width;
}

int TTexture::TextureHeight() const {
    return height;
}

std::string TTexture::TextureName() const {
    return file_abs;
}

int TTexture::ClearTextureFilters() {
    ClearList(TTextureFilter::filter_list);
    return 0;
}

int TTexture::TextureFilter(const std::string& match_text, int flags) {
    auto filter = std::make_shared<TTextureFilter>();
    filter->text = match_text;
    filter->flags = flags;
    ListAddLast(TTextureFilter::filter_list, filter);
    return 0;
}

int TTexture::SetCubeFace(int face) {
    cube_face = face;
    return 0;
}

int TTexture::SetCubeMode(int mode) {
    cube_mode = mode;
    return 0;
}

namespace {

// Copies the width x height rectangle at the top left of the read buffer into a frame of a 2D
// texture; GL's window origin is the bottom left. A copy into level 0 of a texture with
// mipmaps makes the smaller levels again from it, in the copy's format, so the texture shows
// the copy at every size (and a depth copy leaves no colour levels behind to make it
// incomplete).
int copyToFrame(TTexture& t, int mipmap_level, int frame, GLenum internalFormat) {
    if (t.cube_map || !namesLive(t) || mipmap_level < 0 || frame < 0 ||
        std::size_t(frame) >= t.gltex.size())
        return 0;
    glstate::BindTexture(GL_TEXTURE_2D, t.gltex[std::size_t(frame)]);
    const bool remake_levels = mipmap_level == 0 && t.no_mipmaps > 0;
    const bool generate_on_copy = remake_levels && !glGenerateMipmap;
    if (generate_on_copy) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glCopyTexImage2D(GL_TEXTURE_2D, mipmap_level, internalFormat, 0, TGlobal::height - t.height,
                     t.width, t.height, 0);
    if (generate_on_copy) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    if (remake_levels && glGenerateMipmap) glGenerateMipmap(GL_TEXTURE_2D);
    return 0;
}

} // namespace

void TTexture::ApplySampling() const {
    sampling_flags = flags;
    if (!namesLive(*this)) return;
    for (const unsigned name : gltex) {
        if (name == 0) continue;
        if (cube_map) {
            glstate::BindTexture(GL_TEXTURE_CUBE_MAP, name);
            glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        } else {
            glstate::BindTexture(GL_TEXTURE_2D, name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                            (flags & MIPMAPPEDTEXTURE) ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                            (flags & CLAMPUTEXTURE) ? GL_CLAMP_TO_EDGE : GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T,
                            (flags & CLAMPVTEXTURE) ? GL_CLAMP_TO_EDGE : GL_REPEAT);
        }
    }
}

int TTexture::BackBufferToTex(int mipmap_level, int frame) {
    return copyToFrame(*this, mipmap_level, frame, GL_RGBA8);
}

int TTexture::DepthBufferToTex(int mipmap_level, int frame) {
    return copyToFrame(*this, mipmap_level, frame, GL_DEPTH_COMPONENT);
}

int TTexture::BackBufferToCubeTex(int mipmap_level) {
    if (!cube_map || !namesLive(*this) || gltex.empty() || mipmap_level < 0) return 0;
    glstate::BindTexture(GL_TEXTURE_CUBE_MAP, gltex[0]);
    if (cube_face < 0 || cube_face > 5) return 0;
    glCopyTexImage2D(cubeTarget(cube_face), mipmap_level, GL_RGBA8, 0, TGlobal::height - height,
                     width, height, 0);
    return 0;
}

namespace {

// Sets the alpha of every face of the cube map to 1, the colours kept, as the copies from a
// display without alpha leave it; drawing into the faces then leaves alpha alone. The cube
// map's framebuffer object is bound.
void opaqueFaces(TTexture& t) {
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    for (int face = 0; face < 6; ++face) {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, cubeTarget(face), t.gltex[0],
                               0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
            glClear(GL_COLOR_BUFFER_BIT);
    }
    glPopAttrib();
}

} // namespace

bool TTexture::DrawIntoCubeFace() {
    if (!cube_map || !namesLive(*this) || gltex.empty() || cube_face < 0 || cube_face > 5 ||
        face_fbo_refused)
        return false;
    if (!glGenFramebuffers || !glFramebufferTexture2D || !glGenRenderbuffers) return false;
    if (face_fbo == 0) {
        GLuint depth = 0, fbo = 0;
        GLint previous = 0;
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &previous);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        // The display's depth buffer has 24 bits: the same depth tests pass and fail.
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, GLuint(previous));
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        face_fbo = fbo;
        face_depth = depth;
        if (!TGlobal::alpha_buffer) opaqueFaces(*this);
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, face_fbo);
    }
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, cubeTarget(cube_face), gltex[0],
                           0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
    DebugLog("Texture: a cube face cannot be drawn into; the back buffer is copied instead");
    face_fbo_refused = true;
    return false;
}

int TTexture::CountMipmaps() const {
    return no_mipmaps;
}

namespace {
int mipmapSide(int side, int level, int last) {
    if (level < 0 || level > last) return 0;
    for (int i = 0; i < level && side > 1; ++i) side /= 2;
    return side < 1 ? 1 : side;
}
} // namespace

int TTexture::MipmapWidth(int level) const {
    return mipmapSide(width, level, no_mipmaps);
}

int TTexture::MipmapHeight(int level) const {
    return mipmapSide(height, level, no_mipmaps);
}

int TTexture::FileFind(std::string& file, const std::string& folder) {
    const std::string asked = file;
    const std::string first = inFolder(folder, file);
    if (FileType(first) != 0) return 1;
    for (const char* separator : {"\\", "/"}) {
        int at;
        while ((at = Instr(file, separator)) != 0) file = Right(file, int(file.size()) - at);
    }
    const std::string second = inFolder(folder, file);
    if (FileType(second) != 0) return 1;
    std::string tried = first;
    if (second != first) tried += ", then " + second;
    Warning("Cannot find texture: " + asked + " (looked for " + tried + ")");
    return 0;
}

std::string TTexture::FileAbs(const std::string& file, const std::string& folder) {
    std::string path = file;
    if (Instr(file, ":") == 0 && Left(file, 1) != "/") {
        std::error_code ec;
        std::string dir =
            folder.empty() ? CurrentDir() : std::filesystem::canonical(folder, ec).string();
        if (!folder.empty() && ec) dir = inFolder(CurrentDir(), folder);
        if (dir.empty() || dir.back() != '/') dir += '/';
        path = dir + file;
    }
    return Replace(path, "\\", "/");
}

TextureRef TTexture::TexInList() const {
    if (!tex_list) return nullptr;
    for (const TextureRef& t : *tex_list) {
        if (t && t->file_abs == file_abs && t->flags == flags) return t;
    }
    return nullptr;
}

int TTexture::FilterFlags() {
    if (!TTextureFilter::filter_list) return 0;
    for (const TextureFilterRef& filter : *TTextureFilter::filter_list) {
        if (filter && filter->Matches(file)) flags |= filter->flags;
    }
    return 0;
}

void TTexture::AcceptedSize(int& w, int& h, const SizeTest& accepts) {
    for (;;) {
        if (accepts(w, h)) return;
        if (w == 1 && h == 1) RuntimeError("Unable to calculate tex size");
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
}

PixmapRef TTexture::AdjustPixmap(const PixmapRef& pixmap) {
    if (!pixmap) return nullptr;
    int w = 0, h = 0;
    acceptedSize(pixmap->width, pixmap->height, w, h);
    if (w != pixmap->width || h != pixmap->height) return ResizePixmap(pixmap, w, h);
    return pixmap;
}

PixmapRef TTexture::NextMipmap(const PixmapRef& level) {
    if (!level || (level->width == 1 && level->height == 1)) return nullptr;
    return ResizePixmap(level, std::max(1, level->width / 2), std::max(1, level->height / 2));
}

int TTexture::Pow2Size(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p *= 2;
    return p;
}

TextureRef TTexture::GetBrushTexture(const BrushRef& brush, int index) {
    if (!brush || index < 0 || index >= TBrush::kMaxLayers) return nullptr;
    return brush->tex[std::size_t(index)];
}

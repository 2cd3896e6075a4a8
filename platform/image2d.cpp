#include "platform/image2d.h"

#include "platform/display.h"
#include "platform/error.h"
#include "platform/gl_state.h"
#include "platform/internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Side in pixels of the tiles whose transparency is found when an image is made; frames smaller
// than two tiles either way are always drawn whole.
constexpr int kTile = 32;

// Frames of an animation share textures ("pages") of at most this many pixels a side, unless a
// single frame is larger.
constexpr int kPageLimit = 4096;

struct DrawState {
    float r = 1, g = 1, b = 1;
    float alpha = 1;
    int blend = MASKBLEND;
    float rotation = 0;
    float cosR = 1, sinR = 0;
    float scaleX = 1, scaleY = 1;
    int clsR = 0, clsG = 0, clsB = 0;
    int maskR = 0, maskG = 0, maskB = 0;
};

DrawState& state() {
    static DrawState s;
    return s;
}

int clampColour(int c) {
    return std::clamp(c, 0, 255);
}

void applyMask(TPixmap& p, int r, int g, int b) {
    for (int y = 0; y < p.height; ++y) {
        std::uint8_t* px = p.PixelPtr(0, y);
        for (int x = 0; x < p.width; ++x, px += 4)
            if (px[0] == r && px[1] == g && px[2] == b) px[3] = 0;
    }
}

// Copies the cell at (sx, sy) of src into dst at (dx, dy), and with a gutter repeats its edge
// pixels gutter wide around it, so that linear sampling at the cell's border never reaches a
// neighbouring cell.
void blitCell(const TPixmap& src, int sx, int sy, int w, int h, TPixmap& dst, int dx, int dy,
              int gutter) {
    for (int row = -gutter; row < h + gutter; ++row) {
        const int from = std::clamp(row, 0, h - 1);
        const std::uint8_t* in = src.PixelPtr(sx, sy + from);
        std::uint8_t* out = dst.PixelPtr(dx, dy + row);
        std::memcpy(out, in, std::size_t(w) * 4);
        for (int g = 1; g <= gutter; ++g) {
            std::memcpy(out - 4 * g, in, 4);
            std::memcpy(out + 4 * (w - 1 + g), in + 4 * (w - 1), 4);
        }
    }
}

// Marks the frame sparse when some of its tiles hold only fully transparent texels, with the
// rectangles of the others. A tile counts as visible when a texel within `reach` texels of it is
// not fully transparent, so that sampling inside the drawn tiles never reaches a texel they leave
// out: one texel for linear sampling, a tile for mipmaps down to an eighth of the size.
void findVisibleTiles(const TPixmap& p, int sx, int sy, int w, int h, int reach,
                      TImage::Frame& frame) {
    if (w < 2 * kTile || h < 2 * kTile) return;
    const int cols = (w + kTile - 1) / kTile;
    const int rows = (h + kTile - 1) / kTile;
    std::vector<char> visible(std::size_t(cols) * rows, 0);
    std::vector<char> touched(static_cast<std::size_t>(cols), 0);
    for (int y = 0; y < h; ++y) {
        std::fill(touched.begin(), touched.end(), 0);
        bool any = false;
        const std::uint8_t* px = p.PixelPtr(sx, sy + y);
        for (int x = 0; x < w; ++x) {
            if (px[4 * x + 3] == 0) continue;
            const int c0 = std::max(0, (x - reach) / kTile);
            const int c1 = std::min(cols - 1, (x + reach) / kTile);
            for (int c = c0; c <= c1; ++c) touched[std::size_t(c)] = 1;
            any = true;
            // The next texel that can reach a tile not yet marked.
            x = std::max(x, (c1 + 1) * kTile - reach - 1);
        }
        if (!any) continue;
        const int r0 = std::max(0, (y - reach) / kTile);
        const int r1 = std::min(rows - 1, (y + reach) / kTile);
        for (int r = r0; r <= r1; ++r)
            for (int c = 0; c < cols; ++c) visible[std::size_t(r) * cols + c] |= touched[c];
    }
    if (std::all_of(visible.begin(), visible.end(), [](char v) { return v != 0; })) return;
    frame.sparse = true;
    const auto fx = [&](int c) { return c >= cols ? 1.0f : float(c * kTile) / float(w); };
    const auto fy = [&](int r) { return r >= rows ? 1.0f : float(r * kTile) / float(h); };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols;) {
            if (!visible[std::size_t(r) * cols + c]) {
                ++c;
                continue;
            }
            int end = c;
            while (end < cols && visible[std::size_t(r) * cols + end]) ++end;
            frame.visible.push_back({fx(c), fy(r), fx(end), fy(r + 1)});
            c = end;
        }
}

void uploadTexture(TImage::Texture& t, int flags) {
    PixmapRef pixels = t.pixels;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize > 0 && (pixels->width > maxSize || pixels->height > maxSize)) {
        // Too large for this GL: scaled down to fit; the frames' texture coordinates are
        // fractions of the page and stay right.
        const double f = double(maxSize) / std::max(pixels->width, pixels->height);
        PixmapRef smaller = ResizePixmap(pixels, std::max(1, int(pixels->width * f)),
                                         std::max(1, int(pixels->height * f)));
        pixels = smaller ? smaller->Convert(PF_RGBA8888) : nullptr;
        if (!pixels) return;
    }

    t.id = CreateTextureRGBA(pixels->pixels, pixels->width, pixels->height, pixels->pitch / 4,
                             flags & FILTEREDIMAGE, flags & MIPMAPPEDIMAGE);
    t.context = GraphicsContextId();
    t.pixels.reset();
}

// Makes sure the image's textures live in the current display; false when they cannot (no
// display, or they were made for a display since closed).
bool ready(TImage& image) {
    const unsigned context = GraphicsContextId();
    if (!context) return false;
    for (TImage::Texture& t : image.textures) {
        if (t.id && t.context == context) continue;
        if (!t.pixels) return false;
        uploadTexture(t, image.flags);
        if (!t.id) return false;
    }
    return true;
}

// The image with its textures' pixels, nothing uploaded; touches no shared state.
ImageRef buildImage(const PixmapRef& source, int cellW, int cellH, int first, int count, int flags,
                    std::uint32_t maskColour) {
    if (!source || cellW <= 0 || cellH <= 0 || first < 0 || count <= 0) return nullptr;
    PixmapRef rgba = source->Convert(PF_RGBA8888);
    if (!rgba) return nullptr;
    const long long cellsPerRow = rgba->width / cellW;
    const long long cellRows = rgba->height / cellH;
    if (static_cast<long long>(first) + count > cellsPerRow * cellRows) return nullptr;
    if (flags & MASKEDIMAGE)
        applyMask(*rgba, int(maskColour >> 16 & 255), int(maskColour >> 8 & 255),
                  int(maskColour & 255));

    auto image = std::make_shared<TImage>();
    image->width = cellW;
    image->height = cellH;
    image->flags = flags;

    const bool onePerPage = (flags & MIPMAPPEDIMAGE) || count == 1;
    const int gutter = (flags & FILTEREDIMAGE) && !onePerPage ? 1 : 0;
    const int slotW = cellW + 2 * gutter;
    const int slotH = cellH + 2 * gutter;
    const int cols = std::max(1, kPageLimit / slotW);
    const int rows = std::max(1, kPageLimit / slotH);
    const int perPage = onePerPage ? 1 : cols * rows;

    for (int done = 0; done < count;) {
        const int n = std::min(perPage, count - done);
        const int pageCols = std::min(cols, n);
        const int pageRows = (n + pageCols - 1) / pageCols;
        TImage::Texture page;
        page.width = pageCols * slotW;
        page.height = pageRows * slotH;
        if (n == 1 && gutter == 0 && cellW == rgba->width && cellH == rgba->height) {
            page.pixels = rgba; // the whole image is the one frame
        } else {
            page.pixels = CreatePixmap(page.width, page.height, PF_RGBA8888, 4);
            if (!page.pixels) return nullptr;
            for (int y = 0; y < page.height; ++y)
                std::memset(page.pixels->PixelPtr(0, y), 0, std::size_t(page.width) * 4);
        }
        for (int k = 0; k < n; ++k) {
            const int cell = first + done + k;
            const int sx = int(cell % cellsPerRow) * cellW;
            const int sy = int(cell / cellsPerRow) * cellH;
            const int dx = (k % pageCols) * slotW + gutter;
            const int dy = (k / pageCols) * slotH + gutter;
            if (page.pixels != rgba)
                blitCell(*rgba, sx, sy, cellW, cellH, *page.pixels, dx, dy, gutter);
            TImage::Frame f;
            f.texture = int(image->textures.size());
            f.u0 = float(dx) / page.width;
            f.v0 = float(dy) / page.height;
            f.u1 = float(dx + cellW) / page.width;
            f.v1 = float(dy + cellH) / page.height;
            findVisibleTiles(*rgba, sx, sy, cellW, cellH, (flags & MIPMAPPEDIMAGE) ? kTile : 1, f);
            image->frames.push_back(f);
        }
        image->textures.push_back(std::move(page));
        done += n;
    }
    return image;
}

ImageRef makeImage(const PixmapRef& source, int cellW, int cellH, int first, int count, int flags) {
    return UploadImage(buildImage(source, cellW, cellH, first, count, flags, MaskColor()));
}

void setBlend(int blend) {
    switch (blend) {
    case MASKBLEND:
        glstate::Enable(GL_BLEND, false);
        glstate::Enable(GL_ALPHA_TEST, true);
        glstate::AlphaFunc(GL_GEQUAL, 0.5f);
        break;
    case SOLIDBLEND:
        glstate::Enable(GL_BLEND, false);
        glstate::Enable(GL_ALPHA_TEST, false);
        break;
    default:
        glstate::Enable(GL_BLEND, true);
        glstate::Enable(GL_ALPHA_TEST, false);
        glstate::BlendEquation(GL_FUNC_ADD);
        if (blend == ALPHABLEND)
            glstate::BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        else if (blend == LIGHTBLEND)
            glstate::BlendFunc(GL_SRC_ALPHA, GL_ONE);
        else
            glstate::BlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    }
}

// Makes the GL state right for a draw with the texture (0: untextured) in the current blend
// mode and colour: the state of the header's list, through the GL state record, which passes
// on only what differs from what GL holds.
void useDrawState(GLuint texture) {
    const DrawState& s = state();
    glColor4f(s.r, s.g, s.b, s.alpha);
    // The other units off. A unit the record knows is off is not even selected: selecting one is
    // a change of GL state, which ends the batch of immediate-mode quads the driver collects.
    for (int unit = glstate::Capabilities().textureUnits - 1; unit >= 1; --unit)
        glstate::ClearTextureUnit(unit);
    glstate::ActiveTexture(0);
    for (GLenum cap : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q,
                       GL_TEXTURE_CUBE_MAP})
        glstate::TextureEnable(cap, false);
    for (GLenum cap :
         {GL_LIGHTING, GL_FOG, GL_DEPTH_TEST, GL_STENCIL_TEST, GL_SCISSOR_TEST, GL_CULL_FACE})
        glstate::Enable(cap, false);
    glstate::PolygonMode(GL_FILL);
    if (texture) {
        glstate::TextureEnable(GL_TEXTURE_2D, true);
        glstate::BindTexture(GL_TEXTURE_2D, texture);
        glstate::TexEnvMode(GL_MODULATE);
        glstate::TextureMatrixIdentity();
    } else {
        glstate::TextureEnable(GL_TEXTURE_2D, false);
    }
    setBlend(s.blend);
    glstate::CheckGLState();
}

// Draws the local rectangle (x0, y0)-(x1, y1), scaled and rotated about the local origin, with
// the origin placed at (x, y): the whole of it, or, for a sparse frame under a blend mode that
// leaves the screen as it was where a texel is fully transparent, only its visible spans. Span
// corners are found the same way wherever spans meet, so that they share their edges exactly.
void drawQuad(float x0, float y0, float x1, float y1, float x, float y, const TImage::Frame* frame,
              bool sparseUsable = false) {
    const DrawState& s = state();
    static const TImage::Span whole[1] = {{0, 0, 1, 1}};
    const TImage::Span* spans = whole;
    std::size_t count = 1;
    const bool untouchedWhereClear =
        s.blend == MASKBLEND || s.blend == ALPHABLEND || s.blend == LIGHTBLEND;
    if (frame && frame->sparse && sparseUsable && untouchedWhereClear) {
        spans = frame->visible.data();
        count = frame->visible.size();
        if (count == 0) return;
    }
    const auto along = [](float a, float b, float f) {
        return f == 0.0f ? a : f == 1.0f ? b : a + (b - a) * f;
    };
    glBegin(GL_QUADS);
    for (std::size_t k = 0; k < count; ++k) {
        const TImage::Span& span = spans[k];
        const float fx[4] = {span.x0, span.x1, span.x1, span.x0};
        const float fy[4] = {span.y0, span.y0, span.y1, span.y1};
        for (int i = 0; i < 4; ++i) {
            const float px = along(x0, x1, fx[i]) * s.scaleX;
            const float py = along(y0, y1, fy[i]) * s.scaleY;
            if (frame)
                glTexCoord2f(along(frame->u0, frame->u1, fx[i]),
                             along(frame->v0, frame->v1, fy[i]));
            glVertex2f(x + px * s.cosR - py * s.sinR, y + px * s.sinR + py * s.cosR);
        }
    }
    glEnd();
}

// Whether a sparse frame of the image drawn w x h pixels (before the scale) may be drawn by its
// visible tiles: mipmapped images only down to a quarter of their size, where the mipmap levels
// sampled stay within the tile's reach.
bool sparseUsable(const TImage& image, float w, float h) {
    if (!(image.flags & MIPMAPPEDIMAGE)) return true;
    const DrawState& s = state();
    const float fx = std::fabs(w * s.scaleX) / float(image.width);
    const float fy = std::fabs(h * s.scaleY) / float(image.height);
    return fx >= 0.25f && fy >= 0.25f;
}

const TImage::Frame* drawableFrame(const ImageRef& image, int frame) {
    if (!image || frame < 0 || frame >= image->FrameCount()) return nullptr;
    if (!ready(*image)) return nullptr;
    return &image->frames[frame];
}
} // namespace

unsigned CreateTextureRGBA(const std::uint8_t* rgba, int width, int height, int rowPixels,
                           bool filtered, bool mipmapped) {
    // Everything changed here is put back by the pops: the GL state record stays right.
    glPushAttrib(GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    GLint unpackBuffer = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
    if (unpackBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);

    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    GLint minFilter = filtered ? GL_LINEAR : GL_NEAREST;
    if (mipmapped) minFilter = filtered ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filtered ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (mipmapped && !glGenerateMipmap) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowPixels == width ? 0 : rowPixels);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    if (mipmapped && glGenerateMipmap) glGenerateMipmap(GL_TEXTURE_2D);

    if (unpackBuffer) glBindBuffer(GL_PIXEL_UNPACK_BUFFER, unpackBuffer);
    glPopClientAttrib();
    glPopAttrib();
    return id;
}

TImage::~TImage() {
    // The display is asked about only for uploaded textures: an image prepared on another
    // thread (PrepareImage) and dropped there has none.
    for (Texture& t : textures) {
        if (!t.id || t.context != GraphicsContextId()) continue;
        glstate::DeleteTextures(1, &t.id);
    }
}

namespace {

// The image file decoded; a file that cannot be is named on the warning channel, as a texture
// or a sound is.
PixmapRef imageFile(const std::string& path) {
    std::string why;
    PixmapRef pixmap = LoadPixmap(path, &why);
    if (!pixmap) Warning("Image " + path + " " + why + ": not loaded");
    return pixmap;
}

} // namespace

ImageRef LoadImage(const std::string& path, int flags) {
    return LoadImage(imageFile(path), flags);
}

ImageRef LoadImage(const PixmapRef& pixmap, int flags) {
    if (!pixmap) return nullptr;
    return makeImage(pixmap, pixmap->width, pixmap->height, 0, 1, flags);
}

ImageRef LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int first, int count,
                       int flags) {
    if (cellWidth <= 0 || cellHeight <= 0 || first < 0 || count <= 0) return nullptr;
    return LoadAnimImage(imageFile(path), cellWidth, cellHeight, first, count, flags);
}

ImageRef LoadAnimImage(const PixmapRef& pixmap, int cellWidth, int cellHeight, int first, int count,
                       int flags) {
    return makeImage(pixmap, cellWidth, cellHeight, first, count, flags);
}

ImageRef PrepareImage(const PixmapRef& pixmap, const ImageCells& cells, int flags,
                      std::uint32_t maskColour) {
    if (!pixmap) return nullptr;
    if (cells.width == 0)
        return buildImage(pixmap, pixmap->width, pixmap->height, 0, 1, flags, maskColour);
    return buildImage(pixmap, cells.width, cells.height, cells.first, cells.count, flags,
                      maskColour);
}

ImageRef UploadImage(const ImageRef& image) {
    if (image) ready(*image); // uploads now when a display is open, else at the first draw
    return image;
}

std::uint32_t MaskColor() {
    const DrawState& s = state();
    return std::uint32_t(s.maskR) << 16 | std::uint32_t(s.maskG) << 8 | std::uint32_t(s.maskB);
}

void SetMaskColor(int r, int g, int b) {
    state().maskR = clampColour(r);
    state().maskG = clampColour(g);
    state().maskB = clampColour(b);
}

int ImageWidth(const ImageRef& image) {
    return image ? image->width : 0;
}
int ImageHeight(const ImageRef& image) {
    return image ? image->height : 0;
}
int ImageFrames(const ImageRef& image) {
    return image ? image->FrameCount() : 0;
}

void SetImageHandle(const ImageRef& image, float x, float y) {
    if (!image) return;
    image->handle_x = x;
    image->handle_y = y;
}

void MidHandleImage(const ImageRef& image) {
    if (image) SetImageHandle(image, image->width / 2.0f, image->height / 2.0f);
}

void DrawImage(const ImageRef& image, float x, float y, int frame) {
    const TImage::Frame* f = drawableFrame(image, frame);
    if (!f) return;
    useDrawState(image->textures[f->texture].id);
    drawQuad(-image->handle_x, -image->handle_y, image->width - image->handle_x,
             image->height - image->handle_y, x, y, f,
             sparseUsable(*image, float(image->width), float(image->height)));
}

void DrawImageRect(const ImageRef& image, float x, float y, float w, float h, int frame) {
    const TImage::Frame* f = drawableFrame(image, frame);
    if (!f) return;
    useDrawState(image->textures[f->texture].id);
    const float hx = image->handle_x * w / image->width;
    const float hy = image->handle_y * h / image->height;
    drawQuad(-hx, -hy, w - hx, h - hy, x, y, f, sparseUsable(*image, w, h));
}

void DrawRect(float x, float y, float w, float h) {
    if (!GraphicsContextId()) return;
    useDrawState(0);
    drawQuad(0, 0, w, h, x, y, nullptr);
}

void DrawLine(float x1, float y1, float x2, float y2) {
    if (!GraphicsContextId()) return;
    const DrawState& s = state();
    useDrawState(0);
    const float dx = (x2 - x1) * s.scaleX;
    const float dy = (y2 - y1) * s.scaleY;
    // Through the pixel centres, so that a line along a row lights that row.
    const float ox = x1 + 0.5f, oy = y1 + 0.5f;
    glBegin(GL_LINES);
    glVertex2f(ox, oy);
    glVertex2f(ox + dx * s.cosR - dy * s.sinR, oy + dx * s.sinR + dy * s.cosR);
    glEnd();
}

void SetColor(int r, int g, int b) {
    state().r = clampColour(r) / 255.0f;
    state().g = clampColour(g) / 255.0f;
    state().b = clampColour(b) / 255.0f;
}

void SetAlpha(float alpha) {
    state().alpha = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
}

void SetBlend(int mode) {
    if (mode >= MASKBLEND && mode <= SHADEBLEND) state().blend = mode;
}

void SetRotation(float degrees) {
    DrawState& s = state();
    s.rotation = degrees;
    const double rad = double(degrees) * std::numbers::pi / 180.0;
    s.cosR = float(std::cos(rad));
    s.sinR = float(std::sin(rad));
}

void SetScale(float sx, float sy) {
    state().scaleX = sx;
    state().scaleY = sy;
}

void SetClsColor(int r, int g, int b) {
    state().clsR = clampColour(r);
    state().clsG = clampColour(g);
    state().clsB = clampColour(b);
}

void Cls() {
    if (!GraphicsContextId()) return;
    const DrawState& s = state();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_SCISSOR_BIT | GL_ENABLE_BIT);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(s.clsR / 255.0f, s.clsG / 255.0f, s.clsB / 255.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPopAttrib();
}

int GetBlend() {
    return state().blend;
}
float GetAlpha() {
    return state().alpha;
}
float GetRotation() {
    return state().rotation;
}

void GetColor(int& r, int& g, int& b) {
    r = int(std::lround(state().r * 255));
    g = int(std::lround(state().g * 255));
    b = int(std::lround(state().b * 255));
}

void GetScale(float& sx, float& sy) {
    sx = state().scaleX;
    sy = state().scaleY;
}

void Init2DState(int width, int height) {
    DrawState& s = state();
    const int maskR = s.maskR, maskG = s.maskG, maskB = s.maskB;
    s = DrawState{};
    s.maskR = maskR;
    s.maskG = maskG;
    s.maskB = maskB;

    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

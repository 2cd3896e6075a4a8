// The 2D image layer: images in GL textures, drawn in window pixels with a sticky drawing state.
//
// Coordinates are window pixels, (0, 0) at the top left, y downward. Each image has a handle, a
// point in image pixels ((0, 0) at its top left) that lands on the position given to DrawImage;
// scale and rotation turn about it. Rotation is in degrees, clockwise on screen.
//
// Image flags: 1 masked, 2 filtered, 4 mipmapped.
//  - Masked: every pixel whose red, green and blue equal the mask colour (SetMaskColor, black
//    by default) becomes fully transparent when the image is made; other pixels keep their
//    alpha. Images are held as RGBA.
//  - Filtered: linear sampling; without it the texels are sampled nearest, so an image drawn
//    scaled shows sharp blocks.
//  - Mipmapped: mipmaps for drawing smaller than the image.
//
// Drawing state, kept until changed: colour (SetColor, 0-255 per channel, white at start),
// alpha (SetAlpha, 0..1, 1 at start), blend mode (SetBlend, MASKBLEND at start), rotation
// (SetRotation, 0) and scale (SetScale, 1, 1). The colour and alpha tint every draw.
//
// GL state: Graphics sets the layer's state (viewport over the window, orthographic projection
// in window pixels with y down, identity model-view and texture matrices, depth test, lighting,
// fog and culling off). The projection, model-view and viewport are kept in GL state: code that
// changes them in between (a 3D renderer) saves and restores them around its own drawing, as
// the engine's Begin2D/End2D do with the whole GL attribute and matrix stacks. Everything else
// a draw depends on is set by the layer: texture unit 0 with only its 2D texture enabled and
// bound, the other units' texturing off, texture coordinate generation off, identity texture
// matrix, modulating texture environment, blend and alpha test as the blend mode says,
// lighting, fog, depth, stencil, scissor test and culling off, filled polygons, and the colour.
// The layer sets that state through the platform's record of the GL state, which passes on to
// GL only what differs from what it last set; what a draw set is left in GL state. Vertices go
// through immediate mode, so client arrays left enabled do not matter. A program that makes GL
// calls of its own calls InvalidateGLState (display.h) after them.
#pragma once

#include "platform/pixmap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Image flags of the loads, ORed together (see the header comment).
enum ImageFlags : int {
    MASKEDIMAGE = 1,
    FILTEREDIMAGE = 2,
    MIPMAPPEDIMAGE = 4,
};

// Blend modes of SetBlend: how a draw combines with the frame.
enum BlendMode : int {
    MASKBLEND = 1,  // alpha test (alpha >= 0.5 drawn), no blending
    SOLIDBLEND = 2, // no blending
    ALPHABLEND = 3, // source alpha, one minus source alpha
    LIGHTBLEND = 4, // source alpha, one (additive)
    SHADEBLEND = 5, // destination colour, zero (multiply)
};

class TImage;
using ImageRef = std::shared_ptr<TImage>;

// An image of one or more frames (cells) of the same size.
class TImage {
  public:
    // Inside the layer: a GL texture (a page holding one or more frames) and where a frame lies
    // in its page.
    struct Texture {
        PixmapRef pixels;     // the page's pixels until uploaded; dropped afterwards
        unsigned id = 0;      // GL texture name
        unsigned context = 0; // GraphicsContextId of the display it was made under
        int width = 0;
        int height = 0;
    };
    // A rectangle of a frame, in fractions of the frame's width and height.
    struct Span {
        float x0, y0, x1, y1;
    };
    struct Frame {
        int texture = 0;
        float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
        // Found when the image is made: whether the frame has texels that are fully
        // transparent over whole tiles, and then the rectangles (runs of tiles along a row)
        // outside which every texel, and every texel that linear sampling reaches from there,
        // is fully transparent. Blend modes that leave the screen as it was under a fully
        // transparent texel draw only these.
        bool sparse = false;
        std::vector<Span> visible;
    };

    TImage() = default;
    ~TImage();
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    int width = 0; // size of one frame in pixels
    int height = 0;
    int flags = 0;
    float handle_x = 0.0f;
    float handle_y = 0.0f;

    int FrameCount() const { return int(frames.size()); }

    std::vector<Texture> textures;
    std::vector<Frame> frames;
};

// Loads an image file (PNG, JPEG, BMP, TGA) as one frame. Null when the file cannot be read or
// decoded, which is said once on the warning channel ("Image <path> <why>: not loaded").
ImageRef LoadImage(const std::string& path, int flags);
// The same from a pixmap in memory (copied; the pixmap is not changed). Null for a null pixmap.
ImageRef LoadImage(const PixmapRef& pixmap, int flags);
// Loads an image file cut into count frames of cellWidth x cellHeight pixels, taken from the
// grid of cells row by row, left to right and top to bottom, beginning at cell first. Null when
// the file cannot be read (said as LoadImage says it), a size or count is not positive, first
// is negative, or the image holds fewer than first + count whole cells.
ImageRef LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int first, int count,
                       int flags);
// The same from a pixmap in memory (copied; the pixmap is not changed). Null for a null pixmap.
ImageRef LoadAnimImage(const PixmapRef& pixmap, int cellWidth, int cellHeight, int first, int count,
                       int flags);

// The frames an image is cut into: `count` cells of width x height taken as LoadAnimImage takes
// them, from cell `first` on; a width of 0 takes the whole pixmap as the one frame, as LoadImage
// does.
struct ImageCells {
    int width = 0;
    int height = 0;
    int first = 0;
    int count = 1;
};
// The image that LoadImage (LoadAnimImage) makes of the pixmap, masked with `maskColour`
// (0xRRGGBB) where the flags ask, made without a display and without touching the layer's state,
// so safe on any thread; nothing is uploaded. Null where the load would give null.
ImageRef PrepareImage(const PixmapRef& pixmap, const ImageCells& cells, int flags,
                      std::uint32_t maskColour);
// Uploads the image's textures when a display is open; otherwise they are uploaded at its first
// draw, as for every image. Returns the image (null for null).
ImageRef UploadImage(const ImageRef& image);

// The mask colour applied by later loads with the masked flag, as 0xRRGGBB.
std::uint32_t MaskColor();
// Sets the mask colour, 0-255 per channel (each clamped); black at start.
void SetMaskColor(int r, int g, int b);

int ImageWidth(const ImageRef& image);  // 0 for null
int ImageHeight(const ImageRef& image); // 0 for null
int ImageFrames(const ImageRef& image); // 0 for null
// Puts the image's handle at (x, y) in image pixels from its top left ((0, 0) at start).
void SetImageHandle(const ImageRef& image, float x, float y);
// Puts the image's handle at the centre of its frame.
void MidHandleImage(const ImageRef& image);

// Draws a frame of the image with its handle at (x, y), scaled and rotated about the handle.
// A null image or a frame out of range draws nothing.
void DrawImage(const ImageRef& image, float x, float y, int frame = 0);
// Draws a frame stretched to w x h pixels: the image's rectangle maps onto (x, y)-(x+w, y+h),
// its handle (scaled along with the image) landing on (x, y), then scale and rotation turn
// about (x, y) as for DrawImage. A null image or a frame out of range draws nothing.
void DrawImageRect(const ImageRef& image, float x, float y, float w, float h, int frame = 0);
// A filled rectangle in the colour, alpha and blend mode, untextured, its top-left corner at
// (x, y); scale and rotation turn about (x, y).
void DrawRect(float x, float y, float w, float h);
// A line from (x1, y1) to (x2, y2), one pixel wide; scale and rotation turn about (x1, y1).
void DrawLine(float x1, float y1, float x2, float y2);

void SetColor(int r, int g, int b); // each clamped to 0..255
void SetAlpha(float alpha);         // clamped to 0..1
void SetBlend(int mode);            // a BlendMode; other values are ignored
// Rotation of later draws in degrees, clockwise on screen (0 at start).
void SetRotation(float degrees);
// Horizontal and vertical scale of later draws (1, 1 at start; negative values mirror).
void SetScale(float sx, float sy);
// The colour Cls clears to, 0-255 per channel (each clamped); black at start.
void SetClsColor(int r, int g, int b);
// Clears the whole window (colour to the Cls colour, and depth) whatever the viewport and
// scissor box.
void Cls();

// The blend mode of later draws (SetBlend).
int GetBlend();
// The alpha of later draws, 0..1 (SetAlpha).
float GetAlpha();
// The rotation of later draws in degrees (SetRotation).
float GetRotation();
// The colour of later draws, 0-255 per channel (SetColor).
void GetColor(int& r, int& g, int& b);
// The scale of later draws (SetScale).
void GetScale(float& sx, float& sy);

// The three kinds of lettering in the media: outline text rendered with FreeType from a
// Debian font, stroke text from the Hershey vector fonts (pen lettering), and the project's
// own 5x7 pixel font for the crisp column strips.
#pragma once

#include "tools/mediagen/canvas.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mediagen {

// Font files, from Debian's fonts-dejavu-core and hershey-fonts-data.
inline constexpr const char* kBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
inline constexpr const char* kCondensedBoldFont =
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
inline constexpr const char* kSerifBoldFont =
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
inline constexpr const char* kScriptStrokeFont = "/usr/share/hershey-fonts/scripts.jhf";

// An outline font at one pixel size. Throws when the file cannot be loaded.
class TtfFont {
  public:
    TtfFont(const std::string& path, int pixelHeight);
    ~TtfFont();
    TtfFont(const TtfFont&) = delete;
    TtfFont& operator=(const TtfFont&) = delete;

    // Advance width of the text in pixels, with extra `tracking` pixels between letters.
    float measure(const std::string& text, float tracking = 0) const;
    // Height above the baseline of capital letters, in pixels.
    float capHeight() const;
    // Renders the text into the mask with its baseline at y and its pen start at x.
    void render(Mask& m, const std::string& text, float x, float y, float tracking = 0) const;
    // Renders the text centred on cx, with capitals vertically centred on cy.
    void renderCentred(Mask& m, const std::string& text, float cx, float cy,
                       float tracking = 0) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A polyline of the pen, in pixels.
using Stroke = std::vector<std::pair<float, float>>;

// A Hershey vector font (".jhf"): glyphs for the printable ASCII characters. Throws when the
// file cannot be read.
class StrokeFont {
  public:
    explicit StrokeFont(const std::string& path);
    // The strokes of the text, in font units (y down, baseline near 9), with its total advance.
    std::vector<Stroke> layout(const std::string& text, float* advance = nullptr) const;

  private:
    struct Glyph {
        int left = 0, right = 0;
        std::vector<Stroke> strokes;
    };
    std::map<char, Glyph> glyphs_;
};

// Points along the strokes, spaced `spacing` apart along each stroke (both ends included).
std::vector<std::pair<float, float>> DotStrokes(const std::vector<Stroke>& strokes, float spacing);
float StrokeLength(const std::vector<Stroke>& strokes);

// The project's own pixel font: 5 columns by 7 rows per glyph, capitals, digits and a little
// punctuation. Unknown characters draw as blanks.
struct PixelFont {
    static constexpr int kWidth = 5;
    static constexpr int kHeight = 7;
    // True where the glyph of c has a pixel (column x, row y).
    static bool pixel(char c, int x, int y);
    // Columns of the text with one blank column between glyphs and `space` columns for ' '.
    static int columns(const std::string& text, int scaleX, int gap = 1);
};

// Draws pixel-font text with its top-left corner at (x, y), each font pixel scaleX by scaleY
// image pixels, coloured per image row by `rowColour` (a vertical shading). Returns the next
// free column.
int DrawPixelText(Canvas& c, const std::string& text, int x, int y, int scaleX, int scaleY,
                  const std::function<Rgba(int row)>& rowColour, int gap = 1);

} // namespace mediagen

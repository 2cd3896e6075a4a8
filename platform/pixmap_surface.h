// What the BMP and TGA decoders share: the pixels are decoded by SDL2_image after the headers
// are checked (pixmap_bmp.cpp, pixmap_tga.cpp). Internal to the platform.
#pragma once

#include "platform/pixmap_formats.h"

#include <SDL.h>

#include <memory>
#include <vector>

namespace imagefile {

// BMP and TGA (SDL2_image). The library decodes the pixels; the headers are checked here first,
// so that sizes beyond the limits, and files too short for their pixels, are refused before it
// allocates for them, and so that what it would misread gives an error instead: a TGA file cut
// short (the library fills in what is missing) or a BMP compression it does not know (taken
// for plain pixels).

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

// The library's decoding of a TGA (`tga`) or BMP file; null when it fails (SDL_GetError says
// why).
Surface readSurface(const std::uint8_t* data, std::size_t size, bool tga);

// "is not a readable <kind> image", with the library's words for why.
std::string libraryProblem(const char* kind);

// A decoded surface (of a `kind` of file) as 8-bit RGBA. Palette indices are looked up here: an
// index beyond the palette reads as opaque black, `firstIndex` is the index of the palette's first
// entry (a TGA colour map may start past 0), and `entryAlpha`, where given, is each entry's alpha.
PixmapRef surfacePixels(const SDL_Surface& s, const char* kind, unsigned firstIndex,
                        const std::vector<std::uint8_t>& entryAlpha, std::string& why);

// A decoded BMP or TGA image comes back as RGBA when its alpha tells something, else as RGB.
// An alpha that is the same everywhere and 0 or 255 tells nothing: 0 everywhere is a common way
// of writing 32-bit files without alpha, and such an image is opaque.
PixmapRef settleAlpha(const PixmapRef& rgba, bool hasAlpha);

} // namespace imagefile

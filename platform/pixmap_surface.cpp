#include "platform/pixmap_surface.h"

#include <SDL_image.h>

namespace imagefile {

Surface readSurface(const std::uint8_t* data, std::size_t size, bool tga) {
    SDL_ClearError();
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    if (!rw) return nullptr;
    Surface s(tga ? IMG_LoadTGA_RW(rw) : IMG_LoadBMP_RW(rw));
    SDL_RWclose(rw);
    return s;
}

std::string libraryProblem(const char* kind) {
    const std::string said = SDL_GetError();
    return std::string("is not a readable ") + kind + " image" +
           (said.empty() ? "" : " (" + said + ")");
}

// entry (a TGA colour map may start past 0), and `entryAlpha`, where given, is each entry's alpha.
PixmapRef surfacePixels(const SDL_Surface& s, const char* kind, unsigned firstIndex,
                        const std::vector<std::uint8_t>& entryAlpha, std::string& why) {
    PixmapRef pm = CreatePixmap(s.w, s.h, PF_RGBA8888, 4);
    if (!pm) {
        why = kTooLarge;
        return nullptr;
    }
    const SDL_Palette* palette = s.format->palette;
    if (s.format->format == SDL_PIXELFORMAT_INDEX8 && palette) {
        for (int y = 0; y < s.h; ++y) {
            const auto* in =
                static_cast<const std::uint8_t*>(s.pixels) + std::ptrdiff_t(y) * s.pitch;
            std::uint8_t* out = pm->PixelPtr(0, y);
            for (int x = 0; x < s.w; ++x, out += 4) {
                const unsigned entry = in[x] - firstIndex; // wraps past the end below the first
                SDL_Color c{0, 0, 0, 255};
                if (entry < unsigned(palette->ncolors)) c = palette->colors[entry];
                if (entry < entryAlpha.size()) c.a = entryAlpha[entry];
                out[0] = c.r, out[1] = c.g, out[2] = c.b, out[3] = c.a;
            }
        }
    } else if (SDL_ConvertPixels(s.w, s.h, s.format->format, s.pixels, s.pitch,
                                 SDL_PIXELFORMAT_RGBA32, pm->pixels, pm->pitch) != 0) {
        why = libraryProblem(kind);
        return nullptr;
    }
    return pm;
}

PixmapRef settleAlpha(const PixmapRef& rgba, bool hasAlpha) {
    if (hasAlpha) {
        const std::uint8_t first = rgba->pixels[3];
        if (first != 0 && first != 255) return rgba;
        for (int y = 0; y < rgba->height; ++y) {
            const std::uint8_t* p = rgba->PixelPtr(0, y);
            for (int x = 0; x < rgba->width; ++x) {
                if (p[4 * x + 3] != first) return rgba;
            }
        }
    }
    return rgba->Convert(PF_RGB888);
}

} // namespace imagefile

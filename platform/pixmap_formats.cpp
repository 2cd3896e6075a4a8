// The table of image formats, and the file functions that choose from it.
#include "platform/pixmap_formats.h"

#include "platform/stream.h"

#include <cstdio>
#include <vector>

namespace imagefile {
namespace {

// In the order they are tried. TGA files have no signature and the TGA entry takes any file,
// so it stays last: a new format goes before it.
const ImageFormat* const kImageFormats[] = {&kPng, &kJpeg, &kBmp, &kTga};

// The format of the file, or null with why none is.
const ImageFormat* formatOf(const std::uint8_t* data, std::size_t size, std::string& why) {
    if (!data || size == 0) {
        why = "is empty";
    } else if (size < 4) {
        why = kUnknownKind;
    } else if (size > kMaxImageFileBytes) {
        why = kTooLarge;
    } else {
        for (const ImageFormat* format : kImageFormats)
            if (format->recognise(data, size)) return format;
        why = kUnknownKind;
    }
    return nullptr;
}

// Reads a whole regular file of at most 256 MB (larger image files are refused). False when it
// cannot be read.
bool readImageFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    constexpr long kMaxFileBytes = long(kMaxImageFileBytes);
    bytes.clear();
    if (FileType(path) != 1) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    const bool fits = size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
    if (fits) {
        bytes.resize(std::size_t(size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    std::fclose(file);
    return fits && bytes.size() == std::size_t(size);
}

} // namespace
} // namespace imagefile

using namespace imagefile;

PixmapRef LoadPixmapFromMemory(const std::uint8_t* data, std::size_t size, std::string* why) {
    std::string problem;
    PixmapRef pm;
    if (const ImageFormat* format = formatOf(data, size, problem))
        pm = format->decode(data, size, problem);
    if (why) *why = pm ? "" : problem.empty() ? kUnknownKind : problem;
    return pm;
}

PixmapRef LoadPixmap(const std::string& path, std::string* why) {
    std::vector<std::uint8_t> bytes;
    if (!readImageFile(path, bytes)) {
        if (why) *why = "cannot be read";
        return nullptr;
    }
    return LoadPixmapFromMemory(bytes.data(), bytes.size(), why);
}

std::string CheckImageFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!readImageFile(path, bytes)) return "cannot be read";
    std::string why;
    const ImageFormat* format = formatOf(bytes.data(), bytes.size(), why);
    if (format && format->check) return format->check(bytes.data(), bytes.size());
    if (format) LoadPixmapFromMemory(bytes.data(), bytes.size(), &why);
    return why;
}

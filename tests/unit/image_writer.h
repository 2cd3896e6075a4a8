// Writes small image files for the image tests, the fuzz seeds and the image benchmark: BMP and
// TGA headers by hand, JPEG files through libjpeg (not through the code under test), and JPEG
// files with a scan repeated.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace imagewriter {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// BMP file and info headers (40-byte info header unless told otherwise).
inline Bytes bmpHeader(std::int32_t w, std::int32_t h, unsigned bpp, std::uint32_t compression,
                       std::uint32_t offBits, std::uint32_t colours = 0,
                       std::uint32_t infoSize = 40) {
    Bytes b = {'B', 'M'};
    put32(b, 0); // file size: not needed
    put32(b, 0);
    put32(b, offBits);
    put32(b, infoSize);
    put32(b, std::uint32_t(w));
    put32(b, std::uint32_t(h));
    put16(b, 1);
    put16(b, bpp);
    put32(b, compression);
    put32(b, 0);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, colours);
    put32(b, 0);
    return b;
}

// A TGA header without identification or colour map.
inline Bytes tgaHeader(unsigned type, unsigned w, unsigned h, unsigned bpp, unsigned descriptor) {
    Bytes b = {0, 0, std::uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, w);
    put16(b, h);
    b.push_back(std::uint8_t(bpp));
    b.push_back(std::uint8_t(descriptor));
    return b;
}

// A baseline JPEG, or a progressive one by the library's usual script (`progressive`) or by
// the script given.
inline Bytes encodeJpeg(int w, int h, int components, const Bytes& pixels, bool progressive = false,
                        const std::vector<jpeg_scan_info>& script = {}) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buf, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    if (!script.empty()) {
        cinfo.scan_info = script.data();
        cinfo.num_scans = int(script.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(&pixels[cinfo.next_scanline * w * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buf, buf + size);
    std::free(buf);
    return out;
}

// Where each scan of a JPEG file lies: from its start-of-scan marker to the marker after its
// data.
inline std::vector<std::pair<std::size_t, std::size_t>> jpegScans(const Bytes& file) {
    std::vector<std::pair<std::size_t, std::size_t>> scans;
    for (std::size_t at = 2; at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xD9;) {
        const std::size_t start = at;
        at += 2 + (std::size_t(file[at + 2]) << 8 | file[at + 3]);
        if (file[start + 1] != 0xDA) continue;
        // Entropy-coded data runs to a marker other than a stuffed byte or a restart.
        while (at + 1 < file.size() &&
               !(file[at] == 0xFF && file[at + 1] != 0 && (file[at + 1] & 0xF8) != 0xD0))
            ++at;
        scans.emplace_back(start, at);
    }
    return scans;
}

// The file with scan `index` followed by `times` copies of itself.
inline Bytes repeatScan(const Bytes& file, std::size_t index, int times) {
    const auto [start, end] = jpegScans(file).at(index);
    Bytes out(file.begin(), file.begin() + long(end));
    for (int k = 0; k < times; ++k)
        out.insert(out.end(), file.begin() + long(start), file.begin() + long(end));
    out.insert(out.end(), file.begin() + long(end), file.end());
    return out;
}

} // namespace imagewriter

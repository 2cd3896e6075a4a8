// JPEG files, read through libjpeg.
#include "platform/pixmap_formats.h"

// jpeglib.h needs size_t and FILE declared before it, and jerror.h comes after it.
#include <cstdio>

#include <jpeglib.h>

#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace imagefile {
namespace {

// Errors longjmp out of the library, as libpng's do; warnings are silent, except
// a premature end of data, which would otherwise give a grey-filled image, and a progressive
// scan that repeats or comes out of order: each such scan costs the decoder a pass over the
// whole image for a few bytes of file, so a small file could keep it busy for minutes. Those
// fail, and so does a file of more scans than kMostScans (a scan that repeats a first pass at
// full precision draws no warning).

// Scans a file may hold. Encoders write 1 to 3 for a sequential image and about 10 for a
// progressive one.
constexpr int kMostScans = 100;

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool cutShort = false;
    const char* refusal = nullptr; // why the file is refused, where not damage
    int scans = 0;
    char problem[JMSG_LENGTH_MAX] = {};
};

void jpegFail(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    err->mgr.format_message(cinfo, err->problem);
    std::longjmp(err->jump, 1);
}

// Sees every warning and trace message (level -1 and 0 up).
void jpegMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    const int code = err->mgr.msg_code;
    if (level < 0 && code == JWRN_JPEG_EOF) {
        err->cutShort = true;
        jpegFail(cinfo);
    }
    if (level < 0 && code == JWRN_BOGUS_PROGRESSION) {
        err->refusal = "has progressive scans that repeat or come out of order";
        jpegFail(cinfo);
    }
    if (code == JTRC_SOS && ++err->scans > kMostScans) {
        err->refusal = "has too many scans";
        std::snprintf(err->problem, sizeof err->problem, "more than %d", kMostScans);
        std::longjmp(err->jump, 1);
    }
}

void jpegQuiet(j_common_ptr) {}

// Null, or why the image is refused.
const char* jpegReadHeader(jpeg_decompress_struct* cinfo, JpegError* err, const std::uint8_t* data,
                           std::size_t size) {
    if (setjmp(err->jump)) return "is not a readable JPEG image";
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return "is not a readable JPEG image";
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
        return "is a CMYK JPEG image, which is not supported";
    }
    cinfo->out_color_space = cinfo->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_calc_output_dimensions(cinfo);
    const std::int64_t pixels = std::int64_t(cinfo->output_width) * cinfo->output_height;
    // Every 8x8 block costs at least a bit or so of entropy-coded data; dimensions far beyond
    // what the file could hold are a corrupt header.
    if (!sizeAllowed(cinfo->output_width, cinfo->output_height) ||
        pixels > std::max<std::int64_t>(std::int64_t(1) << 20, std::int64_t(size) * 1024)) {
        return kTooLarge;
    }
    return cinfo->output_components == (cinfo->out_color_space == JCS_GRAYSCALE ? 1 : 3)
               ? nullptr
               : "is not a readable JPEG image";
}

bool jpegReadRows(jpeg_decompress_struct* cinfo, JpegError* err, const TPixmap* pm) {
    if (setjmp(err->jump)) return false;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = pm->PixelPtr(0, int(cinfo->output_scanline));
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
    }
    return true;
}

PixmapRef loadJpeg(const std::uint8_t* data, std::size_t size, std::string& why) {
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegMessage;
    err.mgr.output_message = jpegQuiet;
    PixmapRef pm;
    if (const char* refused = jpegReadHeader(&cinfo, &err, data, size)) {
        why = refused;
    } else {
        const int format = cinfo.output_components == 1 ? PF_I8 : PF_RGB888;
        pm = CreatePixmap(int(cinfo.output_width), int(cinfo.output_height), format, 4);
        if (pm && !jpegReadRows(&cinfo, &err, pm.get())) {
            pm.reset();
            why = "has damaged image data";
        }
    }
    jpeg_destroy_decompress(&cinfo);
    if (err.cutShort) {
        why = kCutShort;
    } else if (err.refusal) {
        why = err.refusal;
        if (err.problem[0]) why += std::string(" (") + err.problem + ")";
    } else if (!pm && err.problem[0]) {
        why += std::string(" (") + err.problem + ")";
    }
    return pm;
}

bool isJpeg(const std::uint8_t* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

} // namespace

const ImageFormat kJpeg = {"JPEG", isJpeg, loadJpeg, nullptr};

} // namespace imagefile

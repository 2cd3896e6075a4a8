// Comparing rendered demo frames with their stored references in tests/fixtures/demo/.
//
// The references are exact for the Mesa build recorded beside them (renderer.txt); the
// comparison allows a difference of a few levels per channel and a few stray pixels, for other
// rasterisers. A frame that fails is written to the test temporary folder as "demo-<name>", to
// be looked at or, after an intended change of the picture, copied over the reference.
#pragma once

#include "platform/pixmap.h"
#include "platform/testing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#ifndef TEST_FIXTURE_DIR
#error "the build passes the fixture folder as TEST_FIXTURE_DIR"
#endif

namespace framereference {

inline int Channel(std::uint32_t argb, int shift) {
    return int(argb >> shift & 0xff);
}
// The largest difference of the red, green and blue channels.
inline int MaxChannelDiff(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int s : {0, 8, 16}) d = std::max(d, std::abs(Channel(a, s) - Channel(b, s)));
    return d;
}

// Compares a frame with its stored reference: pixels differing by more than `levels` in a
// channel may be at most `strayShare` of the frame.
inline void ExpectMatchesReference(const testseam::FrameCapture& frame, const std::string& name,
                                   int levels = 3, double strayShare = 0.002) {
    const std::string path = std::string(TEST_FIXTURE_DIR) + "/demo/" + name;
    PixmapRef ref = LoadPixmap(path);
    if (!ref) testseam::CaptureFramePNG(::testing::TempDir() + "demo-" + name);
    ASSERT_NE(ref, nullptr) << "no reference " << path;
    ASSERT_EQ(ref->width, frame.width);
    ASSERT_EQ(ref->height, frame.height);
    long stray = 0;
    int worst = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const int d = MaxChannelDiff(frame.Pixel(x, y), ref->ReadPixel(x, y));
            worst = std::max(worst, d);
            stray += d > levels;
        }
    const double share = double(stray) / (double(frame.width) * frame.height);
    EXPECT_LE(share, strayShare) << name << ": " << stray << " pixels differ, by up to " << worst
                                 << " levels (renderer " << glGetString(GL_RENDERER) << ")";
    if (share > strayShare) testseam::CaptureFramePNG(::testing::TempDir() + "demo-" + name);
}

} // namespace framereference

// The scene a benchmark program draws, as bench_engine passes it on the command line to the
// programs it runs as processes of their own (bench_engine_program, bench_engine_peer):
//     PROGRAM cubes N WxH FRAMES
//     PROGRAM crowd N WxH FRAMES MODEL
// and, last, --keep-heap: bench_engine_program keeps the C library's heap as it was (calls
// GraphicsHeapPolicy(false)), to measure what the display's heap settings change.
// cubes: N textured cubes turning (1, 1, 0) a frame; crowd: N copies of an animated model
// (MODEL, a B3D file) playing its whole animation in a loop, each at its own pace (Pace). Both: one
// 256x256 mipmapped texture (the cubes), ambient light 60, one directional light turned (35, -30,
// 0), linear fog from the grid's extent to 2.5 times it, the entities in a cubic grid 3 units apart
// seen from 1.5 extents away through a W x H viewport at the top left of an 800x600 window. After
// FRAMES / 5 (at least 5) frames of warm-up each program times FRAMES frames and prints one line:
//     frames T1 T2 ... faults F
// the frame times in milliseconds and the process's minor page faults over the timed frames.
// Header-only, so a program that includes only the engine's public header can use it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace benchscene {

struct Scene {
    bool crowd = false;
    int count = 1000;
    int width = 32, height = 32;
    int frames = 100;
    std::string model;
    bool keepHeap = false;

    int WarmUp() const { return frames / 5 < 5 ? 5 : frames / 5; }
    // Cubes per side of the smallest cubic grid that holds count entities.
    int Side() const {
        int side = 1;
        while (side * side * side < count) ++side;
        return side;
    }
    // The entity n's place in the grid, centred on the origin.
    void Place(int n, float at[3]) const {
        const int side = Side();
        const float half = float(side - 1) / 2.0f;
        at[0] = (float(n % side) - half) * 3;
        at[1] = (float((n / side) % side) - half) * 3;
        at[2] = (float(n / (side * side)) - half) * 3;
    }
    float Extent() const { return float(Side()) * 3.0f; }
    // The pace of model n of a crowd, a factor of the base speed: 1 to 1.45 in steps of 0.05,
    // so that the models are not in step (each is posed on its own, as a crowd's are).
    static float Pace(int n) { return 1.0f + 0.05f * float(n % 10); }
};

// Reads the arguments after the program's name; false (with a message) when they do not fit.
inline bool ParseScene(int argc, char** argv, Scene& s) {
    if (argc > 1 && std::string(argv[argc - 1]) == "--keep-heap") {
        s.keepHeap = true;
        --argc;
    }
    if (argc < 5) return false;
    const std::string kind = argv[1];
    s.crowd = kind == "crowd";
    char x = 0;
    if ((kind != "cubes" && kind != "crowd") || std::sscanf(argv[2], "%d", &s.count) != 1 ||
        s.count < 1 || std::sscanf(argv[3], "%d%c%d", &s.width, &x, &s.height) != 3 || x != 'x' ||
        s.width < 1 || s.height < 1 || s.width > 800 || s.height > 600 ||
        std::sscanf(argv[4], "%d", &s.frames) != 1 || s.frames < 1)
        return false;
    if (s.crowd) {
        if (argc < 6) return false;
        s.model = argv[5];
    }
    return true;
}

// The cubes' texture, 256x256: an 8x8 checkerboard of two warm tones with a darker border per
// square; the pixel at (x, y) as 0xAARRGGBB.
inline unsigned CheckerPixel(unsigned x, unsigned y) {
    const bool odd = ((x / 32) + (y / 32)) % 2 == 1;
    const bool border = x % 32 < 2 || y % 32 < 2;
    unsigned rgb = odd ? 0xd08040u : 0xf0d0a0u;
    if (border) rgb = 0x603020u;
    return 0xff000000u | rgb;
}

inline void PrintTimes(const std::vector<double>& times, long faults) {
    std::printf("frames");
    for (double t : times) std::printf(" %.3f", t);
    std::printf(" faults %ld\n", faults);
    std::fflush(stdout);
}

} // namespace benchscene

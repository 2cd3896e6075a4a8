// Song load benchmark. Loads each song file repeatedly, alternating between LoadAudioSample and a
// plain decode of the file in one pass from the start (the file reader's own loop, no checks),
// and prints for each file
//     <file>: load ms median X p99 Y
//     <file>: one pass ms median X p99 Y
//     <file>: one pass / load X
// Usage: bench_audio [repetitions [file ...]]   (default 15; with no file,
// media/musica.ogg beside the program)
#include "platform/audio.h"
#include "platform/display.h"
#include "tools/bench_timing.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using benchtime::Clock;
using benchtime::msSince;
using benchtime::percentile;

// Frames of the file decoded in one pass from the start; -1 when it cannot be decoded.
long long decodeOnePass(const std::string& path) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return -1;
    const vorbis_info* info = ov_info(&vf, -1);
    const long long frameBytes = 2LL * (info ? info->channels : 1);
    std::vector<char> pcm;
    char buffer[16384];
    for (int link = 0;;) {
        const long got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &link);
        if (got == 0) break;
        if (got == OV_HOLE) continue;
        if (got < 0) {
            ov_clear(&vf);
            return -1;
        }
        pcm.insert(pcm.end(), buffer, buffer + got);
    }
    ov_clear(&vf);
    return (long long)pcm.size() / frameBytes;
}

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) files.emplace_back(argv[i]);
    if (files.empty() && ChangeToExecutableDir()) files.emplace_back("media/musica.ogg");

    for (const std::string& file : files) {
        std::vector<double> load, onePass;
        long long loaded = 0, decoded = 0;
        for (int r = 0; r < reps; ++r) {
            Clock::time_point t0 = Clock::now();
            const AudioSampleRef sample = LoadAudioSample(file);
            load.push_back(msSince(t0));
            loaded = sample ? sample->length : -1;
            t0 = Clock::now();
            decoded = decodeOnePass(file);
            onePass.push_back(msSince(t0));
        }
        std::printf("%s: %lld frames loaded, %lld decoded in one pass\n", file.c_str(), loaded,
                    decoded);
        std::printf("%s: load ms median %.2f p99 %.2f\n", file.c_str(), percentile(load, 0.5),
                    percentile(load, 0.99));
        std::printf("%s: one pass ms median %.2f p99 %.2f\n", file.c_str(),
                    percentile(onePass, 0.5), percentile(onePass, 0.99));
        std::printf("%s: one pass / load %.2f\n", file.c_str(),
                    percentile(onePass, 0.5) / percentile(load, 0.5));
    }
    return 0;
}

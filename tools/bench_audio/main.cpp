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
#include "tests/unit/one_pass_pcm.h"
#include "tools/bench_timing.h"

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
    int channels = 0;
    const std::vector<std::uint8_t> pcm = OnePassPcm(path, &channels);
    return channels ? (long long)pcm.size() / (2LL * channels) : -1;
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

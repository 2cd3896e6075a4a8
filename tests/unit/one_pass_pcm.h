// The PCM of an Ogg Vorbis file decoded in one pass from the start by the file reader's own
// loop, gaps in the data skipped: what LoadAudioSample must give, however it divides the work.
// Shared by the audio tests, bench_audio and the song fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <vorbis/vorbisfile.h>

// 16-bit little-endian values, interleaved as the file's first link has them; empty when the
// file cannot be opened or a read fails. `channels`, when given, receives the first link's
// channel count (0 when the file cannot be opened).
inline std::vector<std::uint8_t> OnePassPcm(const std::string& path, int* channels = nullptr) {
    if (channels) *channels = 0;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return {};
    if (const vorbis_info* info = ov_info(&vf, -1); info && channels) *channels = info->channels;
    std::vector<std::uint8_t> pcm;
    char buffer[16384];
    for (int link = 0;;) {
        const long got = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &link);
        if (got == 0) break;
        if (got == OV_HOLE) continue;
        if (got < 0) {
            pcm.clear();
            break;
        }
        pcm.insert(pcm.end(), buffer, buffer + got);
    }
    ov_clear(&vf);
    return pcm;
}

// Helpers for the audio tests: temporary files and Ogg Vorbis files encoded on the spot.
#pragma once

#include "platform/vorbis_encode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// A file name in the temporary directory, removed again when the object goes.
class TempFile {
  public:
    explicit TempFile(const std::string& name)
        : path_((std::filesystem::temp_directory_path() /
                 ("lapiz_" + std::to_string(::getpid()) + "_" + name))
                    .string()) {}
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

    void write(const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<std::uint8_t> read() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::string path_;
};

// Interleaved 16-bit sine tones, one frequency per channel.
inline std::vector<std::int16_t> Tone(int frames, int hertz, const std::vector<double>& freqs,
                                      double amplitude) {
    const int channels = int(freqs.size());
    std::vector<std::int16_t> pcm(std::size_t(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[std::size_t(i) * channels + c] =
                std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * freqs[c] * i / hertz)));
    return pcm;
}

// Encodes interleaved 16-bit PCM as an Ogg Vorbis file. Returns false on any failure.
inline bool EncodeOgg(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                      int hertz, float quality = 0.6f) {
    std::vector<float> samples(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) samples[i] = pcm[i] / 32768.0f;
    const std::vector<std::uint8_t> bytes = EncodeOggVorbis(
        samples.data(), pcm.size() / std::size_t(channels), channels, hertz, quality, 20240601);
    if (bytes.empty()) return false;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

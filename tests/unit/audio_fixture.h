// Helpers for the audio tests: temporary files and Ogg Vorbis files encoded on the spot.
#pragma once

#include "platform/vorbis_encode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

// The bytes of an Ogg Vorbis file of interleaved 16-bit PCM under the given stream serial
// number (concatenating two with different serials makes a chained file). Empty on failure.
inline std::vector<std::uint8_t> OggBytes(const std::vector<std::int16_t>& pcm, int channels,
                                          int hertz, float quality = 0.6f, int serial = 20240601) {
    std::vector<float> samples(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) samples[i] = pcm[i] / 32768.0f;
    return EncodeOggVorbis(samples.data(), pcm.size() / std::size_t(channels), channels, hertz,
                           quality, serial);
}

// Writes bytes to a file. Returns false on any failure.
inline bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return false;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

// Encodes interleaved 16-bit PCM as an Ogg Vorbis file. Returns false on any failure.
inline bool EncodeOgg(const std::string& path, const std::vector<std::int16_t>& pcm, int channels,
                      int hertz, float quality = 0.6f) {
    return WriteBytes(path, OggBytes(pcm, channels, hertz, quality));
}

// The Ogg page checksum: CRC-32 with the polynomial 0x04C11DB7, not reflected, starting at 0.
inline std::uint32_t OggCrc(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= std::uint32_t(p[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// An Ogg page's checksum made good again after a change to the page.
inline void SealOggPage(std::uint8_t* page, std::size_t size) {
    for (int i = 0; i < 4; ++i) page[22 + i] = 0;
    const std::uint32_t crc = OggCrc(page, size);
    for (int i = 0; i < 4; ++i) page[22 + i] = std::uint8_t(crc >> (8 * i));
}

// Sets the granule position (the stream's length in frames up to the end of the page) of a
// page and makes its checksum good again.
inline void SetOggGranule(std::vector<std::uint8_t>& page, std::int64_t granule) {
    for (int i = 0; i < 8; ++i) page[6 + i] = std::uint8_t(std::uint64_t(granule) >> (8 * i));
    SealOggPage(page.data(), page.size());
}

inline std::int64_t OggGranule(const std::vector<std::uint8_t>& page) {
    std::uint64_t g = 0;
    for (int i = 0; i < 8; ++i) g |= std::uint64_t(page[6 + i]) << (8 * i);
    return std::int64_t(g);
}

// The pages of a well-formed Ogg file, each with its own bytes; empty if the bytes are not
// whole pages one after the other.
inline std::vector<std::vector<std::uint8_t>> OggPages(const std::vector<std::uint8_t>& ogg) {
    std::vector<std::vector<std::uint8_t>> pages;
    for (std::size_t at = 0; at < ogg.size();) {
        if (ogg.size() - at < 27 || std::memcmp(&ogg[at], "OggS", 4) != 0) return {};
        const std::size_t segments = ogg[at + 26];
        std::size_t size = 27 + segments;
        if (ogg.size() - at < size) return {};
        for (std::size_t i = 0; i < segments; ++i) size += ogg[at + 27 + i];
        if (ogg.size() - at < size) return {};
        pages.emplace_back(ogg.begin() + std::ptrdiff_t(at),
                           ogg.begin() + std::ptrdiff_t(at + size));
        at += size;
    }
    return pages;
}

// The pages joined into a file. With `renumber`, each stream's pages are numbered again from 0
// at the page that starts it, in the order given, and their checksums made good, so that a page
// left out or repeated leaves no gap in the numbers.
inline std::vector<std::uint8_t> JoinOggPages(std::vector<std::vector<std::uint8_t>> pages,
                                              bool renumber) {
    std::vector<std::uint8_t> ogg;
    std::uint32_t next = 0;
    for (std::vector<std::uint8_t>& page : pages) {
        if (renumber) {
            if (page[5] & 0x02) next = 0; // the page that starts a stream
            for (int i = 0; i < 4; ++i) page[18 + i] = std::uint8_t(next >> (8 * i));
            ++next;
            SealOggPage(page.data(), page.size());
        }
        ogg.insert(ogg.end(), page.begin(), page.end());
    }
    return ogg;
}

// Rewrites the granule position of the last page of an Ogg file and its checksum, so that the
// file claims a length of `granule` frames.
inline bool SetLastGranule(std::vector<std::uint8_t>& ogg, std::int64_t granule) {
    static const std::uint8_t kCapture[4] = {'O', 'g', 'g', 'S'};
    auto last = std::find_end(ogg.begin(), ogg.end(), kCapture, kCapture + 4);
    if (last == ogg.end() || ogg.end() - last < 27) return false;
    std::uint8_t* page = &*last;
    const std::size_t segments = page[26];
    std::size_t size = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) size += page[27 + i];
    if (std::size_t(ogg.end() - last) != size) return false;
    for (int i = 0; i < 8; ++i) page[6 + i] = std::uint8_t(std::uint64_t(granule) >> (8 * i));
    SealOggPage(page, size);
    return true;
}

// A WAVE file: a format chunk and a data chunk holding `data` (encoding 1, integer PCM: 8-bit
// values unsigned, 16-bit little-endian signed; 3: 32-bit floats).
inline std::vector<std::uint8_t> WaveBytes(int channels, int bits, int hertz,
                                           const std::vector<std::uint8_t>& data,
                                           int encoding = 1) {
    std::vector<std::uint8_t> w;
    const auto text = [&](const char* t) {
        for (int i = 0; i < 4; ++i) w.push_back(std::uint8_t(t[i]));
    };
    const auto word = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) w.push_back(std::uint8_t(v >> (8 * i)));
    };
    const int block = channels * bits / 8;
    text("RIFF");
    word(std::uint32_t(4 + 24 + 8 + data.size() + (data.size() & 1)), 4);
    text("WAVE");
    text("fmt ");
    word(16, 4);
    word(std::uint32_t(encoding), 2);
    word(std::uint32_t(channels), 2);
    word(std::uint32_t(hertz), 4);
    word(std::uint32_t(hertz * block), 4);
    word(std::uint32_t(block), 2);
    word(std::uint32_t(bits), 2);
    text("data");
    word(std::uint32_t(data.size()), 4);
    w.insert(w.end(), data.begin(), data.end());
    if (data.size() & 1) w.push_back(0);
    return w;
}

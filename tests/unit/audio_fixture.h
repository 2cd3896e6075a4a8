// Helpers for the audio tests: temporary files and Ogg Vorbis files encoded on the spot.
#pragma once

#include <vorbis/vorbisenc.h>

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
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, hertz, quality) != 0) {
        vorbis_info_clear(&vi);
        std::fclose(out);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 20240601);

    bool ok = true;
    ogg_page og;
    auto writePage = [&] {
        ok = ok && std::fwrite(og.header, 1, og.header_len, out) == std::size_t(og.header_len);
        ok = ok && std::fwrite(og.body, 1, og.body_len, out) == std::size_t(og.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &og)) writePage();

    auto drain = [&] {
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) writePage();
            }
        }
    };
    const long frames = long(pcm.size() / channels);
    for (long done = 0; done < frames;) {
        const long n = std::min<long>(1024, frames - done);
        float** buffer = vorbis_analysis_buffer(&vd, int(n));
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = pcm[std::size_t(done + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&vd, int(n));
        drain();
        done += n;
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &og)) writePage();

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(out) == 0 && ok;
}

#include "platform/vorbis_encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

std::vector<std::uint8_t> EncodeOggVorbis(const float* interleaved, std::size_t frames,
                                          int channels, int hertz, float quality, int serial) {
    if ((!interleaved && frames > 0) || channels < 1 || channels > 2 || hertz <= 0) return {};
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, hertz, quality) != 0) {
        vorbis_info_clear(&vi);
        return {};
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    std::vector<std::uint8_t> out;
    ogg_page og;
    auto page = [&] {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &og)) page();
    auto drain = [&] {
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) page();
            }
        }
    };
    for (std::size_t done = 0; done < frames;) {
        const std::size_t chunk = std::min<std::size_t>(1024, frames - done);
        float** buffer = vorbis_analysis_buffer(&vd, int(chunk));
        for (std::size_t i = 0; i < chunk; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = std::clamp(
                    interleaved[(done + i) * std::size_t(channels) + std::size_t(c)], -1.0f, 1.0f);
        vorbis_analysis_wrote(&vd, int(chunk));
        drain();
        done += chunk;
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &og)) page();

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

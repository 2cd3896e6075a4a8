// libFuzzer target: the song loader on any bytes, with one pass as the oracle. Whatever the
// loader accepts of an Ogg Vorbis file, decoded in parts on several threads or in one pass, must
// be exactly what the file reader gives decoding the file in one pass from the start; WAVE
// files are loaded for their checks alone.
#include "platform/audio.h"
#include "tests/unit/one_pass_pcm.h"
#include "tools/fuzz/fuzz_support.h"

#include <ogg/ogg.h>

#include <cstring>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max);

// Mutations mostly keep every page's checksum right, so that the damage reaches the decoder
// and the loader's checks of page numbers and positions instead of the page sync alone; one in
// eight leaves the checksums as the mutation left them.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max, unsigned seed) {
    size = LLVMFuzzerMutate(data, size, max);
    if (seed % 8 == 0) return size;
    for (std::size_t at = 0; at + 27 <= size; ++at) {
        if (std::memcmp(data + at, "OggS", 4) != 0) continue;
        const std::size_t segments = data[at + 26], header = 27 + segments;
        if (at + header > size) break;
        std::size_t body = 0;
        for (std::size_t i = 0; i < segments; ++i) body += data[at + 27 + i];
        if (at + header + body > size) break;
        ogg_page page{data + at, long(header), data + at + header, long(body)};
        ogg_page_checksum_set(&page);
        at += header + body - 1;
    }
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = fuzzsupport::WriteScratch("song", data, size);
    const AudioSampleRef sample = LoadAudioSample(path);
    const bool wave =
        size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0;
    if (sample && !wave) {
        const std::vector<std::uint8_t> pcm = OnePassPcm(path);
        const std::size_t bytes =
            std::size_t(sample->length) * std::size_t(BytesPerSample(sample->format));
        if (bytes != pcm.size()) fuzzsupport::Fail("the song's length differs from one pass");
        if (bytes && std::memcmp(sample->samples, pcm.data(), bytes) != 0)
            fuzzsupport::Fail("the song's PCM differs from one pass");
    }
    fuzzsupport::AfterRun();
    return 0;
}

// Ogg Vorbis encoding, for the programs and tests that make their own sound files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Encodes `frames` frames of interleaved float samples (full scale -1..1; beyond it they are
// clipped) with `channels` channels (1 or 2) at `hertz` frames per second as one Ogg Vorbis
// stream at variable-bit-rate `quality` (-0.1 to 1), under the given stream serial number.
// The bytes depend only on the arguments: no time stamps, no random serial. Empty when the
// arguments are out of range or the encoder refuses them.
std::vector<std::uint8_t> EncodeOggVorbis(const float* interleaved, std::size_t frames,
                                          int channels, int hertz, float quality, int serial);

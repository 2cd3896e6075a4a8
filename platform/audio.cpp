#include "platform/audio.h"

#include "platform/error.h"
#include "platform/internal.h"

#include <SDL.h>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <new>

// Mixer state of one channel. The sound data and the fields above `pos` are fixed once the
// voice is published to the mixer. `pos` and `passes` belong to whichever thread mixes (the
// audio callback, or the caller of MixAudioFrames on the virtual device; the two never
// run at the same time). The atomics are how the main thread and the mixer talk.
struct TChannel::Voice {
    std::shared_ptr<const std::int16_t> pcm;
    int length = 0;
    int channels = 1;
    bool loop = false;
    std::uint64_t step = std::uint64_t(1) << 32; // source frames per output frame, 32.32

    std::uint64_t pos = 0;   // place in the sound, 32.32 fixed point
    std::int64_t passes = 0; // completed passes of a repeating sound

    std::atomic<std::int64_t> played{0}; // whole source frames consumed, all passes
    std::atomic<bool> active{true};      // false once stopped or ended
    std::atomic<bool> paused{false};
    std::atomic<float> volume{1.0f};
};

using Voice = TChannel::Voice;

int BytesPerSample(int format) {
    switch (format) {
    case SF_MONO8:
        return 1;
    case SF_MONO16LE:
    case SF_MONO16BE:
    case SF_STEREO8:
        return 2;
    case SF_STEREO16LE:
    case SF_STEREO16BE:
        return 4;
    default:
        return 0;
    }
}

int ChannelsPerSample(int format) {
    switch (format) {
    case SF_MONO8:
    case SF_MONO16LE:
    case SF_MONO16BE:
        return 1;
    case SF_STEREO8:
    case SF_STEREO16LE:
    case SF_STEREO16BE:
        return 2;
    default:
        return 0;
    }
}

namespace {

bool validShape(int length, int hertz, int format) {
    return length >= 0 && hertz > 0 && BytesPerSample(format) > 0;
}

// One sample value of the format as signed 16-bit.
std::int16_t readValue(const std::uint8_t* p, int format) {
    switch (format) {
    case SF_MONO8:
    case SF_STEREO8:
        return std::int16_t((int(p[0]) - 128) * 256);
    case SF_MONO16BE:
    case SF_STEREO16BE:
        return std::int16_t(std::uint16_t(p[0] << 8 | p[1]));
    default:
        return std::int16_t(std::uint16_t(p[1] << 8 | p[0]));
    }
}

class Mixer {
  public:
    // Main-thread side.
    bool virtualDevice = false;
    bool openFailed = false; // the last attempt to open a device failed; retried after a reset
    SDL_AudioDeviceID device = 0;
    bool holdsSubsystem = false; // this mixer holds a reference on SDL's audio subsystem
    int bufferFrames = 0;
    std::string driver;

    // Drops stopped and finished voices from the mix list, then adds `voice` if given.
    void prune(std::shared_ptr<Voice> voice = nullptr) {
        std::lock_guard<std::mutex> guard(lock_);
        std::erase_if(voices_, [](const auto& v) { return !v->active.load(); });
        if (voice) voices_.push_back(std::move(voice));
    }

    void stopAll() {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto& v : voices_) v->active.store(false);
        voices_.clear();
    }

    // Mixing side: fills `frames` interleaved stereo frames.
    void mix(std::int16_t* out, int frames) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            snapshot_.assign(voices_.begin(), voices_.end());
        }
        accum_.assign(std::size_t(frames) * 2, 0.0f);
        for (auto& v : snapshot_) {
            if (v->active.load(std::memory_order_acquire) && !v->paused.load())
                mixVoice(*v, frames);
        }
        snapshot_.clear();
        for (std::size_t i = 0; i < accum_.size(); ++i) {
            float s = std::nearbyint(accum_[i]);
            out[i] = std::int16_t(std::clamp(s, -32768.0f, 32767.0f));
        }
    }

    bool openDevice();
    void closeDevice();

  private:
    std::mutex lock_; // guards voices_ only, held for short copies
    std::vector<std::shared_ptr<Voice>> voices_;
    std::vector<std::shared_ptr<Voice>> snapshot_; // mixing side only
    std::vector<float> accum_;                     // mixing side only

    bool openWithCurrentDriver();

    void mixVoice(Voice& v, int frames) {
        const std::int16_t* d = v.pcm.get();
        const int len = v.length;
        const std::uint64_t end = std::uint64_t(len) << 32;
        const float vol = v.volume.load(std::memory_order_relaxed);
        bool finished = false;
        float* acc = accum_.data();
        for (int i = 0; i < frames; ++i) {
            if (v.pos >= end) {
                if (!v.loop || len == 0) {
                    finished = true;
                    break;
                }
                v.passes += std::int64_t(v.pos / end);
                v.pos %= end;
            }
            const std::uint32_t idx = std::uint32_t(v.pos >> 32);
            const float frac = float(v.pos & 0xffffffffu) * (1.0f / 4294967296.0f);
            std::uint32_t next = idx + 1;
            if (next >= std::uint32_t(len)) next = v.loop ? 0 : idx;
            float l, r;
            if (v.channels == 1) {
                const float a = d[idx], b = d[next];
                l = r = a + (b - a) * frac;
            } else {
                const float al = d[2 * idx], bl = d[2 * next];
                const float ar = d[2 * idx + 1], br = d[2 * next + 1];
                l = al + (bl - al) * frac;
                r = ar + (br - ar) * frac;
            }
            acc[2 * i] += l * vol;
            acc[2 * i + 1] += r * vol;
            v.pos += v.step;
        }
        if (v.pos >= end) {
            if (v.loop && len > 0) {
                v.passes += std::int64_t(v.pos / end);
                v.pos %= end;
            } else {
                v.pos = end;
                finished = true;
            }
        }
        v.played.store(v.passes * len + std::int64_t(v.pos >> 32), std::memory_order_relaxed);
        if (finished) v.active.store(false, std::memory_order_release);
    }
};

Mixer& mixer() {
    // Never destroyed: the audio thread may still call in while the program exits.
    static Mixer* m = new Mixer;
    return *m;
}

void audioCallback(void* user, Uint8* stream, int len) {
    static_cast<Mixer*>(user)->mix(reinterpret_cast<std::int16_t*>(stream), len / 4);
}

bool Mixer::openWithCurrentDriver() {
    SDL_AudioSpec want{}, have{};
    want.freq = kMixerHertz;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024; // about 23 ms: the music clock leads what is heard by at most this
    want.callback = audioCallback;
    want.userdata = this;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) return false;
    bufferFrames = have.samples;
    const char* name = SDL_GetCurrentAudioDriver();
    driver = name ? name : "";
    SDL_PauseAudioDevice(device, 0);
    return true;
}

bool Mixer::openDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        holdsSubsystem = true;
        if (openWithCurrentDriver()) return true;
        DebugLog(std::string("Audio: no output device (") + SDL_GetError() +
                 "), using the dummy driver");
    } else {
        DebugLog(std::string("Audio: cannot start audio (") + SDL_GetError() +
                 "), using the dummy driver");
    }
    // Fall back to the dummy driver, which consumes frames in real time without a device.
    if (SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_AudioInit("dummy") != 0) return false;
    } else {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (!ok) return false;
        holdsSubsystem = true;
    }
    return openWithCurrentDriver();
}

void Mixer::closeDevice() {
    if (device != 0) SDL_CloseAudioDevice(device); // waits for a running callback to return
    if (holdsSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device = 0;
    holdsSubsystem = false;
    bufferFrames = 0;
    driver.clear();
}

} // namespace

AudioSampleRef CreateAudioSample(int length, int hertz, int format) {
    if (!validShape(length, hertz, format)) return nullptr;
    auto sample = std::make_shared<TAudioSample>();
    sample->store = std::make_shared<std::vector<std::uint8_t>>(
        std::size_t(length) * std::size_t(BytesPerSample(format)));
    sample->samples = sample->store->data();
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    return sample;
}

AudioSampleRef CreateStaticAudioSample(void* samples, int length, int hertz, int format) {
    if (!validShape(length, hertz, format) || (!samples && length > 0)) return nullptr;
    auto sample = std::make_shared<TAudioSample>();
    sample->samples = static_cast<std::uint8_t*>(samples);
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    return sample;
}

namespace {

// Whether the load is no longer wanted (see LoadAudioSample).
bool givenUp(const LoadGivenUp& stop) {
    return stop && stop();
}

// An Ogg Vorbis file opened for decoding, checked to hold one or two channels at a usable
// rate, the same in every link of a chained file (a change part-way would play part of the
// song with the wrong shape or speed). Opening reads the header pages of every link and the
// last page, for the claimed length; no audio is decoded. `problem` says why a file is refused
// ("" when it is open and usable).
class SongFile {
  public:
    explicit SongFile(const std::string& path) {
        const int opened = ov_fopen(path.c_str(), &vf_);
        open_ = opened == 0;
        if (!open_) {
            problem = opened == OV_FALSE ? "cannot be opened" : "is not an Ogg Vorbis file";
            return;
        }
        first_ = ov_info(&vf_, 0);
        if (!first_ || (first_->channels != 1 && first_->channels != 2))
            problem = "has other than one or two channels";
        else if (first_->rate <= 0 || first_->rate > INT_MAX)
            problem = "has no usable sample rate";
        else
            for (int link = 1; link < ov_streams(&vf_) && problem.empty(); ++link)
                if (!sameShape(ov_info(&vf_, link)))
                    problem = "changes its channels or sample rate between chained streams";
    }
    ~SongFile() {
        if (open_) ov_clear(&vf_);
    }
    SongFile(const SongFile&) = delete;
    SongFile& operator=(const SongFile&) = delete;

    bool sameShape(const vorbis_info* link) const {
        return link && link->channels == first_->channels && link->rate == first_->rate;
    }
    int channels() const { return first_->channels; }
    int hertz() const { return int(first_->rate); }
    // The length the last page claims, which a damaged or hostile file can overstate.
    std::int64_t claimedFrames() { return std::max<ogg_int64_t>(ov_pcm_total(&vf_, -1), 0); }
    OggVorbis_File* vf() { return &vf_; }

    std::string problem;

  private:
    OggVorbis_File vf_;
    bool open_ = false;
    const vorbis_info* first_ = nullptr;
};

// What the pages of a song's streams say, read from the first byte of the file to the last
// through the Ogg page sync (checksums checked) without decoding any audio. Pages of streams
// other than the song's (another kind of data in the same file) are passed over. A stream here
// runs from a page that starts it to a page that ends it; several may share a serial number one
// after the other, which the file reader takes for one stream.
struct SongPages {
    bool read = false;             // the file was read to its end
    bool everyByte = true;         // every byte lies in a page whose checksum holds
    int starts = 0;                // pages that start a stream
    bool stalls = false;           // a stream's position goes back, or stays past its headers
    bool missing = false;          // a stream skips page numbers: pages were lost or spoilt
    bool unended = false;          // a stream with no page that ends it: the file is cut short
    std::int64_t missingAfter = 0; // the stream's position before the first missing page
    std::int64_t statedFrames = 0; // the last position of every stream, summed
    // Where each stream that ends does, in frames of the whole file (the sum so far). A stream
    // that starts under the serial number of one that ended there is a gap to the file reader.
    std::vector<std::int64_t> ends;

    // Decoding in parts needs one stream whose every page is there in order.
    bool plain() const {
        return read && everyByte && starts == 1 && !stalls && !missing && !unended;
    }
};

SongPages readSongPages(const std::string& path, SongFile& song) {
    struct Stream {
        bool open = false;
        long page = 0;             // number of the last page seen
        std::int64_t position = 0; // last position seen
    };
    std::vector<std::pair<long, Stream>> streams; // by serial number: the song's links
    for (int link = 0; link < ov_streams(song.vf()); ++link)
        streams.push_back({ov_serialnumber(song.vf(), link), Stream{}});
    const auto find = [&](long serial) -> Stream* {
        for (auto& [s, stream] : streams)
            if (s == serial) return &stream;
        return nullptr;
    };

    SongPages pages;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return pages;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_page page;
    for (bool atEnd = false; !atEnd;) {
        const long seek = ogg_sync_pageseek(&sync, &page);
        if (seek < 0) pages.everyByte = false; // bytes that belong to no page
        if (seek == 0) {
            constexpr long kChunk = 1 << 16;
            char* to = ogg_sync_buffer(&sync, kChunk);
            const std::size_t got = to ? std::fread(to, 1, kChunk, file) : 0;
            if (got == 0)
                atEnd = true;
            else
                ogg_sync_wrote(&sync, long(got));
            continue;
        }
        Stream* s = seek > 0 ? find(ogg_page_serialno(&page)) : nullptr;
        if (!s) continue;
        const long number = ogg_page_pageno(&page);
        if (ogg_page_bos(&page)) {
            pages.unended = pages.unended || s->open;
            ++pages.starts;
            *s = Stream{true, number, 0};
        } else if (!s->open || number != s->page + 1) {
            if (!pages.missing) pages.missingAfter = s->position;
            pages.missing = true;
            s->open = true;
        }
        s->page = number;
        if (const std::int64_t at = ogg_page_granulepos(&page); at >= 0) {
            // Every page past the headers ends some audio, so its position moves on; two pages
            // ending at one position leave a seek free to start after either.
            pages.stalls = pages.stalls || at < s->position || (at > 0 && at == s->position);
            s->position = at;
        }
        if (ogg_page_eos(&page)) {
            s->open = false;
            pages.statedFrames += s->position;
            pages.ends.push_back(pages.statedFrames);
        }
    }
    // Bytes left in the sync are a page the file ends inside of.
    pages.everyByte = pages.everyByte && sync.fill == sync.returned;
    pages.read = !std::ferror(file);
    for (const auto& [serial, stream] : streams)
        if (stream.open) {
            pages.unended = true;
            pages.statedFrames += stream.position;
        }
    ogg_sync_clear(&sync);
    std::fclose(file);
    return pages;
}

// Bytes of PCM reserved per byte of the file before decoding. Vorbis packs 16-bit PCM about 10
// to 40 times smaller; past the reservation the store grows as it fills, so a claimed length
// larger than the file can hold reserves nothing extra.
constexpr std::uintmax_t kReservePerFileByte = 64;

// The bytes reserved for the song's PCM before decoding: its claimed length, as far as the file
// can hold it.
std::size_t reservation(SongFile& song, std::uintmax_t fileBytes) {
    const std::uintmax_t claimed =
        std::uintmax_t(song.claimedFrames()) * std::uintmax_t(2 * song.channels());
    return std::size_t(std::min<std::uintmax_t>(
        {claimed, fileBytes * kReservePerFileByte, std::uintmax_t(INT_MAX)}));
}

AudioSampleRef makeSample(std::shared_ptr<std::vector<std::uint8_t>> store, int channels,
                          int hertz) {
    auto sample = std::make_shared<TAudioSample>();
    sample->length = int(store->size() / std::size_t(2 * channels));
    sample->store = std::move(store);
    sample->samples = sample->store->data();
    sample->hertz = hertz;
    sample->format = channels == 1 ? SF_MONO16LE : SF_STEREO16LE;
    return sample;
}

std::string seconds(std::int64_t frames, int hertz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", double(frames) / hertz);
    return text;
}

// Decodes the whole file from where it stands, in order. Null, with the reason in `why`, when
// the data has a gap (a page lost or spoilt in the middle; the file reader reports the start of
// a stream under the serial number of the one before as one too, and those are passed over) or
// cannot be decoded.
AudioSampleRef decodeSong(SongFile& song, const SongPages& pages, std::uintmax_t fileBytes,
                          const LoadGivenUp& stop, std::string& why) {
    auto store = std::make_shared<std::vector<std::uint8_t>>();
    store->reserve(reservation(song, fileBytes));

    const std::size_t frameBytes = std::size_t(2 * song.channels());
    char buffer[16384];
    for (;;) {
        if (givenUp(stop)) return nullptr;
        int link = 0;
        const long got = ov_read(song.vf(), buffer, sizeof buffer, 0, 2, 1, &link);
        if (got == 0) break;
        const std::int64_t decoded = std::int64_t(store->size() / frameBytes);
        if (got == OV_HOLE &&
            std::find(pages.ends.begin(), pages.ends.end(), decoded) != pages.ends.end())
            continue;
        if (got == OV_HOLE) {
            why = "has a gap in its data at " + seconds(decoded, song.hertz());
            return nullptr;
        }
        if (got < 0) {
            why = "cannot be decoded after " + seconds(decoded, song.hertz());
            return nullptr;
        }
        if (!song.sameShape(ov_info(song.vf(), link))) {
            why = "changes its channels or sample rate between chained streams";
            return nullptr;
        }
        if (store->size() + std::size_t(got) > std::size_t(INT_MAX)) {
            why = "is too long to hold in memory";
            return nullptr;
        }
        store->insert(store->end(), buffer, buffer + got);
    }
    return makeSample(std::move(store), song.channels(), song.hertz());
}

// A long song decodes in parts, each on a thread of its own from a position of its own: the
// decoder is exact at any position, so the parts join into the same PCM as one pass. Parts are
// at least this many frames long, and there are at most kMostParts of them.
constexpr std::int64_t kLeastPartFrames = std::int64_t(1) << 16;
constexpr std::int64_t kMostParts = 4;

// Decodes `frames` frames from frame `first` of the file into `to`, and when `last`, checks
// that the file ends there. False on any trouble: the file cannot be opened again or positioned
// exactly at `first`, a read fails or finds a gap, the data runs short, the file's positions
// after the part are not `first + frames` (its positions and its audio disagree, so the part
// would not join the next where one pass does), or (last) it goes on past its claimed end.
bool decodePart(const std::string& path, std::int64_t first, std::int64_t frames, bool last,
                const LoadGivenUp& stop, std::uint8_t* to) {
    SongFile part(path);
    if (!part.problem.empty() || ov_streams(part.vf()) != 1) return false;
    if (first > 0 && ov_pcm_seek(part.vf(), first) != 0) return false;
    if (ov_pcm_tell(part.vf()) != first) return false;
    const std::int64_t frameBytes = 2 * part.channels();
    std::int64_t left = frames * frameBytes;
    int link = 0;
    while (left > 0) {
        if (givenUp(stop)) return false;
        const int want = int(std::min<std::int64_t>(left, 16384));
        const long got = ov_read(part.vf(), reinterpret_cast<char*>(to), want, 0, 2, 1, &link);
        if (got <= 0) return false;
        to += got;
        left -= got;
    }
    if (ov_pcm_tell(part.vf()) != first + frames) return false;
    char probe[64];
    return !last || ov_read(part.vf(), probe, sizeof probe, 0, 2, 1, &link) == 0;
}

// The parts a song decodes in (0 or 1: decode it in one pass). Only a song of one stream whose
// pages are all there in order, whose positions start at 0 (the file reader's length is the
// last page's position) and whose whole length can be reserved decodes in parts; anything else
// decodes in one pass.
int partsFor(SongFile& song, const SongPages& pages, std::uintmax_t fileBytes) {
    if (!pages.plain() || ov_streams(song.vf()) != 1 || !ov_seekable(song.vf())) return 0;
    const std::int64_t frames = song.claimedFrames();
    if (frames != pages.statedFrames ||
        reservation(song, fileBytes) !=
            std::uintmax_t(frames) * std::uintmax_t(2 * song.channels()))
        return 0;
    return int(std::min(kMostParts, frames / kLeastPartFrames));
}

// The song in parts on threads of their own (see kLeastPartFrames); null when any part fails,
// and the song is then decoded in one pass.
AudioSampleRef decodeSongInParts(const std::string& path, SongFile& song, int parts,
                                 const LoadGivenUp& stop) {
    const std::int64_t frames = song.claimedFrames();
    const std::int64_t frameBytes = 2 * song.channels();
    auto store = std::make_shared<std::vector<std::uint8_t>>(std::size_t(frames * frameBytes));
    std::vector<std::future<bool>> rest;
    const auto start = [&](int k) { return frames * k / parts; };
    const auto decode = [&](int k) {
        return decodePart(path, start(k), start(k + 1) - start(k), k == parts - 1, stop,
                          store->data() + start(k) * frameBytes);
    };
    bool ok = true;
    try {
        for (int k = 1; k < parts; ++k) rest.push_back(std::async(std::launch::async, decode, k));
    } catch (const std::system_error&) {
        ok = false; // no thread to be had: the parts already started finish, and go unused
    }
    ok = ok && decode(0);
    for (std::future<bool>& f : rest) ok = f.get() && ok;
    return ok ? makeSample(std::move(store), song.channels(), song.hertz()) : nullptr;
}

// An Ogg Vorbis song, or null with the reason in `why`.
AudioSampleRef loadOggSong(const std::string& path, const LoadGivenUp& stop, std::string& why) {
    SongFile song(path);
    if (!song.problem.empty()) {
        why = song.problem;
        return nullptr;
    }
    const SongPages pages = readSongPages(path, song);
    if (!pages.read) {
        why = "cannot be read";
        return nullptr;
    }
    if (pages.missing) {
        why = "has a gap in its data at " + seconds(pages.missingAfter, song.hertz()) +
              " (pages are missing)";
        return nullptr;
    }
    if (pages.unended) {
        why = "is cut short: it ends before the last page of its stream";
        return nullptr;
    }
    std::error_code ec;
    std::uintmax_t fileBytes = std::filesystem::file_size(path, ec);
    if (ec) fileBytes = 0;
    AudioSampleRef sample;
    const int parts = partsFor(song, pages, fileBytes);
    if (parts > 1) sample = decodeSongInParts(path, song, parts, stop);
    if (!sample && !givenUp(stop)) sample = decodeSong(song, pages, fileBytes, stop, why);
    // The length the pages state counts from each link's first position, which need not be 0.
    // The decoder trims a stream's end only within its last block, so a song of streams under
    // serial numbers of their own decodes to exactly that length; more means the last page
    // states less than the song holds. Streams joined under one serial number decode a little
    // more at each join, where the decoder overlaps them.
    std::int64_t stated = pages.statedFrames;
    for (int link = 0; link < ov_streams(song.vf()); ++link)
        stated -= song.vf()->pcmlengths ? song.vf()->pcmlengths[2 * link] : 0;
    const bool joins = pages.starts > ov_streams(song.vf());
    if (sample && (sample->length < stated || (sample->length > stated && !joins))) {
        why = "decodes to " + std::to_string(sample->length) + " frames (" +
              seconds(sample->length, song.hertz()) + ")" +
              (sample->length < stated ? " of the " : ", more than the ") + std::to_string(stated) +
              " (" + seconds(stated, song.hertz()) + ") its last page states";
        return nullptr;
    }
    return sample;
}

// A WAVE file read through SDL, its samples converted to 16-bit little-endian at the file's
// rate, one or two channels (more are mixed down to two), or null with the reason in `why`.
AudioSampleRef loadWaveSound(const std::vector<std::uint8_t>& bytes, std::string& why) {
    // A data chunk that states more bytes than the file holds is a file cut short, which SDL
    // would play up to where it ends.
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const auto word = [&](std::size_t i) {
            return std::uint32_t(bytes[i]) | std::uint32_t(bytes[i + 1]) << 8 |
                   std::uint32_t(bytes[i + 2]) << 16 | std::uint32_t(bytes[i + 3]) << 24;
        };
        const std::uint32_t size = word(at + 4);
        const std::size_t left = bytes.size() - at - 8;
        if (std::memcmp(&bytes[at], "data", 4) == 0) {
            if (size > left) {
                why = "is cut short: its data chunk states " + std::to_string(size) +
                      " bytes and the file holds " + std::to_string(left);
                return nullptr;
            }
            break;
        }
        if (size >= left) break; // SDL names what is wrong
        at += 8 + std::size_t(size) + (size & 1);
    }

    SDL_RWops* in = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
    SDL_AudioSpec spec{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    if (!in || !SDL_LoadWAV_RW(in, 1, &spec, &data, &length)) {
        why = std::string("is not a readable WAVE file (") + SDL_GetError() + ")";
        return nullptr;
    }
    const std::unique_ptr<Uint8, void (*)(Uint8*)> held(data, SDL_FreeWAV);
    if (spec.freq <= 0 || spec.channels == 0) {
        why = "states no sample rate or no channels";
        return nullptr;
    }
    const int channels = spec.channels == 1 ? 1 : 2;
    std::shared_ptr<std::vector<std::uint8_t>> store;
    if ((spec.format == AUDIO_U8 || spec.format == AUDIO_S16LSB) && spec.channels <= 2) {
        // 8 and 16 bits as the sample formats of the same width play them (readValue).
        const int format = spec.format == AUDIO_U8 ? SF_MONO8 : SF_MONO16LE;
        const std::size_t values = length / std::size_t(BytesPerSample(format));
        store = std::make_shared<std::vector<std::uint8_t>>(values * 2);
        for (std::size_t i = 0; i < values; ++i) {
            const std::int16_t v =
                readValue(data + i * std::size_t(BytesPerSample(format)), format);
            (*store)[2 * i] = std::uint8_t(std::uint16_t(v));
            (*store)[2 * i + 1] = std::uint8_t(std::uint16_t(v) >> 8);
        }
    } else {
        // Any other encoding (float, 24 and 32 bits, big-endian, more than two channels)
        // through SDL's converter.
        SDL_AudioCVT cvt;
        if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16LSB,
                              Uint8(channels), spec.freq) < 0) {
            why = std::string("cannot be converted (") + SDL_GetError() + ")";
            return nullptr;
        }
        const int mult = std::max(cvt.len_mult, 1);
        cvt.len = int(std::min<Uint32>(length, Uint32(INT_MAX / mult)));
        store =
            std::make_shared<std::vector<std::uint8_t>>(std::size_t(cvt.len) * std::size_t(mult));
        if (cvt.len > 0) std::memcpy(store->data(), data, std::size_t(cvt.len));
        cvt.buf = store->data();
        if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) {
            why = std::string("cannot be converted (") + SDL_GetError() + ")";
            return nullptr;
        }
        store->resize(std::size_t(cvt.needed ? cvt.len_cvt : cvt.len));
    }
    store->resize(store->size() - store->size() % std::size_t(2 * channels));
    return makeSample(std::move(store), channels, spec.freq);
}

bool isWaveFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    char head[12] = {};
    if (!in.read(head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    in.seekg(0);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

} // namespace

std::string ProbeAudioFile(const std::string& path, AudioFileInfo* info) {
    SongFile song(path);
    if (song.problem.empty() && info) {
        info->channels = song.channels();
        info->hertz = song.hertz();
        info->claimedFrames = song.claimedFrames();
    }
    return song.problem;
}

AudioSampleRef LoadAudioSample(const std::string& path, const LoadGivenUp& stop) {
    std::string why;
    AudioSampleRef sample;
    try {
        std::vector<std::uint8_t> wave;
        sample = isWaveFile(path, wave) ? loadWaveSound(wave, why) : loadOggSong(path, stop, why);
    } catch (const std::bad_alloc&) {
        why = "is too large for the memory there is";
        sample = nullptr;
    }
    if (givenUp(stop)) return nullptr; // given up on, not refused: nothing to say
    if (!sample) Warning("Sound " + path + " " + why + ": not loaded");
    return sample;
}

namespace {

bool validSample(const AudioSampleRef& sample) {
    return sample && validShape(sample->length, sample->hertz, sample->format) &&
           (sample->samples || sample->length == 0);
}

bool mixerFormat(const TAudioSample& sample) {
    return std::endian::native == std::endian::little &&
           (sample.format == SF_MONO16LE || sample.format == SF_STEREO16LE);
}

// A sound of `frames` frames of the valid sample from frame `first` on, its values as given.
SoundRef makeSound(const TAudioSample& sample, int frames, int flags,
                   std::shared_ptr<const std::int16_t> pcm) {
    auto sound = std::make_shared<TSound>();
    sound->length = frames;
    sound->hertz = sample.hertz;
    sound->channels = ChannelsPerSample(sample.format);
    sound->flags = flags;
    sound->values = std::size_t(frames) * sound->channels;
    sound->pcm = std::move(pcm);
    return sound;
}

// The same with a copy of the frames.
SoundRef copySound(const TAudioSample& sample, int first, int frames, int flags) {
    const int channels = ChannelsPerSample(sample.format);
    const int bytes = BytesPerSample(sample.format) / channels;
    const std::uint8_t* from = sample.samples + std::size_t(first) * BytesPerSample(sample.format);
    const std::size_t values = std::size_t(frames) * channels;
    const bool aligned = reinterpret_cast<std::uintptr_t>(from) % alignof(std::int16_t) == 0;
    std::shared_ptr<std::vector<std::int16_t>> pcm;
    if (mixerFormat(sample) && aligned && values > 0) {
        // Copied in one pass, without zeroing the memory first.
        const auto* begin = reinterpret_cast<const std::int16_t*>(from);
        pcm = std::make_shared<std::vector<std::int16_t>>(begin, begin + values);
    } else if (mixerFormat(sample) && values > 0) {
        pcm = std::make_shared<std::vector<std::int16_t>>(values);
        std::memcpy(pcm->data(), from, values * sizeof(std::int16_t));
    } else {
        pcm = std::make_shared<std::vector<std::int16_t>>(values);
        for (std::size_t i = 0; i < values; ++i)
            (*pcm)[i] = readValue(from + i * bytes, sample.format);
    }
    const std::int16_t* data = pcm->data();
    return makeSound(sample, frames, flags, std::shared_ptr<const std::int16_t>(pcm, data));
}

} // namespace

SoundRef LoadSound(const AudioSampleRef& sample, int flags) {
    if (!validSample(sample)) return nullptr;
    return copySound(*sample, 0, sample->length, flags);
}

SoundRef ShareSound(const AudioSampleRef& sample, int first, int frames, int flags) {
    if (!validSample(sample)) return nullptr;
    first = std::clamp(first, 0, sample->length);
    frames = std::clamp(frames, 0, sample->length - first);
    const std::uint8_t* from =
        sample->samples + std::size_t(first) * BytesPerSample(sample->format);
    const bool aligned = reinterpret_cast<std::uintptr_t>(from) % alignof(std::int16_t) == 0;
    if (!sample->store || !mixerFormat(*sample) || !aligned || frames == 0)
        return copySound(*sample, first, frames, flags);
    return makeSound(*sample, frames, flags,
                     std::shared_ptr<const std::int16_t>(
                         sample->store, reinterpret_cast<const std::int16_t*>(from)));
}

SoundRef LoadSound(const std::string& path, int flags) {
    return LoadSound(LoadAudioSample(path), flags);
}

ChannelRef PlaySound(const SoundRef& sound, const ChannelRef& channel) {
    if (!sound || (!sound->pcm && sound->length != 0) || sound->hertz <= 0 || sound->length < 0 ||
        (sound->channels != 1 && sound->channels != 2) ||
        sound->values < std::size_t(sound->length) * sound->channels)
        return nullptr;

    Mixer& m = mixer();
    if (!m.virtualDevice && m.device == 0 && !m.openFailed) {
        m.openFailed = !m.openDevice();
        if (m.openFailed) {
            DebugLog("Audio: no audio driver could be started; sounds will not advance");
            m.closeDevice();
        }
    }

    auto voice = std::make_shared<Voice>();
    voice->pcm = sound->pcm;
    voice->length = sound->length;
    voice->channels = sound->channels;
    voice->loop = (sound->flags & kSoundLoop) != 0;
    voice->step = std::max<std::uint64_t>(
        1, std::uint64_t(std::llround(double(sound->hertz) / kMixerHertz * 4294967296.0)));
    voice->active.store(sound->length > 0);

    ChannelRef result = channel ? channel : std::make_shared<TChannel>();
    if (result->voice) {
        voice->volume.store(result->voice->volume.load());
        result->voice->active.store(false);
    }
    result->voice = voice;
    m.prune(std::move(voice));
    return result;
}

int ChannelPlaying(const ChannelRef& channel) {
    if (!channel || !channel->voice) return 0;
    const Voice& v = *channel->voice;
    if (!v.active.load(std::memory_order_acquire)) return 0;
    const std::int64_t played = v.played.load(std::memory_order_relaxed);
    return played >= INT_MAX ? INT_MAX : int(played + 1);
}

void StopChannel(const ChannelRef& channel) {
    if (!channel || !channel->voice) return;
    channel->voice->active.store(false);
    mixer().prune();
}

void SetChannelVolume(const ChannelRef& channel, float volume) {
    if (!channel || !channel->voice) return;
    if (!(volume > 0.0f)) volume = 0.0f; // negative and NaN
    channel->voice->volume.store(volume);
}

void PauseChannel(const ChannelRef& channel) {
    if (channel && channel->voice) channel->voice->paused.store(true);
}

void ResumeChannel(const ChannelRef& channel) {
    if (channel && channel->voice) channel->voice->paused.store(false);
}

void SetAudioOutputByHand(bool byHand) {
    Mixer& m = mixer();
    m.closeDevice();
    m.stopAll();
    m.virtualDevice = byHand;
    m.openFailed = false;
}

std::vector<std::int16_t> MixAudioFrames(int frames) {
    Mixer& m = mixer();
    if (!m.virtualDevice || frames <= 0) return {};
    std::vector<std::int16_t> out(std::size_t(frames) * 2);
    m.mix(out.data(), frames);
    return out;
}

std::string AudioDriverName() {
    const Mixer& m = mixer();
    if (m.virtualDevice) return "virtual";
    return m.device != 0 ? m.driver : std::string();
}

int AudioDeviceBufferFrames() {
    return mixer().bufferFrames;
}

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
#include <cstring>
#include <filesystem>
#include <future>
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

AudioSampleRef makeSample(std::shared_ptr<std::vector<std::uint8_t>> store, const SongFile& song) {
    auto sample = std::make_shared<TAudioSample>();
    const int frameBytes = 2 * song.channels();
    sample->store = std::move(store);
    sample->samples = sample->store->data();
    sample->length = int(sample->store->size() / frameBytes);
    sample->hertz = song.hertz();
    sample->format = song.channels() == 1 ? SF_MONO16LE : SF_STEREO16LE;
    return sample;
}

// Decodes the whole file from where it stands, in order, skipping over gaps in the data.
AudioSampleRef decodeSong(SongFile& song, std::uintmax_t fileBytes) {
    auto store = std::make_shared<std::vector<std::uint8_t>>();
    store->reserve(reservation(song, fileBytes));

    char buffer[16384];
    for (;;) {
        int link = 0;
        const long got = ov_read(song.vf(), buffer, sizeof buffer, 0, 2, 1, &link);
        if (got == 0) break;
        if (got == OV_HOLE) continue; // a gap in the data: skip it and go on
        if (got < 0) return nullptr;
        if (!song.sameShape(ov_info(song.vf(), link))) return nullptr;
        if (store->size() + std::size_t(got) > std::size_t(INT_MAX)) return nullptr;
        store->insert(store->end(), buffer, buffer + got);
    }
    return makeSample(std::move(store), song);
}

// A long song decodes in parts, each on a thread of its own from a position of its own: the
// decoder is exact at any position, so the parts join into the same PCM as one pass. Parts are
// at least this many frames long, and there are at most kMostParts of them.
constexpr std::int64_t kLeastPartFrames = std::int64_t(1) << 16;
constexpr std::int64_t kMostParts = 4;

// Decodes `frames` frames from frame `first` of the file into `to`, and when `last`, checks
// that the file ends there. False on any trouble: the file cannot be opened again or positioned,
// a read fails or finds a gap, the data runs short, or (last) it goes on past its claimed end.
bool decodePart(const std::string& path, std::int64_t first, std::int64_t frames, bool last,
                std::uint8_t* to) {
    SongFile part(path);
    if (!part.problem.empty() || ov_streams(part.vf()) != 1) return false;
    if (first > 0 && ov_pcm_seek(part.vf(), first) != 0) return false;
    const std::int64_t frameBytes = 2 * part.channels();
    std::int64_t left = frames * frameBytes;
    int link = 0;
    while (left > 0) {
        const int want = int(std::min<std::int64_t>(left, 16384));
        const long got = ov_read(part.vf(), reinterpret_cast<char*>(to), want, 0, 2, 1, &link);
        if (got <= 0) return false;
        to += got;
        left -= got;
    }
    char probe[64];
    return !last || ov_read(part.vf(), probe, sizeof probe, 0, 2, 1, &link) == 0;
}

// The parts a song of one stream decodes in when its whole claimed length can be reserved (0 or
// 1: decode it in one pass).
int partsFor(SongFile& song, std::uintmax_t fileBytes) {
    if (ov_streams(song.vf()) != 1 || !ov_seekable(song.vf())) return 0;
    const std::int64_t frames = song.claimedFrames();
    if (reservation(song, fileBytes) !=
        std::uintmax_t(frames) * std::uintmax_t(2 * song.channels()))
        return 0;
    return int(std::min(kMostParts, frames / kLeastPartFrames));
}

// The song in parts on threads of their own (see kLeastPartFrames); null when any part fails,
// and the song is then decoded in one pass.
AudioSampleRef decodeSongInParts(const std::string& path, SongFile& song, int parts) {
    const std::int64_t frames = song.claimedFrames();
    const std::int64_t frameBytes = 2 * song.channels();
    auto store = std::make_shared<std::vector<std::uint8_t>>(std::size_t(frames * frameBytes));
    std::vector<std::future<bool>> rest;
    const auto start = [&](int k) { return frames * k / parts; };
    const auto decode = [&](int k) {
        return decodePart(path, start(k), start(k + 1) - start(k), k == parts - 1,
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
    return ok ? makeSample(std::move(store), song) : nullptr;
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

AudioSampleRef LoadAudioSample(const std::string& path) {
    SongFile song(path);
    if (!song.problem.empty()) return nullptr;
    std::error_code ec;
    const std::uintmax_t fileBytes = std::filesystem::file_size(path, ec);
    try {
        const int parts = partsFor(song, ec ? 0 : fileBytes);
        if (parts > 1)
            if (AudioSampleRef sample = decodeSongInParts(path, song, parts)) return sample;
        return decodeSong(song, ec ? 0 : fileBytes);
    } catch (const std::bad_alloc&) {
        return nullptr; // a song too large for the memory there is: not loaded
    }
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

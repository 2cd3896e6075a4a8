// Audio: decoded samples, sounds, channels and the software mixer that plays them.
//
// The mixer runs at 44,100 frames per second, 16-bit stereo. It sums every playing channel
// (with clipping), loops sounds that repeat and resamples sounds of any other rate linearly.
// Its output goes to the sound device through SDL's audio callback; when no device opens it
// falls back to SDL's dummy driver, which still consumes frames in real time. (The tests and
// tools drive it by hand instead, a given number of frames per step: the virtual device of
// the test library.)
//
// All calls are made from one thread (the main thread); the mixer itself runs on the audio
// thread. Null handles are accepted everywhere and do nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Sample formats, numbered as the rest of the program expects them. 8-bit samples are
// unsigned (silence is 128); 16-bit samples are signed.
enum AudioFormat : int {
    SF_MONO8 = 1,      // one channel, 1 byte per frame
    SF_MONO16LE = 2,   // one channel, 2 bytes per frame, little-endian
    SF_MONO16BE = 3,   // one channel, 2 bytes per frame, big-endian
    SF_STEREO8 = 4,    // two channels, 2 bytes per frame
    SF_STEREO16LE = 5, // two channels, 4 bytes per frame, little-endian
    SF_STEREO16BE = 6, // two channels, 4 bytes per frame, big-endian
};

// Bytes in one sample frame of the format (all its channels); 0 for an unknown format.
int BytesPerSample(int format);
// Channels of the format, 1 or 2; 0 for an unknown format.
int ChannelsPerSample(int format);

// The mixer's output rate in frames per second.
constexpr int kMixerHertz = 44100;

class TAudioSample;
class TSound;
class TChannel;
using AudioSampleRef = std::shared_ptr<TAudioSample>;
using SoundRef = std::shared_ptr<TSound>;
using ChannelRef = std::shared_ptr<TChannel>;

// Sample frames in memory: `length` frames of `format` at `hertz` frames per second,
// starting at `samples`. The memory is either owned (held by `store`) or borrowed from the
// caller (a static sample, `store` null), in which case the caller keeps it alive.
class TAudioSample {
  public:
    std::uint8_t* samples = nullptr;
    int length = 0; // frames
    int hertz = 0;
    int format = 0;
    std::shared_ptr<std::vector<std::uint8_t>> store;
};

// A new sample of the given size with its own zeroed memory. Null for a negative length,
// a non-positive rate or an unknown format.
AudioSampleRef CreateAudioSample(int length, int hertz, int format);

// A sample over existing memory, which is not copied. Null for null memory (unless the
// length is 0), a negative length, a non-positive rate or an unknown format.
AudioSampleRef CreateStaticAudioSample(void* samples, int length, int hertz, int format);

// Decodes a whole Ogg Vorbis or WAVE file into 16-bit PCM in memory: SF_MONO16LE or
// SF_STEREO16LE at the file's rate (a WAVE file of more than two channels is mixed down to two,
// through SDL's converter). A song is refused when it is damaged: pages lost or spoilt (a gap
// in its data), a file cut short (its stream has no last page, or a WAVE data chunk states more
// than the file holds), or decoding to another length than its last page states, counted from
// the stream's first position (which need not be 0). Null for those,
// for a missing, unreadable or corrupt file, one with more than two channels, a chained file
// whose links differ in channels or rate, or a song too large for the memory available; each
// refusal is named through Warning ("Sound <path> <why>: not loaded"). Memory is reserved by
// what the file can hold, not by the length it claims. The PCM is always what decoding the file
// in one pass from the start gives, however the work is divided.
//
// A load may be given up on: `stop` (when given) is asked between chunks of decoding, a few
// thousand frames each, on every thread of the load, so it must be safe to call from any
// thread. Once it says true the load ends within a chunk and returns null, warning of nothing.
using LoadGivenUp = std::function<bool()>;
AudioSampleRef LoadAudioSample(const std::string& path, const LoadGivenUp& stop = {});

// What the headers of an Ogg Vorbis file say, without decoding its audio.
struct AudioFileInfo {
    int channels = 0;
    int hertz = 0;
    std::int64_t claimedFrames = 0; // the length the last page gives; a bad file can lie
};
// Reads the headers of every link and the last page of an Ogg Vorbis file. Returns "" and
// fills `info` (when given) if LoadAudioSample would accept the file's shape, else a short
// reason ("cannot be opened", "is not an Ogg Vorbis file", ...). A damaged body past the
// headers is found only by decoding.
std::string ProbeAudioFile(const std::string& path, AudioFileInfo* info = nullptr);

// Sound flags.
constexpr int kSoundLoop = 1; // the sound repeats until its channel is stopped

// A sound ready for the mixer: sample frames as signed 16-bit PCM (interleaved when stereo),
// with the rate and channel count of the sample it was made of. `pcm` points at the first
// value and holds the memory alive: a copy of the sound's own, or the memory of the sample it
// shares (ShareSound); `values` counts the values there from `pcm` on.
class TSound {
  public:
    int length = 0; // frames
    int hertz = 0;
    int channels = 0; // 1 or 2
    int flags = 0;
    std::shared_ptr<const std::int16_t> pcm;
    std::size_t values = 0;
};

// A sound made of a copy of the sample's frames; later changes to the sample's memory do
// not reach it. Null for a null or invalid sample.
SoundRef LoadSound(const AudioSampleRef& sample, int flags = 0);
// A sound of `frames` frames of the sample from frame `first` on (both clipped to the sample).
// Where the sample owns its memory (`store`) in the mixer's format (16-bit little-endian on a
// little-endian machine) the sound shares that memory, holding it alive, instead of copying
// it: nothing is copied, and later changes to the memory reach the sound. Any other sample is
// copied as LoadSound does. Null for a null or invalid sample.
SoundRef ShareSound(const AudioSampleRef& sample, int first, int frames, int flags = 0);
// The same from an Ogg Vorbis or WAVE file (see LoadAudioSample); null, with a warning naming
// why, when the file cannot be loaded.
SoundRef LoadSound(const std::string& path, int flags = 0);

// One playing sound. A channel stops when StopChannel is called or when a sound that does
// not repeat reaches its end.
class TChannel {
  public:
    struct Voice;
    std::shared_ptr<Voice> voice; // mixer state, shared with the audio thread
};

// Starts the sound from its first frame and returns its channel: a new channel when
// `channel` is null, else the given channel, whose previous sound stops. Opens the sound
// device on first use. Null (and nothing plays) for a null sound.
ChannelRef PlaySound(const SoundRef& sound, const ChannelRef& channel = nullptr);

// While the channel plays (also while paused): the number of the sound's frames played so
// far plus 1, counted as frames are handed to the device (for a repeating sound, all passes
// together; saturates at the largest int). 0 once the channel has stopped or ended, and for
// a null channel.
int ChannelPlaying(const ChannelRef& channel);

// Stops the channel's sound (ChannelPlaying then reads 0); PlaySound may give it a new one.
void StopChannel(const ChannelRef& channel);

// Scales the channel's samples: 1 plays them as they are, 0 silences them. Negative or
// non-numeric volumes count as 0; volumes above 1 amplify (the mix is clipped).
void SetChannelVolume(const ChannelRef& channel, float volume);

// A paused channel keeps its place and still counts as playing but does not advance.
void PauseChannel(const ChannelRef& channel);
// Lets a paused channel play on from where it was paused.
void ResumeChannel(const ChannelRef& channel);

// Name of the driver in use: "virtual" (driven by hand), the SDL audio driver of an open
// device (for example "pulseaudio", or "dummy" after the fallback), or "" when no device is
// open.
std::string AudioDriverName();

// Frames per callback of the open sound device (0 when none is open).
int AudioDeviceBufferFrames();

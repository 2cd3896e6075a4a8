// The song that drives the demo's clock, and the clock itself.
//
// The demo has no frame timer: phase changes and beat events follow the play position of
// the song, read once per frame as `ticks` of 1/30 second.
#pragma once

#include "platform/audio.h"

#include <cstdint>
#include <memory>
#include <string>

// Demo time in ticks (30 per second of music): written once per frame from the music's
// position() and read by every phase.
extern float ticks;

// Milliseconds per tick and frames per millisecond, as single-precision values (100/3 and
// 44.1 rounded to a float).
constexpr float kMsPerTick = 33.333332f;
constexpr float kFramesPerMs = 44.099998f;

// The part of a song that tmusic::Play(start, end) plays.
struct SongSpan {
    float startframe = 0;    // the start tick in sample frames, before truncation
    std::int64_t offset = 0; // byte offset of the first frame played: whole frames
    int frames = 0;          // number of frames played
};
SongSpan GetSongSpan(const TAudioSample& song, float start, float end);

// The song that drives the clock.
inline constexpr const char* kMainSongFile = "media/musica.ogg";

// The clock's tick at the end of a song of `frames` frames (the clock counts 1470 frames a
// tick whatever the song's rate).
double SongEndTick(std::int64_t frames);

// The main song must still play a second past the last phase threshold, so that the frame
// loop reads the clock past it before the song ends (once it ends the clock falls back to 0
// and the show would stall). "" when a song of `frames` frames is long enough, else why not
// ("ends at tick ..."), phrased to follow the file's name.
inline constexpr double kSongSpareTicks = 30;
std::string MainSongTooShort(std::int64_t frames);

class tmusic;
using tmusicRef = std::shared_ptr<tmusic>;

// A song decoded whole into memory that plays a span of itself and reports its play
// position in ticks.
class tmusic {
  public:
    AudioSampleRef sample; // the whole song
    ChannelRef channel;    // the channel of the last Play; null before the first
    float startpos = 0;    // the tick at which the current playback began

    // Decodes the song. A missing or undecodable file is fatal: the demo cannot run
    // without its clock.
    static tmusicRef load(const std::string& path);
    // The same for a song decoded elsewhere (on a thread of its own): `sample` is what
    // LoadAudioSample(path) returned.
    static tmusicRef load(AudioSampleRef sample, const std::string& path);
    // load, and a song too short to carry the show to its end screen is fatal as well:
    // "Song too short: <path> ends at tick ...".
    static tmusicRef loadMain(const std::string& path);
    static tmusicRef loadMain(AudioSampleRef sample, const std::string& path);
    void stop();
    // Plays from tick `start` to tick `end` (0, or past the song: to its end). A start past
    // the end of the song ends the program (exit status 0). The channel of an earlier Play
    // is not stopped.
    void Play(float start, float end);
    // The current tick: startpos plus the channel's play position; startpos once stopped.
    float position() const;
    // The song's length in milliseconds.
    int GetLength() const;
};

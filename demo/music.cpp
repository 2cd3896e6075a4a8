#include "demo/music.h"

#include "demo/beat_tables.h"
#include "demo/float_math.h"
#include "platform/error.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

float ticks = 0;

// Every intermediate value is held as a float, as the clock has always computed it:
// products and quotients are formed in double and rounded when stored. The rounding
// matters: 1 tick is 1469.99994 frames at 44,100 Hz in double but 1470 as a float.
SongSpan GetSongSpan(const TAudioSample& song, float start, float end) {
    float s = MulF(start, kMsPerTick);
    float e = MulF(end, kMsPerTick);
    s = float(double(s) / 1000.0 * song.hertz);
    e = float(double(e) / 1000.0 * song.hertz);
    if (e == 0 || std::isnan(e) || double(e) > song.length) e = float(song.length);

    SongSpan span;
    span.startframe = s;
    // Start on a whole frame; a negative (or non-numeric) start plays from the beginning.
    const int first = s > 0 ? int(std::min<double>(s, song.length)) : 0;
    int bytes = BytesPerSample(song.format);
    if (bytes == 0) bytes = 1;
    span.offset = std::int64_t(first) * bytes;
    const double frames = std::trunc(double(e) - double(s));
    // Never past the end of the song, whatever the float rounding of e and s did.
    span.frames = frames > 0 ? int(std::min<double>(frames, song.length - first)) : 0;
    return span;
}

tmusicRef tmusic::load(const std::string& path) {
    return load(LoadAudioSample(path), path);
}

tmusicRef tmusic::load(AudioSampleRef sample, const std::string& path) {
    auto music = std::make_shared<tmusic>();
    music->sample = std::move(sample);
    if (!music->sample) RuntimeError("Cannot load music: " + path);
    return music;
}

double SongEndTick(std::int64_t frames) {
    return double(frames) / kFramesPerMs / kMsPerTick;
}

std::string MainSongTooShort(std::int64_t frames) {
    const double end = SongEndTick(frames);
    const double needed = beat_tables::kLastTick + kSongSpareTicks;
    if (end >= needed) return {};
    char text[160];
    std::snprintf(text, sizeof text,
                  "ends at tick %.0f (%.1f s); the show needs it to play to tick %.0f (%.0f s)",
                  std::floor(end), end / 30.0, needed, needed / 30.0);
    return text;
}

tmusicRef tmusic::loadMain(const std::string& path) {
    return loadMain(LoadAudioSample(path), path);
}

tmusicRef tmusic::loadMain(AudioSampleRef sample, const std::string& path) {
    tmusicRef music = load(std::move(sample), path);
    const std::string why = MainSongTooShort(music->sample->length);
    if (!why.empty()) RuntimeError("Song too short: " + path + " " + why);
    return music;
}

void tmusic::stop() {
    StopChannel(channel);
}

void tmusic::Play(float start, float end) {
    startpos = start;
    if (!sample) return;
    const SongSpan span = GetSongSpan(*sample, start, end);
    if (span.startframe > sample->length) End();
    // The span shares the song's memory: nothing is copied.
    const int first = int(span.offset / BytesPerSample(sample->format));
    channel = PlaySound(ShareSound(sample, first, span.frames, 0), nullptr);
}

float tmusic::position() const {
    const double p = ChannelPlaying(channel);
    return float(p / kFramesPerMs / kMsPerTick + startpos);
}

int tmusic::GetLength() const {
    if (!sample || sample->hertz <= 0) return 0;
    const double ms = double(sample->length) / sample->hertz * 1000.0;
    return ms < INT_MAX ? int(ms) : INT_MAX;
}

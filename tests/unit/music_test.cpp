#include "demo/music.h"

#include "platform/error.h"
#include "platform/testing.h"

#include "audio_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct Exited {
    int status;
    std::string message;
};

// Catches End and RuntimeError, and drives the mixer by hand.
class MusicTest : public testing::Test {
  protected:
    void SetUp() override {
        testseam::AudioUseVirtualDevice();
        testseam::SetExitHook([](int status, std::string_view message) {
            throw Exited{status, std::string(message)};
        });
    }
    void TearDown() override {
        testseam::SetExitHook(nullptr);
        testseam::AudioUseVirtualDevice();
    }
};

// A 16-bit stereo song whose left sample at frame i is i (mod 32768) and right is -i, so the
// mixed output tells which frame of the song is playing.
tmusicRef IndexSong(int frames, int hertz = 44100) {
    auto music = std::make_shared<tmusic>();
    music->sample = CreateAudioSample(frames, hertz, SF_STEREO16LE);
    auto* pcm = reinterpret_cast<std::int16_t*>(music->sample->samples);
    for (int i = 0; i < frames; ++i) {
        pcm[2 * i] = std::int16_t(i % 32768);
        pcm[2 * i + 1] = std::int16_t(-(i % 32768));
    }
    return music;
}

} // namespace

TEST(SongSpanTest, StartsOnWholeFramesAndEndsWithinTheSong) {
    struct Case {
        int format, hertz;
        float start, end;
        int offset, frames;
    };
    const int len = 441000; // ten seconds at 44,100 Hz
    const Case cases[] = {
        {SF_STEREO16LE, 44100, 0.01f, 0, 56, len - 15},    // frame 14.7 starts at 14
        {SF_STEREO16LE, 44100, 1, 0, 5880, len - 1470},    // 1469.99994 rounds to 1470 as a float
        {SF_STEREO16LE, 44100, 10, 0, 58796, len - 14700}, // 14699.999: starts at 14699
        {SF_STEREO16LE, 44100, 0, 0, 0, len},
        {SF_STEREO16LE, 44100, 1, 2, 5880, 1470},
        {SF_STEREO16LE, 44100, 0.01f, 1, 56, 1455}, // 1470 - 14.7, truncated
        {SF_STEREO16LE, 44100, 0.5f, 0.75f, 2940, 367},
        {SF_STEREO16LE, 44100, 0, 1e6f, 0, len},    // an end past the song plays to its end
        {SF_STEREO16LE, 44100, 10, 5, 58796, 0},    // an end before the start plays nothing
        {SF_STEREO16LE, 44100, 300, 0, 4 * len, 0}, // exactly at the end
        {SF_STEREO16LE, 44100, -1, 0, 0, len},      // a start before the song plays it all
        {SF_STEREO16BE, 44100, 1, 0, 5880, len - 1470},
        {SF_MONO16LE, 44100, 1, 0, 2940, len - 1470},
        {SF_MONO16BE, 44100, 1, 0, 2940, len - 1470},
        {SF_STEREO8, 44100, 1, 0, 2940, len - 1470},
        {SF_MONO8, 44100, 1, 0, 1470, len - 1470},
        {SF_STEREO16LE, 22050, 1, 0, 2940, len - 735}, // the song's own rate places the start
        {SF_STEREO16LE, 48000, 1, 0, 6400, len - 1600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", " << c.hertz << " Hz, "
                                        << c.start << " to " << c.end);
        TAudioSample song;
        song.length = len;
        song.hertz = c.hertz;
        song.format = c.format;
        const SongSpan span = GetSongSpan(song, c.start, c.end);
        EXPECT_EQ(span.offset, c.offset);
        EXPECT_EQ(span.frames, c.frames);
    }
}

TEST_F(MusicTest, PlayFromAStartPastTheSongEndsTheProgram) {
    tmusicRef music = IndexSong(1470); // exactly 1 tick long
    struct Case {
        float start;
        bool ends;
    };
    for (const Case& c : {Case{0, false}, Case{1, false}, Case{1.001f, true}, Case{5000, true},
                          Case{1e30f, true}}) {
        SCOPED_TRACE(c.start);
        try {
            music->Play(c.start, 0);
            EXPECT_FALSE(c.ends) << "Play went on past the song";
        } catch (const Exited& e) {
            EXPECT_TRUE(c.ends) << "Play ended the program";
            EXPECT_EQ(e.status, 0);
            EXPECT_EQ(e.message, "");
        }
    }
    // Started exactly at the end, the song has nothing left: the clock stays at the start.
    music->Play(1, 0);
    EXPECT_EQ(ChannelPlaying(music->channel), 0);
    EXPECT_EQ(music->position(), 1.0f);
}

TEST_F(MusicTest, PlayStartsAtTheRightFrameAndStopsAtTheEndTick) {
    tmusicRef music = IndexSong(44100);
    music->Play(0.01f, 0);
    EXPECT_EQ(testseam::AudioAdvanceFrames(1), (std::vector<std::int16_t>{14, -14}));

    testseam::AudioUseVirtualDevice();
    music->Play(1, 2);
    EXPECT_EQ(testseam::AudioAdvanceFrames(2),
              (std::vector<std::int16_t>{1470, -1470, 1471, -1471}));
    testseam::AudioAdvanceFrames(1467);
    EXPECT_EQ(ChannelPlaying(music->channel), 1470); // its last frame is being handed over
    EXPECT_EQ(testseam::AudioAdvanceFrames(1), (std::vector<std::int16_t>{2939, -2939}));
    EXPECT_EQ(ChannelPlaying(music->channel), 0);
    EXPECT_EQ(testseam::AudioAdvanceFrames(1), (std::vector<std::int16_t>{0, 0}));
}

TEST_F(MusicTest, PositionFollowsTheFramesPlayedAndFallsBackToTheStart) {
    struct Case {
        int hertz;
        float start;
        int frames; // frames handed to the device
        float ticks;
    };
    // One tick is 1470 frames of the song, counted at 44.1 frames per millisecond whatever
    // the song's rate; the channel's count runs one frame ahead.
    const Case cases[] = {
        {44100, 0, 0, 1 / 1470.0f},
        {44100, 0, 1470, 1 + 1 / 1470.0f},
        {44100, 0, 735 * 60, 30 + 1 / 1470.0f}, // one second at 60 frames of 735
        {44100, 100, 1470, 101 + 1 / 1470.0f},
        {22050, 0, 1470, 0.5f + 1 / 1470.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.hertz << " Hz from " << c.start << ", " << c.frames << " frames");
        testseam::AudioUseVirtualDevice();
        tmusicRef music = IndexSong(10 * c.hertz, c.hertz);
        music->Play(c.start, 0);
        for (int done = 0; done < c.frames; done += 735) testseam::AudioAdvanceFrames(735);
        EXPECT_NEAR(music->position(), c.ticks, 1e-5 * std::max(1.0f, c.ticks));
        music->stop();
        EXPECT_EQ(music->position(), c.start);
        testseam::AudioAdvanceFrames(735);
        EXPECT_EQ(music->position(), c.start);
    }
}

TEST_F(MusicTest, ClockFallsBackToTheStartWhenTheSongRunsOut) {
    tmusicRef music = IndexSong(2000);
    EXPECT_EQ(music->position(), 0.0f); // before any Play
    music->Play(0, 0);
    testseam::AudioAdvanceFrames(1470);
    EXPECT_GT(music->position(), 1.0f);
    testseam::AudioAdvanceFrames(1470);
    EXPECT_EQ(music->position(), 0.0f);
}

TEST_F(MusicTest, ALaterPlayLeavesTheEarlierChannelPlaying) {
    tmusicRef music = IndexSong(44100);
    music->Play(0, 0);
    ChannelRef first = music->channel;
    testseam::AudioAdvanceFrames(100);
    music->Play(0, 0);
    EXPECT_NE(music->channel, first);
    testseam::AudioAdvanceFrames(10);
    EXPECT_EQ(ChannelPlaying(first), 111);
    EXPECT_EQ(ChannelPlaying(music->channel), 11);
    // Both play the song from their own start, summed.
    EXPECT_EQ(testseam::AudioAdvanceFrames(1)[0], 110 + 10);
}

TEST_F(MusicTest, GetLengthIsMillisecondsTruncated) {
    struct Case {
        int frames, hertz, ms;
    };
    for (const Case& c :
         {Case{22050, 44100, 500}, Case{44099, 44100, 999}, Case{132300, 44100, 3000},
          Case{1, 44100, 0}, Case{11025, 22050, 500}, Case{0, 44100, 0}}) {
        SCOPED_TRACE(testing::Message() << c.frames << " frames at " << c.hertz);
        tmusic music;
        music.sample = CreateAudioSample(c.frames, c.hertz, SF_STEREO16LE);
        EXPECT_EQ(music.GetLength(), c.ms);
    }
    EXPECT_EQ(tmusic().GetLength(), 0);
}

TEST_F(MusicTest, LoadDecodesTheSongAndItsClockRuns) {
    TempFile file("song.ogg");
    ASSERT_TRUE(EncodeOgg(file.path(), Tone(22050, 44100, {220.0, 330.0}, 6000.0), 2, 44100));
    tmusicRef music = tmusic::load(file.path());
    ASSERT_TRUE(music && music->sample);
    EXPECT_FALSE(music->channel);
    EXPECT_EQ(music->startpos, 0.0f);
    EXPECT_EQ(music->GetLength(), 500);

    music->Play(0, 0);
    for (int frame = 0; frame < 10; ++frame) testseam::AudioAdvanceFrames(735);
    ticks = music->position();
    EXPECT_NEAR(ticks, 5.0f, 0.01f);
}

TEST_F(MusicTest, ASongThatCannotBeDecodedIsFatalAndNamesTheFile) {
    TempFile garbage("not_a_song.ogg");
    garbage.write(std::vector<std::uint8_t>(1000, 0x5a));
    for (const std::string& path : {std::string("media/no_such_song.ogg"), garbage.path()}) {
        SCOPED_TRACE(path);
        try {
            tmusic::load(path);
            ADD_FAILURE() << "load returned";
        } catch (const Exited& e) {
            EXPECT_NE(e.status, 0);
            EXPECT_NE(e.message.find(path), std::string::npos) << e.message;
        }
    }
}

#include "platform/audio.h"

#include "audio_fixture.h"
#include "one_pass_pcm.h"
#include "platform/testing.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include <vorbis/vorbisfile.h>

namespace {

// Every test but the real-time one drives the mixer by hand.
class AudioTest : public testing::Test {
  protected:
    void SetUp() override { testseam::AudioUseVirtualDevice(); }
    void TearDown() override { testseam::AudioUseVirtualDevice(); }
};

// A sound made of 16-bit values, mono or interleaved stereo.
SoundRef MakeSound(std::vector<std::int16_t> values, int channels, int hertz, int flags = 0) {
    auto sample = CreateStaticAudioSample(values.data(), int(values.size()) / channels, hertz,
                                          channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
    return LoadSound(sample, flags);
}

SoundRef Constant(std::int16_t value, int frames = 64) {
    return MakeSound(std::vector<std::int16_t>(frames, value), 1, kMixerHertz);
}

// Encodes the PCM as an Ogg file and decodes it back. The decoded sample must come back as
// 16-bit PCM with the channels, rate and length of the original.
AudioSampleRef EncodeAndDecode(const std::vector<std::int16_t>& pcm, int channels, int hertz) {
    TempFile file("roundtrip.ogg");
    if (!EncodeOgg(file.path(), pcm, channels, hertz)) {
        ADD_FAILURE() << "cannot encode the fixture";
        return nullptr;
    }
    AudioSampleRef sample = LoadAudioSample(file.path());
    if (!sample) {
        ADD_FAILURE() << "cannot decode the fixture";
        return nullptr;
    }
    EXPECT_EQ(sample->format, channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
    EXPECT_EQ(sample->hertz, hertz);
    EXPECT_EQ(sample->length, int(pcm.size()) / channels);
    return sample;
}

std::vector<std::int16_t> Ramp(int frames, int step) {
    std::vector<std::int16_t> v(frames);
    for (int i = 0; i < frames; ++i) v[i] = std::int16_t(i * step);
    return v;
}

} // namespace

TEST_F(AudioTest, EveryFormatMixesAsSigned16BitStereo) {
    struct Case {
        int format;
        std::vector<std::uint8_t> bytes; // two frames
        std::int16_t l0, r0, l1, r1;
    };
    const Case cases[] = {
        {SF_MONO8, {192, 64}, 16384, 16384, -16384, -16384},
        {SF_MONO16LE, {0x00, 0x40, 0x00, 0xC0}, 16384, 16384, -16384, -16384},
        {SF_MONO16BE, {0x40, 0x00, 0xC0, 0x00}, 16384, 16384, -16384, -16384},
        {SF_STEREO8, {192, 64, 64, 192}, 16384, -16384, -16384, 16384},
        {SF_STEREO16LE,
         {0x00, 0x40, 0x00, 0xC0, 0x00, 0xC0, 0x00, 0x40},
         16384,
         -16384,
         -16384,
         16384},
        {SF_STEREO16BE,
         {0x40, 0x00, 0xC0, 0x00, 0xC0, 0x00, 0x40, 0x00},
         16384,
         -16384,
         -16384,
         16384},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<std::uint8_t> bytes = c.bytes;
        const int frames = int(bytes.size()) / BytesPerSample(c.format);
        ASSERT_EQ(frames, 2);
        SoundRef sound =
            LoadSound(CreateStaticAudioSample(bytes.data(), frames, kMixerHertz, c.format));
        ASSERT_TRUE(sound);
        EXPECT_EQ(sound->length, 2);
        EXPECT_EQ(sound->channels, ChannelsPerSample(c.format));
        ASSERT_TRUE(PlaySound(sound));
        const auto out = testseam::AudioAdvanceFrames(3);
        EXPECT_EQ(out, (std::vector<std::int16_t>{c.l0, c.r0, c.l1, c.r1, 0, 0}));
    }
    EXPECT_EQ(BytesPerSample(0), 0);
    EXPECT_EQ(BytesPerSample(7), 0);
}

TEST_F(AudioTest, InvalidSamplesAndNullHandlesAreRejectedOrIgnored) {
    std::vector<std::uint8_t> mem(64);
    EXPECT_FALSE(CreateStaticAudioSample(nullptr, 10, 44100, SF_STEREO16LE));
    EXPECT_FALSE(CreateStaticAudioSample(mem.data(), -1, 44100, SF_STEREO16LE));
    EXPECT_FALSE(CreateStaticAudioSample(mem.data(), 10, 0, SF_STEREO16LE));
    EXPECT_FALSE(CreateStaticAudioSample(mem.data(), 10, 44100, 0));
    EXPECT_FALSE(CreateStaticAudioSample(mem.data(), 10, 44100, 7));
    EXPECT_FALSE(CreateAudioSample(10, -5, SF_MONO8));
    EXPECT_FALSE(LoadSound(AudioSampleRef()));
    EXPECT_FALSE(PlaySound(nullptr));

    // A sound whose fields were changed to claim more frames than it holds does not play.
    SoundRef tampered = Constant(100, 4);
    tampered->length = 1000;
    EXPECT_FALSE(PlaySound(tampered));

    // An empty sample is valid; its sound ends at once.
    AudioSampleRef empty = CreateStaticAudioSample(nullptr, 0, 44100, SF_MONO16LE);
    ASSERT_TRUE(empty);
    ChannelRef silent = PlaySound(LoadSound(empty));
    ASSERT_TRUE(silent);
    EXPECT_EQ(ChannelPlaying(silent), 0);

    EXPECT_EQ(ChannelPlaying(nullptr), 0);
    StopChannel(nullptr);
    SetChannelVolume(nullptr, 0.5f);
    PauseChannel(nullptr);
    ResumeChannel(nullptr);
    EXPECT_EQ(ChannelPlaying(std::make_shared<TChannel>()), 0);
    EXPECT_EQ(testseam::AudioAdvanceFrames(0).size(), 0u);
}

TEST_F(AudioTest, StaticSampleBorrowsMemoryAndTheSoundCopiesIt) {
    std::vector<std::int16_t> values = {1000, 2000, 3000};
    AudioSampleRef sample = CreateStaticAudioSample(values.data(), 3, 44100, SF_MONO16LE);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->samples, reinterpret_cast<std::uint8_t*>(values.data()));
    EXPECT_FALSE(sample->store);

    SoundRef sound = LoadSound(sample);
    values.assign({-1, -1, -1}); // the sound no longer depends on this memory
    PlaySound(sound);
    EXPECT_EQ(testseam::AudioAdvanceFrames(3),
              (std::vector<std::int16_t>{1000, 1000, 2000, 2000, 3000, 3000}));
}

TEST_F(AudioTest, DecodesAnOggToneAndMixesItBackUnchanged) {
    const int frames = 11025;
    const auto tone = Tone(frames, 44100, {440.0, 660.0}, 8000.0);
    AudioSampleRef sample = EncodeAndDecode(tone, 2, 44100);
    ASSERT_TRUE(sample && sample->length == frames);
    const auto* decoded = reinterpret_cast<const std::int16_t*>(sample->samples);

    // Lossy, but close to the tone on each channel (channels not swapped).
    double err[2] = {0, 0};
    for (int i = 0; i < frames * 2; ++i) err[i % 2] += std::pow(decoded[i] - tone[i], 2.0);
    for (double e : err) EXPECT_LT(std::sqrt(e / frames), 0.02 * 8000);

    // The mixer hands the decoded frames on exactly, and the channel ends with them.
    ChannelRef channel = PlaySound(LoadSound(sample));
    std::vector<std::int16_t> mixed;
    for (int done = 0; done < frames + 1000; done += 1024) {
        const auto chunk = testseam::AudioAdvanceFrames(1024);
        mixed.insert(mixed.end(), chunk.begin(), chunk.end());
    }
    ASSERT_TRUE(std::equal(decoded, decoded + frames * 2, mixed.begin()));
    EXPECT_TRUE(
        std::all_of(mixed.begin() + frames * 2, mixed.end(), [](auto v) { return v == 0; }));
    EXPECT_EQ(ChannelPlaying(channel), 0);
}

TEST_F(AudioTest, DecodesMonoAtItsOwnRateAndResamplesItLinearly) {
    const int frames = 4410;
    const auto tone = Tone(frames, 22050, {300.0}, 10000.0);
    AudioSampleRef sample = EncodeAndDecode(tone, 1, 22050);
    ASSERT_TRUE(sample && sample->length == frames);
    const auto* d = reinterpret_cast<const std::int16_t*>(sample->samples);

    PlaySound(LoadSound(sample));
    const auto out = testseam::AudioAdvanceFrames(2 * frames - 2);
    for (int k = 0; k + 1 < frames; ++k) {
        ASSERT_EQ(out[4 * k], d[k]) << k;
        ASSERT_EQ(out[4 * k + 1], d[k]) << k;
        ASSERT_NEAR(out[4 * k + 2], (d[k] + d[k + 1]) / 2.0, 0.5) << k;
    }
}

TEST_F(AudioTest, MissingOrCorruptFilesLoadAsNull) {
    TempFile good("good.ogg"), garbage("garbage.ogg"), truncated("truncated.ogg"),
        emptyFile("empty.ogg");
    ASSERT_TRUE(EncodeOgg(good.path(), Tone(4410, 44100, {440.0, 440.0}, 5000.0), 2, 44100));
    std::vector<std::uint8_t> bytes = good.read();
    ASSERT_GT(bytes.size(), 200u);
    truncated.write({bytes.begin(), bytes.begin() + 64});
    std::vector<std::uint8_t> noise(4096);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = std::uint8_t(i * 7919 >> 3);
    garbage.write(noise);
    emptyFile.write({});

    for (const std::string& path :
         {std::string("/nonexistent/song.ogg"), std::filesystem::temp_directory_path().string(),
          garbage.path(), truncated.path(), emptyFile.path()}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(LoadAudioSample(path));
        EXPECT_FALSE(LoadSound(path, kSoundLoop));
    }
    EXPECT_TRUE(LoadSound(good.path()));
}

// A chained file plays as one song only when every link has the first link's shape.
TEST_F(AudioTest, ChainedLinksMustShareChannelsAndRate) {
    // (The first link lasts a few seconds: the file reader passes over a very short first link.)
    const auto link = [](int channels, int hertz, int seconds, int serial) {
        std::vector<double> freqs(std::size_t(channels), 440.0);
        return OggBytes(Tone(hertz * seconds, hertz, freqs, 5000.0), channels, hertz, 0.1f, serial);
    };
    const auto chain = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool loads;
    };
    const Case cases[] = {
        {"same shape", chain(link(2, 44100, 4, 1), link(2, 44100, 1, 2)), true},
        {"rate changes", chain(link(2, 44100, 4, 1), link(2, 22050, 1, 2)), false},
        {"channels change", chain(link(2, 44100, 4, 1), link(1, 44100, 1, 2)), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFile file("chained.ogg");
        ASSERT_TRUE(WriteBytes(file.path(), c.bytes));
        const AudioSampleRef sample = LoadAudioSample(file.path());
        EXPECT_EQ(sample != nullptr, c.loads);
        EXPECT_EQ(ProbeAudioFile(file.path()).empty(), c.loads) << ProbeAudioFile(file.path());
        if (sample) {
            EXPECT_EQ(sample->length, 5 * 44100);
        }
    }
}

// What loading a file gave, and what it wrote to the error stream.
struct Loaded {
    AudioSampleRef sample;
    std::string warning;
};
Loaded LoadNoting(const std::string& path) {
    testseam::ForgetWarnings();
    testing::internal::CaptureStderr();
    Loaded loaded;
    loaded.sample = LoadAudioSample(path);
    loaded.warning = testing::internal::GetCapturedStderr();
    return loaded;
}

// A song whose last page claims far more than its data holds is refused once decoded, naming
// what it holds and what it claims; the headers alone report the claim.
// (The song spans several pages: the claim is in the last, the start offset in the first.)
TEST_F(AudioTest, AClaimBeyondTheDataIsRefusedOnceDecoded) {
    std::vector<std::uint8_t> bytes =
        OggBytes(Tone(88200, 44100, {440.0, 660.0}, 5000.0), 2, 44100, 0.1f);
    ASSERT_TRUE(SetLastGranule(bytes, std::int64_t(536) << 20));
    TempFile file("claims.ogg");
    ASSERT_TRUE(WriteBytes(file.path(), bytes));

    AudioFileInfo info;
    EXPECT_EQ(ProbeAudioFile(file.path(), &info), "");
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.hertz, 44100);
    EXPECT_GT(info.claimedFrames, std::int64_t(500) << 20);

    const Loaded loaded = LoadNoting(file.path());
    EXPECT_EQ(loaded.sample, nullptr);
    EXPECT_EQ(loaded.warning.rfind("Sound " + file.path() + " decodes to 88", 0), 0u);
    EXPECT_NE(loaded.warning.find(" frames (2.0 s) of the 562036736 (12744.6 s) its last page "
                                  "states: not loaded\n"),
              std::string::npos)
        << loaded.warning;
}

// Long songs decode in parts on several threads. The PCM is that of one pass from the start
// whatever the file's positions say: where they disagree with its audio (two streams under one
// serial number one after the other, pages left out, repeated or renumbered, a first audio page
// whose position is wrong), the song decodes in one pass instead. A song whose positions start
// past 0 is as long as they say from there. A song that decodes to less or more than its last
// page states, with a gap, or cut short is refused, naming why.
TEST_F(AudioTest, SongsDecodeToTheirOnePassPcmOrAreRefused) {
    // Noise, so that the song spans many pages.
    const auto song = [](int channels, int hertz, int seconds, std::uint32_t seed) {
        std::vector<std::int16_t> pcm(std::size_t(hertz * seconds * channels));
        std::uint32_t x = seed;
        for (std::int16_t& v : pcm) v = std::int16_t((x = x * 1664525u + 1013904223u) >> 18);
        return OggBytes(pcm, channels, hertz, 0.4f);
    };
    using Bytes = std::vector<std::uint8_t>;
    const Bytes stereo = song(2, 44100, 7, 12345), other = song(2, 44100, 5, 777),
                mono = song(1, 22050, 13, 12345);
    const std::vector<Bytes> pages = OggPages(stereo);
    ASSERT_GT(pages.size(), 20u);
    ASSERT_FALSE(mono.empty());
    const auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    // The first page that holds audio (the header pages hold none: their position is 0).
    std::size_t firstAudio = 0;
    while (firstAudio < pages.size() && OggGranule(pages[firstAudio]) == 0) ++firstAudio;
    ASSERT_LT(firstAudio + 2, pages.size());
    const auto pageAt = [&](std::size_t n) {
        std::size_t at = 0;
        for (std::size_t i = 0; i < n; ++i) at += pages[i].size();
        return at;
    };
    const auto edited = [&](auto edit, bool renumber) {
        std::vector<Bytes> p = pages;
        edit(p);
        return JoinOggPages(std::move(p), renumber);
    };
    const std::size_t middle = pages.size() / 2;
    const Bytes leftOut =
        edited([&](auto& p) { p.erase(p.begin() + std::ptrdiff_t(middle)); }, true);
    const Bytes repeated =
        edited([&](auto& p) { p.insert(p.begin() + std::ptrdiff_t(middle), p[middle]); }, true);
    // The page before the one that holds the song's middle frame, where a part starts,
    // repeated: the two copies end at one position, and a part put past it could start from
    // either (from the second, it would leave out the audio one pass plays twice).
    std::size_t halfway = firstAudio;
    while (OggGranule(pages[halfway]) <= 44100 * 7 / 2) ++halfway;
    const Bytes repeatedAtAPart = edited(
        [&](auto& p) { p.insert(p.begin() + std::ptrdiff_t(halfway - 1), p[halfway - 1]); }, true);
    const Bytes halved = edited(
        [&](auto& p) { SetOggGranule(p[firstAudio], OggGranule(p[firstAudio]) / 2); }, false);
    // Every audio page's position three seconds on: the stream starts at 3 s, as the format
    // allows, and holds what it held.
    const Bytes startsLater = edited(
        [&](auto& p) {
            for (std::size_t i = firstAudio; i < p.size(); ++i)
                if (OggGranule(p[i]) > 0) SetOggGranule(p[i], OggGranule(p[i]) + 44100 * 3);
        },
        false);
    // Pages from 40% to 50% of the song cut out; a page in the middle spoilt (its checksum
    // fails); a kilobyte of the first audio pages spoilt.
    Bytes cutOut = stereo;
    cutOut.erase(cutOut.begin() + std::ptrdiff_t(pageAt(pages.size() * 4 / 10)),
                 cutOut.begin() + std::ptrdiff_t(pageAt(middle)));
    Bytes spoilt = stereo;
    spoilt[pageAt(middle) + 40] ^= 0x55;
    Bytes spoiltStart = stereo;
    for (std::size_t i = 0; i < 1024; ++i)
        spoiltStart[pageAt(firstAudio) + 100 + i] = std::uint8_t(i * 7919 >> 3);
    // The last page claims less than the data holds, or more; the file cut in half.
    Bytes shortClaim = stereo, longClaim = stereo;
    ASSERT_TRUE(SetLastGranule(shortClaim, 44100 * 5));
    ASSERT_TRUE(SetLastGranule(longClaim, 44100 * 9));
    const Bytes half(stereo.begin(), stereo.begin() + std::ptrdiff_t(stereo.size() / 2));

    // The loads refused for decoding short or long end with the length the last page states.
    const char* const kShort = " (7.0 s) its last page states: not loaded\n";
    const char* const kMore = ", more than the 308700 (7.0 s) its last page states: not loaded\n";
    const struct {
        const char* what;
        Bytes bytes;
        int frames;          // the song's length when it loads (0: what one pass gives)
        bool joined;         // two streams: the decoder's overlap adds a little at the join
        const char* refusal; // what the warning says when it is refused
    } cases[] = {
        {"stereo, 44,100 Hz", stereo, 44100 * 7, false, nullptr},
        {"mono, 22,050 Hz", mono, 22050 * 13, false, nullptr},
        {"two songs under one serial number", join(stereo, other), 44100 * 12, true, nullptr},
        {"a song joined to itself", join(stereo, stereo), 44100 * 14, true, nullptr},
        // One pass plays the repeated page's audio twice: more than the positions state.
        {"a page repeated, the later ones renumbered", repeated, 0, false, kMore},
        {"the same where a part starts", repeatedAtAPart, 0, false, kMore},
        {"positions that start at 3 s", startsLater, 44100 * 7, false, nullptr},
        {"the first audio page's position halved", halved, 0, false, kShort},
        {"a page left out, the later ones renumbered", leftOut, 0, false, kShort},
        {"claims less than it holds", shortClaim, 0, false,
         " (7.0 s), more than the 220500 (5.0 s) its last page states: not loaded\n"},
        {"claims more", longClaim, 0, false,
         " (7.0 s) of the 396900 (9.0 s) its last page states: not loaded\n"},
        {"pages cut out", cutOut, 0, false, "has a gap in its data at 2."},
        {"a spoilt page", spoilt, 0, false, "has a gap in its data at 3."},
        {"the first audio pages spoilt", spoiltStart, 0, false, "has a gap in its data at 0.0 s"},
        {"cut in half", half, 0, false, "is cut short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFile file("long.ogg");
        ASSERT_TRUE(WriteBytes(file.path(), c.bytes));
        const Loaded loaded = LoadNoting(file.path());
        if (c.refusal) {
            EXPECT_EQ(loaded.sample, nullptr);
            EXPECT_EQ(loaded.warning.rfind("Sound " + file.path() + " ", 0), 0u) << loaded.warning;
            EXPECT_NE(loaded.warning.find(c.refusal), std::string::npos) << loaded.warning;
            continue;
        }
        EXPECT_EQ(loaded.warning, "");
        const std::vector<std::uint8_t> expected = OnePassPcm(file.path());
        ASSERT_FALSE(expected.empty());
        ASSERT_NE(loaded.sample, nullptr);
        const std::size_t bytes =
            std::size_t(loaded.sample->length) * BytesPerSample(loaded.sample->format);
        ASSERT_EQ(bytes, expected.size());
        EXPECT_EQ(std::memcmp(loaded.sample->samples, expected.data(), bytes), 0);
        if (c.joined) {
            EXPECT_GE(loaded.sample->length, c.frames);
            EXPECT_LT(loaded.sample->length, c.frames + 1024);
        } else if (c.frames) {
            EXPECT_EQ(loaded.sample->length, c.frames);
        }
    }
}

// A load that is given up on ends within a chunk of decoding on every thread of the load and
// returns null, warning of nothing; asked never, it decodes the song and has asked at least once
// per chunk. A long song of one stream decodes in parts, a chained one in one pass.
TEST_F(AudioTest, ALoadGivenUpOnEndsWithinAChunkAndSaysNothing) {
    constexpr int kFrames = 308700; // 7 s: four parts
    const auto song = OggBytes(Tone(kFrames, 44100, {440.0, 660.0}, 5000.0), 2, 44100, 0.1f);
    auto chained = song;
    const auto second = OggBytes(Tone(4410, 44100, {330.0, 550.0}, 5000.0), 2, 44100, 0.1f, 7);
    chained.insert(chained.end(), second.begin(), second.end());
    constexpr int kMostThreads = 4;
    constexpr int kChunkFrames = 16384 / 4; // the most one chunk of 16-bit stereo holds
    for (const auto& [name, bytes] : {std::pair{"in parts", song}, {"in one pass", chained}}) {
        SCOPED_TRACE(name);
        TempFile file("given_up.ogg");
        ASSERT_TRUE(WriteBytes(file.path(), bytes));
        for (const int after : {-1, 0, 3}) {
            SCOPED_TRACE("given up after " + std::to_string(after) + " looks (-1: never)");
            std::atomic<int> asked{0};
            const LoadGivenUp stop = [&] {
                const int before = asked.fetch_add(1);
                return after >= 0 && before >= after;
            };
            testseam::ForgetWarnings();
            testing::internal::CaptureStderr();
            const AudioSampleRef sample = LoadAudioSample(file.path(), stop);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
            if (after < 0) {
                ASSERT_NE(sample, nullptr);
                EXPECT_GE(sample->length, kFrames);
                EXPECT_GE(asked, kFrames / kChunkFrames);
            } else {
                EXPECT_EQ(sample, nullptr);
                // After the look that said stop, each other thread of the load looks once
                // more at most, and the load itself twice on its way out: nowhere near one look
                // per chunk of the song.
                EXPECT_LE(asked, after + 1 + (kMostThreads - 1) + 2);
            }
        }
    }
}

TEST_F(AudioTest, ProbeNamesWhatIsWrong) {
    TempFile garbage("probe.ogg");
    garbage.write(std::vector<std::uint8_t>(4096, 0x5a));
    EXPECT_EQ(ProbeAudioFile("/nonexistent/song.ogg"), "cannot be opened");
    EXPECT_EQ(ProbeAudioFile(garbage.path()), "is not an Ogg Vorbis file");
}

TEST_F(AudioTest, PlayingCountsFramesPlusOneUntilTheEndOrWrapsWhenLooping) {
    const auto ramp = Ramp(100, 100);
    for (int flags : {0, kSoundLoop}) {
        SCOPED_TRACE(flags);
        testseam::AudioUseVirtualDevice();
        ChannelRef channel = PlaySound(MakeSound(ramp, 1, kMixerHertz, flags));
        EXPECT_EQ(ChannelPlaying(channel), 1);
        std::vector<std::int16_t> out;
        // Uneven steps, so the wrap and the end fall inside a step.
        for (int step : {70, 29}) {
            const auto chunk = testseam::AudioAdvanceFrames(step);
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
        EXPECT_EQ(ChannelPlaying(channel), 100);
        for (int step : {1, 150}) {
            const auto chunk = testseam::AudioAdvanceFrames(step);
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
        for (int i = 0; i < 250; ++i) {
            const int expected = flags ? ramp[i % 100] : (i < 100 ? ramp[i] : 0);
            ASSERT_EQ(out[2 * i], expected) << i;
            ASSERT_EQ(out[2 * i + 1], expected) << i;
        }
        EXPECT_EQ(ChannelPlaying(channel), flags ? 251 : 0);
    }
}

TEST_F(AudioTest, ChannelsSumAndClip) {
    struct Case {
        std::int16_t a, b, out;
    };
    for (const Case& c : {Case{1000, 2000, 3000}, Case{20000, 20000, 32767},
                          Case{-20000, -20000, -32768}, Case{30000, -30000, 0}}) {
        SCOPED_TRACE(testing::Message() << c.a << " + " << c.b);
        testseam::AudioUseVirtualDevice();
        PlaySound(Constant(c.a));
        PlaySound(Constant(c.b));
        const auto out = testseam::AudioAdvanceFrames(4);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [&](auto v) { return v == c.out; }));
    }
}

TEST_F(AudioTest, VolumeScalesTheChannel) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float volume;
        int scaled; // the channel's value, before the other channel is added and clipping
    };
    for (const Case& c : {Case{1.0f, 10000}, Case{0.5f, 5000}, Case{0.25f, 2500}, Case{0.0f, 0},
                          Case{-1.0f, 0}, Case{nan, 0}, Case{2.0f, 20000}, Case{4.0f, 40000}}) {
        SCOPED_TRACE(c.volume);
        testseam::AudioUseVirtualDevice();
        ChannelRef channel = PlaySound(Constant(10000));
        PlaySound(Constant(-3000)); // another channel keeps its own volume
        SetChannelVolume(channel, c.volume);
        const auto out = testseam::AudioAdvanceFrames(2);
        EXPECT_EQ(out[0], std::clamp(c.scaled - 3000, -32768, 32767));
    }

    // A channel that plays a new sound keeps its volume.
    testseam::AudioUseVirtualDevice();
    ChannelRef channel = PlaySound(Constant(1000));
    SetChannelVolume(channel, 0.5f);
    EXPECT_EQ(PlaySound(Constant(4000), channel), channel);
    EXPECT_EQ(testseam::AudioAdvanceFrames(1)[0], 2000);
}

TEST_F(AudioTest, OtherRatesAreResampledAndCountedInTheSoundsFrames) {
    struct Case {
        int hertz;
        std::vector<std::int16_t> first; // first output frames of the ramp 0, 1000, 2000, ...
        int playingAfter10;              // ChannelPlaying after 10 output frames
    };
    const Case cases[] = {
        {44100, {0, 1000, 2000, 3000}, 11},
        {22050, {0, 500, 1000, 1500}, 6},
        {88200, {0, 2000, 4000, 6000}, 21},
        {11025, {0, 250, 500, 750}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hertz);
        testseam::AudioUseVirtualDevice();
        ChannelRef channel = PlaySound(MakeSound(Ramp(30, 1000), 1, c.hertz));
        const auto out = testseam::AudioAdvanceFrames(10);
        for (std::size_t i = 0; i < c.first.size(); ++i) EXPECT_EQ(out[2 * i], c.first[i]) << i;
        EXPECT_EQ(ChannelPlaying(channel), c.playingAfter10);
    }
}

TEST_F(AudioTest, StopPauseAndReplayOnTheSameChannel) {
    const auto ramp = Ramp(50, 10);
    ChannelRef channel = PlaySound(MakeSound(ramp, 1, kMixerHertz));
    testseam::AudioAdvanceFrames(10);

    PauseChannel(channel);
    EXPECT_EQ(testseam::AudioAdvanceFrames(5), std::vector<std::int16_t>(10, 0));
    EXPECT_EQ(ChannelPlaying(channel), 11);
    ResumeChannel(channel);
    EXPECT_EQ(testseam::AudioAdvanceFrames(1)[0], ramp[10]);

    StopChannel(channel);
    EXPECT_EQ(ChannelPlaying(channel), 0);
    EXPECT_EQ(testseam::AudioAdvanceFrames(5), std::vector<std::int16_t>(10, 0));
    StopChannel(channel); // stopping twice is harmless

    // Playing on an existing channel starts the new sound from its first frame there.
    ChannelRef again = PlaySound(MakeSound(ramp, 1, kMixerHertz), channel);
    EXPECT_EQ(again, channel);
    EXPECT_EQ(ChannelPlaying(channel), 1);
    EXPECT_EQ(testseam::AudioAdvanceFrames(2), (std::vector<std::int16_t>{0, 0, 10, 10}));
}

// The one real-time test: with no usable device (here forced by asking for a driver that
// does not exist) the mixer falls back to SDL's dummy driver, and the clock still advances
// at the mix rate. Channels are started, changed and stopped meanwhile, so a thread
// sanitizer build sees the main thread and the audio thread share channel state.
TEST(AudioRealTimeTest, DummyDriverFallbackRunsTheClockAtTheMixRate) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "no-such-driver", SDL_HINT_OVERRIDE);
    testseam::AudioUseOutputDevice();
    ChannelRef clock =
        PlaySound(MakeSound(std::vector<std::int16_t>(4096, 0), 1, kMixerHertz, kSoundLoop));
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    ASSERT_TRUE(clock);
    EXPECT_EQ(AudioDriverName(), "dummy");
    EXPECT_GT(AudioDeviceBufferFrames(), 0);
    EXPECT_LE(AudioDeviceBufferFrames(), 4096);

    using Clock = std::chrono::steady_clock;
    SoundRef blip = Constant(100, 300);
    ChannelRef other;
    int churn = 0;
    // Waits for the next step of the play position (a buffer handed to the device).
    auto nextStep = [&](int from) {
        const auto limit = Clock::now() + std::chrono::seconds(2);
        int now = ChannelPlaying(clock);
        while (now == from && Clock::now() < limit) {
            if (++churn % 3 == 0)
                StopChannel(other);
            else
                other = PlaySound(blip);
            SetChannelVolume(other, float(churn % 5) / 4);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            now = ChannelPlaying(clock);
        }
        return std::pair{now, Clock::now()};
    };
    auto [p0, t0] = nextStep(ChannelPlaying(clock));
    ASSERT_GT(p0, 0);
    auto [p1, t1] = nextStep(p0);
    while (t1 - t0 < std::chrono::milliseconds(600)) std::tie(p1, t1) = nextStep(p1);

    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    const double rate = (p1 - p0) / seconds;
    RecordProperty("frames_per_second", std::to_string(rate));
    EXPECT_NEAR(rate, 44100.0, 44100.0 * 0.1);
    testseam::AudioUseVirtualDevice();
    EXPECT_EQ(ChannelPlaying(clock), 0);
}

TEST(ShareSoundTest, SharesTheSamplesOwnMemoryInTheMixersFormatAndCopiesAnyOther) {
    testseam::AudioUseVirtualDevice();
    // Frame i of every sample holds i + 1 on its first channel and -(i + 1) on a second.
    const auto fill = [](TAudioSample& s) {
        const int channels = ChannelsPerSample(s.format);
        const int width = BytesPerSample(s.format) / channels; // bytes per value
        for (int i = 0; i < s.length; ++i)
            for (int c = 0; c < channels; ++c) {
                const std::int16_t v = std::int16_t(c == 0 ? i + 1 : -(i + 1));
                std::uint8_t* p = s.samples + std::size_t(i * channels + c) * width;
                if (width == 1)
                    *p = std::uint8_t(128 + v);
                else
                    std::memcpy(p, &v, sizeof v);
            }
    };
    std::vector<std::int16_t> borrowed(2 * 10);
    const struct {
        const char* what;
        AudioSampleRef sample;
        bool shared;
    } cases[] = {
        {"owned stereo", CreateAudioSample(10, 44100, SF_STEREO16LE), true},
        {"owned mono", CreateAudioSample(10, 44100, SF_MONO16LE), true},
        {"borrowed", CreateStaticAudioSample(borrowed.data(), 10, 44100, SF_STEREO16LE), false},
        {"8-bit", CreateAudioSample(10, 44100, SF_STEREO8), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.sample);
        fill(*c.sample);
        const int channels = ChannelsPerSample(c.sample->format);
        // Frames 3 to 6; a span past the end is cut at the end, one past it is empty.
        const struct {
            int first, frames, wantFirst, wantFrames;
        } spans[] = {{3, 4, 3, 4}, {8, 5, 8, 2}, {12, 5, 10, 0}, {-2, 3, 0, 3}};
        for (const auto& span : spans) {
            SoundRef sound = ShareSound(c.sample, span.first, span.frames);
            ASSERT_TRUE(sound);
            EXPECT_EQ(sound->length, span.wantFrames);
            EXPECT_EQ(sound->channels, channels);
            if (span.wantFrames == 0) continue;
            const std::int16_t* at = reinterpret_cast<const std::int16_t*>(c.sample->samples) +
                                     span.wantFirst * channels;
            EXPECT_EQ(sound->pcm.get() == at, c.shared);
            testseam::AudioUseVirtualDevice();
            PlaySound(sound);
            const std::vector<std::int16_t> out = testseam::AudioAdvanceFrames(span.wantFrames);
            for (int i = 0; i < span.wantFrames; ++i) {
                const int v = span.wantFirst + i + 1;
                const int scale = c.sample->format == SF_STEREO8 ? 256 : 1;
                ASSERT_EQ(out[2 * i], v * scale) << "frame " << i;
                ASSERT_EQ(out[2 * i + 1], (channels == 2 ? -v : v) * scale) << "frame " << i;
            }
        }
    }
    // A shared sound holds the memory alive after the sample has gone.
    AudioSampleRef sample = CreateAudioSample(4, 44100, SF_MONO16LE);
    fill(*sample);
    SoundRef sound = ShareSound(sample, 1, 3);
    sample.reset();
    testseam::AudioUseVirtualDevice();
    PlaySound(sound);
    EXPECT_EQ(testseam::AudioAdvanceFrames(3), (std::vector<std::int16_t>{2, 2, 3, 3, 4, 4}));
    EXPECT_FALSE(ShareSound(nullptr, 0, 1));
    testseam::AudioUseVirtualDevice();
}

namespace {

// WAVE files load through SDL as 16-bit samples at their own rate and channels: 8-bit values
// (unsigned) become signed 16-bit ones, 16-bit values stay as they are.
TEST_F(AudioTest, WaveFilesLoadAsSigned16BitAtTheirOwnRate) {
    const struct {
        int channels, bits, hertz;
    } cases[] = {{1, 8, 11025}, {2, 8, 22050}, {1, 16, 44100}, {2, 16, 48000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.bits) +
                     " bits, " + std::to_string(c.hertz) + " Hz");
        const int frames = 1001, values = frames * c.channels;
        std::vector<std::uint8_t> data;
        std::vector<std::int16_t> expected;
        for (int i = 0; i < values; ++i) {
            if (c.bits == 8) {
                data.push_back(std::uint8_t(i * 37));
                expected.push_back(std::int16_t((int(std::uint8_t(i * 37)) - 128) * 256));
            } else {
                const auto v = std::int16_t(i * 997 - 30000);
                data.push_back(std::uint8_t(std::uint16_t(v)));
                data.push_back(std::uint8_t(std::uint16_t(v) >> 8));
                expected.push_back(v);
            }
        }
        TempFile file("sound.wav");
        ASSERT_TRUE(WriteBytes(file.path(), WaveBytes(c.channels, c.bits, c.hertz, data)));
        const Loaded loaded = LoadNoting(file.path());
        EXPECT_EQ(loaded.warning, "");
        ASSERT_NE(loaded.sample, nullptr);
        EXPECT_EQ(loaded.sample->format, c.channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
        EXPECT_EQ(loaded.sample->hertz, c.hertz);
        ASSERT_EQ(loaded.sample->length, frames);
        std::vector<std::int16_t> got(expected.size());
        std::memcpy(got.data(), loaded.sample->samples, got.size() * 2);
        EXPECT_EQ(got, expected);

        const SoundRef sound = LoadSound(file.path(), kSoundLoop);
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->channels, c.channels);
        EXPECT_EQ(sound->hertz, c.hertz);
        EXPECT_EQ(sound->length, frames);
    }

    // Other encodings go through SDL's converter: 32-bit floats, full scale at 1.
    std::vector<float> floats;
    for (int i = 0; i < 2 * 500; ++i) floats.push_back(float(std::sin(i * 0.01)) * 0.9f);
    std::vector<std::uint8_t> data(floats.size() * 4);
    std::memcpy(data.data(), floats.data(), data.size());
    TempFile file("float.wav");
    ASSERT_TRUE(WriteBytes(file.path(), WaveBytes(2, 32, 32000, data, 3)));
    const Loaded loaded = LoadNoting(file.path());
    ASSERT_NE(loaded.sample, nullptr) << loaded.warning;
    EXPECT_EQ(loaded.sample->format, SF_STEREO16LE);
    EXPECT_EQ(loaded.sample->hertz, 32000);
    ASSERT_EQ(loaded.sample->length, 500);
    for (std::size_t i = 0; i < floats.size(); ++i) {
        std::int16_t v;
        std::memcpy(&v, loaded.sample->samples + 2 * i, 2);
        ASSERT_NEAR(v, floats[i] * 32767.0, 1.0) << i;
    }
}

// Damaged WAVE files are refused with a warning that names the file and why; none crashes,
// whatever byte of the headers is spoilt.
TEST_F(AudioTest, DamagedWaveFilesAreRefusedNamingWhy) {
    std::vector<std::uint8_t> data(4000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 13);
    const std::vector<std::uint8_t> good = WaveBytes(2, 16, 22050, data);
    const auto with = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
        std::vector<std::uint8_t> w = good;
        std::copy(bytes.begin(), bytes.end(), w.begin() + std::ptrdiff_t(at));
        return w;
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* refusal;
    } cases[] = {
        {"cut short", {good.begin(), good.end() - 1000}, "is cut short: its data chunk states"},
        {"no channels", with(22, {0, 0}), "is not a readable WAVE file ("},
        {"an unknown encoding", with(20, {0x34, 0x12}), "is not a readable WAVE file ("},
        {"no sample rate", with(24, {0, 0, 0, 0}), "is not a readable WAVE file ("},
        {"headers only", {good.begin(), good.begin() + 12}, "is not a readable WAVE file ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFile file("damaged.wav");
        ASSERT_TRUE(WriteBytes(file.path(), c.bytes));
        const Loaded loaded = LoadNoting(file.path());
        EXPECT_EQ(loaded.sample, nullptr);
        EXPECT_EQ(loaded.warning.rfind("Sound " + file.path() + " " + c.refusal, 0), 0u)
            << loaded.warning;
        EXPECT_EQ(LoadSound(file.path()), nullptr);
    }

    // Every header byte set to values that matter to a reader.
    TempFile file("spoilt.wav");
    for (std::size_t at = 0; at < 44; ++at)
        for (const std::uint8_t value : {0x00, 0x01, 0x7f, 0x80, 0xff}) {
            std::vector<std::uint8_t> bytes = good;
            bytes[at] = value;
            ASSERT_TRUE(WriteBytes(file.path(), bytes));
            const Loaded loaded = LoadNoting(file.path());
            if (!loaded.sample) {
                EXPECT_NE(loaded.warning.find(file.path()), std::string::npos) << at;
            } else {
                EXPECT_GT(loaded.sample->hertz, 0) << at;
                EXPECT_LE(std::size_t(loaded.sample->length) *
                              std::size_t(BytesPerSample(loaded.sample->format)),
                          loaded.sample->store->size())
                    << at;
            }
        }
}

} // namespace

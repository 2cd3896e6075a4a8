// Phases 10 and 11 without a display: the hand-over from the fly-out to the end screen (the
// music stopped, its clock at 0, the end song repeating on the virtual audio device), the
// bouncing group logo and the wave scroller's drift.
#include "demo/phase11.h"
#include "demo/phases.h"
#include "demo/sequencer.h"
#include "demo/tpieza.h"
#include "demo_fixture.h"
#include "piece_fixture.h"
#include "platform/audio.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A stereo sample of `frames` frames, every sample `level`.
AudioSampleRef Constant(int frames, std::int16_t level) {
    AudioSampleRef s = CreateAudioSample(frames, 44100, SF_STEREO16LE);
    auto* pcm = reinterpret_cast<std::int16_t*>(s->samples);
    std::fill(pcm, pcm + 2 * frames, level);
    return s;
}

class EndScreenTest : public demotest::DemoTest {
  protected:
    void SetUp() override {
        DemoTest::SetUp();
        testseam::AudioUseVirtualDevice();
    }
    void TearDown() override {
        testseam::AudioUseVirtualDevice(); // stops every channel
        DemoTest::TearDown();
    }
    piecetest::PieceListGuard pieces_;
};

TEST_F(EndScreenTest, TheHandOverStopsTheMusicAndStartsTheEndSongRepeating) {
    // The song that drives the clock, at level 1000; the end song, 300 frames at level 3000.
    musica = std::make_shared<tmusic>();
    musica->sample = Constant(44100 * 10, 1000);
    musica->Play(0, 0);
    kolumomusic = LoadSound(Constant(300, 3000), kSoundLoop);
    testseam::AudioAdvanceFrames(44100 * 5);
    ASSERT_GT(musica->position(), 140.0f);
    for (int i = 0; i < 3; ++i) piecetest::UntexturedPiece(i, 1);
    poscreditos = 1234;

    // The last frame of phase 10, past its end threshold: the sequencer hands over.
    parte = 10;
    ticks = 4200.5f;
    RunPhaseFrame(DemoPhases());
    EXPECT_EQ(parte, 11);
    EXPECT_EQ(ChannelPlaying(musica->channel), 0);
    EXPECT_EQ(musica->position(), 0.0f) << "the clock reads the start position, 0";
    EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
    EXPECT_EQ(poscreditos, 0.0f);

    // Only the end song plays from now on, at full volume, and it repeats: ten passes of it.
    const std::vector<std::int16_t> out = testseam::AudioAdvanceFrames(3000);
    ASSERT_EQ(out.size(), 6000u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == 3000; }));

    // Phase 11 has no end threshold: the sequencer keeps it, whatever the clock.
    ticks = 1e6f;
    musica = nullptr;
    RunPhaseFrame(DemoPhases());
    EXPECT_EQ(parte, 11);
}

TEST_F(EndScreenTest, TheHandOverWithoutSongsStillClearsTheScene) {
    musica = nullptr;
    kolumomusic = nullptr;
    piecetest::UntexturedPiece(0, 1);
    parte = 11;
    entra_parte11();
    EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
    const std::vector<std::int16_t> out = testseam::AudioAdvanceFrames(10);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t v) { return v == 0; }));
}

TEST_F(EndScreenTest, TheGroupLogoIsKickedUpWheneverItSinksBelow550) {
    ASSERT_EQ(halvreny, 575.0f);
    ASSERT_EQ(halvrenvy, -4.0f);
    // Its first frame: below 550, so the speed is -2 at once and the start speed never used.
    RebotaHalvren();
    EXPECT_EQ(halvreny, 573.0f);
    EXPECT_FLOAT_EQ(halvrenvy, -1.9f);

    // Every frame that starts with the logo below 550 on the screen kicks it (speed -2), every
    // frame moves it by its speed, and the speed grows by 0.1 a frame.
    std::vector<int> kicks;
    float top = halvreny;
    for (int frame = 2; frame <= 600; ++frame) {
        const float y = halvreny, vy = halvrenvy;
        RebotaHalvren();
        const bool kicked = y > 550.0f;
        if (kicked) kicks.push_back(frame);
        EXPECT_FLOAT_EQ(halvreny, y + (kicked ? -2.0f : vy)) << frame;
        EXPECT_FLOAT_EQ(halvrenvy, (kicked ? -2.0f : vy) + 0.1f) << frame;
        if (frame > 100) top = std::min(top, halvreny);
    }
    // It rises 2 pixels a frame until it is at 550 or above (frames 1 to 13, 575 to 549) ...
    ASSERT_GT(kicks.size(), 20u);
    for (int frame = 2; frame <= 13; ++frame) EXPECT_EQ(kicks[std::size_t(frame - 2)], frame);
    EXPECT_GT(kicks[12], 14);
    // ... then bobs about 20 pixels above 550, kicked once every 40 frames or so.
    for (std::size_t i = 13; i < kicks.size(); ++i) {
        EXPECT_GE(kicks[i] - kicks[i - 1], 40) << i;
        EXPECT_LE(kicks[i] - kicks[i - 1], 43) << i;
    }
    EXPECT_GT(top, 527.0f);
    EXPECT_LT(top, 531.0f);
}

TEST_F(EndScreenTest, TheWaveScrollerRunsTwoColumnsAFrameAndItsWaveSettlesNear80Degrees) {
    ASSERT_EQ(ang2creditos, 0.0f);
    OlaKolumo();
    EXPECT_EQ(poscreditos, 2.0f);
    // The angle after the last column: 200 steps of 2.3 degrees from the first.
    EXPECT_NEAR(angcreditos, 460.0f, 0.01f);
    EXPECT_NEAR(ang2creditos, 10 * std::sin(460 * M_PI / 180), 0.01f);
    for (int i = 1; i < 300; ++i) OlaKolumo();
    EXPECT_EQ(poscreditos, 600.0f);
    EXPECT_NEAR(ang2creditos, 80.0f, 0.1f);
    // Once settled the wave stands still.
    const float settled = ang2creditos;
    OlaKolumo();
    EXPECT_NEAR(ang2creditos, settled, 0.01f);
}

} // namespace

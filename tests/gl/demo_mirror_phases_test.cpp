// Phases 5 and 7 rendered through the frame-capture path (capture.h: the virtual clock, 735
// sample frames per video frame): one frame of each against a stored reference, and for each
// properties reasoned out from the phase's rules.
//
// Each run starts at its phase (StartRunAtPhase): the music plays from the end tick of the
// phase before and the phase's set-up runs as the sequencer runs it. The references in
// tests/fixtures/demo/ are these tests' own frames (see renderer.txt).
#include "demo/demo.h"
#include "demo/flash.h"
#include "demo/tcubemap.h"
#include "demo/tcubo.h"
#include "demo/tparticula.h"
#include "demo/tpieza.h"
#include "engine/camera.h"
#include "engine/commands.h"
#include "engine/mesh.h"
#include "engine/pivot.h"
#include "engine/texture.h"
#include "platform/testing.h"

#include "demo_fixture_gl.h"
#include "frame_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using demogl::DemoRunTest;
using framereference::ExpectMatchesReference;

// Runs the demo from the start of `phase` until the first frame whose clock reaches `tick`;
// returns the clock of every frame run.
std::vector<float> RunPhaseTo(int phase, int tick) {
    DemoStartup();
    EXPECT_TRUE(StartRunAtPhase(phase));
    std::vector<float> clocks;
    RunFrames(100000, [&](long) {
        clocks.push_back(ticks);
        return ticks < float(tick);
    });
    return clocks;
}

// What both phases show of the room in every frame.
void ExpectRoomInPlace() {
    ASSERT_NE(cubo, nullptr);
    ASSERT_NE(cubemap, nullptr);
    EXPECT_EQ(cubo->pivote->hide, 0);
    EXPECT_NEAR(EntityZ(cubo->pivote, 1), EntityZ(camara, 1), 1e-5) << "centred on the camera";
    EXPECT_EQ(camara->hide, 0);
    EXPECT_EQ(cubemap->camara->hide, 1);
    EXPECT_EQ(cubemap->esfera->hide, 0);
    EXPECT_EQ(cubemap->textura->cube_face, 5) << "six faces rendered";
    ASSERT_EQ(tpieza::lista_piezas->Count(), 15);
    for (const tpiezaRef& p : *tpieza::lista_piezas)
        EXPECT_NEAR(std::hypot(p->x, p->y, p->z), 10.0, 1e-4);
}

TEST_F(DemoRunTest, PhaseFiveMatchesItsReferenceAfterTheFirstZoomBeat) {
    const std::vector<float> clocks = RunPhaseTo(5, 1810);
    ASSERT_EQ(parte, 5);
    const testseam::FrameCapture shot = testseam::CaptureFrame();
    ExpectMatchesReference(shot, "jump5-tick-01810.png");
    ExpectRoomInPlace();
    EXPECT_EQ(cubemap->textura->cube_mode, 1);
    EXPECT_GT(cubemap->pivote->sx, 0.0f);
    // The zoom beat at 1796 fired once: zoom 1.5, and the cube turns back since that frame.
    EXPECT_EQ(sincCubeMapPow_pos, 1);
    EXPECT_FLOAT_EQ(camara->zoom, 1.5f);
    std::size_t beat = 0;
    while (clocks[beat] < 1796.0f) ++beat;
    const double expected = 0.125 * double(beat) - 0.125 * double(clocks.size() - beat);
    EXPECT_NEAR(cuboangx, expected, 1e-3) << clocks.size() << " frames, beat in " << beat + 1;
    EXPECT_EQ(cubovely, -0.125f);
    // One Riick beat per entry reached (none behind).
    int riick = 0;
    while (float(sincCubeMapRiick[std::size_t(riick)]) <= clocks.back()) ++riick;
    EXPECT_EQ(sincCubeMapRiick_pos, riick);
}

TEST_F(DemoRunTest, PhaseSevenMatchesItsReferenceWithTheRingOfParticles) {
    const std::vector<float> clocks = RunPhaseTo(7, 2770);
    ASSERT_EQ(parte, 7);
    const testseam::FrameCapture shot = testseam::CaptureFrame();
    ExpectMatchesReference(shot, "jump7-tick-02770.png");
    ExpectRoomInPlace();
    EXPECT_EQ(cubemap->textura->cube_mode, 2);
    EXPECT_LT(cubemap->pivote->sx, 0.0f);
    // The zoom eased from 0.125 toward 0.75, and from the beat at 2756 on toward 2.5 (the beat
    // follows the frame's easing step).
    double zoom = 0.125, dest = 0.75;
    for (float c : clocks) {
        zoom = float(zoom + (dest - zoom) * 0.02);
        if (c >= 2756.0f) dest = 2.5;
    }
    EXPECT_FLOAT_EQ(zoomcamara, float(zoom));
    EXPECT_FLOAT_EQ(camara->zoom, float(zoom));
    EXPECT_EQ(zoomcamaradest, 2.5f);
    // One particle per frame, each living 100 frames.
    EXPECT_EQ(tparticula::lista_particulas->Count(), std::min<int>(int(clocks.size()), 100));
}

} // namespace

// One frame of each opening phase, driven on a set clock: what each frame draws and updates
// (logo, beat, title words, closing flash) and the random draws it makes, in their order; and
// the hand-over into phase 4 when its line drawing is missing.
#include "../unit/temp_dir.h"
#include "demo/flash.h"
#include "demo/logo.h"
#include "demo/phases.h"
#include "demo/phases_opening.h"
#include "demo/sequencer.h"
#include "demo/titulo.h"
#include "demo/tscroll.h"
#include "element_fixture.h"
#include "platform/image2d.h"
#include "platform/random.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using elementgl::Exited;

// The opening phases' globals built from small stand-in images; camera as at start-up.
class OpeningTest : public elementgl::DemoElementTest {
  protected:
    void SetUp() override {
        DemoElementTest::SetUp();
        const auto image = [](std::uint32_t argb) {
            ImageRef i = LoadImage(gltest::SolidPixmap(16, 16, argb), 1);
            SetImageHandle(i, 8, 8);
            return i;
        };
        fondo = image(gltest::Rgb(90, 90, 90));
        marco = image(gltest::Rgb(10, 20, 30));
        portada = image(gltest::Rgb(200, 100, 0));
        flash = tflash::crea();
        logo = tlogo::crea(portada);
        for (auto& t : titulo) t = ttitulo::crea(image(gltest::Rgb(0, 0, 255)));
        camara = CreateCamera(nullptr);
        CameraClsMode(camara, KEEPBUFFER, CLEARBUFFER);
        CameraFogMode(camara, LINEARFOG);
        CameraFogRange(camara, 125, 130);
        PositionEntity(camara, -15, -10, -15, 0);
        RotateEntity(camara, 5, -8, 0, 0);
        FillBeatTables();
        testseam::ResetRandom();
    }
    void TearDown() override {
        tpieza::destruyetodo();
        DemoElementTest::TearDown();
    }

    // One frame of the phase at the clock value.
    static void frame(void (*phase)(), float at) {
        ticks = at;
        phase();
    }
};

TEST_F(OpeningTest, PhaseOneZoomsTheLogoInAndDrawsNoRandomNumber) {
    const std::uint32_t first = [] {
        testseam::ResetRandom();
        return RandomBits();
    }();
    testseam::ResetRandom();
    frame(parte1, 10);
    EXPECT_FLOAT_EQ(logo->escala, 0.011f);
    EXPECT_FLOAT_EQ(logo->alfa, 0.011f);
    EXPECT_TRUE(tpieza::lista_piezas->IsEmpty());
    EXPECT_EQ(RandomBits(), first);
    EXPECT_EQ(parte, 1); // the phase-end test is the sequencer's
}

TEST_F(OpeningTest, PhaseTwoBouncesTheLogoOnTheBeatOncePerEntry) {
    logo->escala = 1.0f;
    frame(parte2, 277.9f);
    EXPECT_EQ(sincTuntaraTun_pos, 0);
    EXPECT_EQ(logo->escala, 1.0f);
    // The beat lands after this frame's bounce step: the logo stands at 1.1 ...
    frame(parte2, 278);
    EXPECT_EQ(sincTuntaraTun_pos, 1);
    EXPECT_FLOAT_EQ(logo->escala, 1.1f);
    // ... and eases back a tenth of the way per frame; the next entry is still ahead.
    frame(parte2, 300);
    EXPECT_EQ(sincTuntaraTun_pos, 1);
    EXPECT_FLOAT_EQ(logo->escala, 1.09f);
    // A clock that jumps past two entries fires one per frame.
    frame(parte2, 400);
    frame(parte2, 400);
    EXPECT_EQ(sincTuntaraTun_pos, 3);
    frame(parte2, 400);
    EXPECT_EQ(sincTuntaraTun_pos, 3);
}

TEST_F(OpeningTest, PhaseThreeShowsEachWordAfterItsTickDrawingInTheFixedOrder) {
    // At 476 exactly no word yet; above it the first.
    frame(parte3, 476);
    EXPECT_EQ(titulo[0]->alfa, 0.0f);
    frame(parte3, 476.5f);
    EXPECT_FLOAT_EQ(titulo[0]->alfa, 0.01f);
    EXPECT_EQ(titulo[1]->alfa, 0.0f);

    // At 600 three words are drawn. The frame draws the spawn test (and a spawned piece's six
    // numbers) first, then one Rand(-2, 2) per word, in index order. Checked from many points
    // of the sequence, so that frames with and without a spawn both come up.
    int spawning = 0;
    for (int offset = 0; offset < 60; ++offset) {
        testseam::ResetRandom();
        for (int f = 0; f < offset; ++f) RandomBits();
        const bool spawns = Rand(0, 99) < 10;
        if (spawns) {
            for (int k = 0; k < 5; ++k) Rnd(0, 1);
            Rand(0, 6);
        }
        int jitter[3];
        for (int& j : jitter) j = Rand(-2, 2);
        const std::uint32_t next = RandomBits();

        testseam::ResetRandom();
        for (int f = 0; f < offset; ++f) RandomBits();
        const int before = tpieza::lista_piezas->Count();
        frame(parte3, 600);
        EXPECT_EQ(tpieza::lista_piezas->Count(), before + (spawns ? 1 : 0)) << offset;
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(titulo[i]->x, 400 + jitter[i]) << offset;
        EXPECT_EQ(titulo[3]->alfa, 0.0f);
        EXPECT_EQ(RandomBits(), next) << offset;
        spawning += spawns ? 1 : 0;
    }
    EXPECT_GT(spawning, 0);
    EXPECT_LT(spawning, 60);
}

TEST_F(OpeningTest, PhaseThreeHoldsTheFlashAtFullWhiteFromTick710) {
    frame(parte3, 710);
    EXPECT_EQ(flash->estado, 0);
    EXPECT_EQ(flash->alfa, 0.0f);
    frame(parte3, 710.5f);
    EXPECT_FLOAT_EQ(flash->alfa, 0.5f);
    for (int f = 0; f < 10; ++f) {
        frame(parte3, 712);
        EXPECT_FLOAT_EQ(flash->alfa, 1.0f) << "frame " << f;
    }
    // Once the phase is over the flash falls.
    flash->actualiza();
    EXPECT_FLOAT_EQ(flash->alfa, 0.85f);
}

TEST_F(OpeningTest, AMissingLineDrawingEndsTheHandOverNamingIt) {
    TempDir tmp;
    std::filesystem::create_directories(tmp.dir() / "media");
    std::filesystem::copy_file("media/pieza.png", tmp.dir() / "media/pieza.png");
    const std::string before = CurrentDir();
    ASSERT_TRUE(ChangeDir(tmp.dir().string()));
    parte = 4;
    try {
        entra_parte4();
        ADD_FAILURE() << "the hand-over went on without media/verde.lap";
    } catch (const Exited& e) {
        EXPECT_NE(e.status, 0);
        EXPECT_NE(e.message.find("media/verde.lap"), std::string::npos) << e.message;
    }
    ChangeDir(before);
}

} // namespace

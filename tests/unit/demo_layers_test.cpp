// The flash, the logo, the title words and the backdrops: their state machines and easing
// against worked values, and the 2D state each leaves for the draw (read back from the 2D layer,
// which keeps its drawing state without a display).
#include "demo/backdrops.h"
#include "demo/flash.h"
#include "demo/logo.h"
#include "demo/titulo.h"
#include "platform/image2d.h"
#include "platform/random.h"
#include "platform/testing.h"

#include "demo_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using demotest::DemoTest;

// Whether a routine drew: it sets blend 3 before drawing, so a different blend left in place
// means it returned without drawing.
void MarkNotDrawn() {
    SetBlend(LIGHTBLEND);
}
bool Drew() {
    return GetBlend() == ALPHABLEND;
}

using FlashTest = DemoTest;

TEST_F(FlashTest, OpeningFlashRisesHoldsAFrameFallsAndGoesIdle) {
    tflashRef f = tflash::crea();
    EXPECT_EQ(f->estado, 0);
    f->activa(1.0f, 0.1f, 0.01f);
    std::vector<float> drawn; // the opacity of each frame that drew
    int lastDrawnFrame = 0;
    for (int frame = 1; frame <= 120; ++frame) {
        MarkNotDrawn();
        f->actualiza();
        if (Drew()) {
            drawn.push_back(GetAlpha());
            lastDrawnFrame = frame;
            EXPECT_EQ(GetAlpha(), f->alfa);
        }
        if (frame == 10) {
            EXPECT_EQ(f->alfa, 1.0f) << "clamped at 1";
        }
        if (frame == 11) {
            EXPECT_EQ(f->estado, 2) << "turns to falling without a step";
        }
        if (frame == 111) {
            EXPECT_GT(f->alfa, 0.0f);
        }
        if (frame == 112) {
            EXPECT_EQ(f->alfa, 0.0f);
        }
        if (frame == 112) {
            EXPECT_EQ(f->estado, 2);
        }
        if (frame == 113) {
            EXPECT_EQ(f->estado, 0);
        }
    }
    ASSERT_EQ(drawn.size(), 113u);
    EXPECT_EQ(lastDrawnFrame, 113);
    for (int k = 1; k <= 10; ++k) EXPECT_NEAR(drawn[std::size_t(k - 1)], 0.1f * float(k), 1e-6f);
    EXPECT_EQ(drawn[10], 1.0f);
    EXPECT_NEAR(drawn[11], 0.99f, 1e-6f);
    EXPECT_NEAR(drawn[12], 0.98f, 1e-6f);
    EXPECT_EQ(drawn[112], 0.0f);
}

TEST_F(FlashTest, PeaksByWholeStepsNeverAboveOne) {
    struct Case {
        float maximo, subida, bajada;
        std::vector<float> first; // opacities of the first frames
    };
    const Case cases[] = {
        {0.3f, 0.125f, 0.1f, {0.125f, 0.25f, 0.375f, 0.375f, 0.275f}},
        {1.0f, 0.5f, 0.15f, {0.5f, 1.0f, 1.0f, 0.85f, 0.7f}},
        {2.0f, 0.4f, 0.5f, {0.4f, 0.8f, 1.0f, 1.0f, 1.0f}}, // never reaches its peak
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maximo);
        tflash f;
        f.activa(c.maximo, c.subida, c.bajada);
        for (float expected : c.first) {
            f.actualiza();
            EXPECT_NEAR(f.alfa, expected, 1e-6f);
        }
    }
}

TEST_F(FlashTest, ActivaWhileFallingRisesFromWhereItIsAndHoldsWhenRepeated) {
    tflash f;
    f.alfa = 0.6f;
    f.estado = 2;
    f.activa(1.0f, 0.5f, 0.15f);
    EXPECT_EQ(f.alfa, 0.6f) << "activa keeps the opacity";
    f.actualiza();
    EXPECT_EQ(f.alfa, 1.0f);
    // Called every frame (as a phase does before its end), it holds the flash at its peak.
    for (int i = 0; i < 5; ++i) {
        f.activa(1.0f, 0.5f, 0.15f);
        f.actualiza();
        EXPECT_EQ(f.alfa, 1.0f);
        EXPECT_EQ(f.estado, 2) << "at its peak it turns to falling, and activa turns it back";
    }
    // An unknown state draws nothing.
    f.estado = 7;
    MarkNotDrawn();
    f.actualiza();
    EXPECT_FALSE(Drew());
}

TEST_F(FlashTest, PintaSetsTheWholeDrawState) {
    SetScale(3, 3);
    SetRotation(45);
    SetColor(1, 2, 3);
    tflash f;
    f.alfa = 0.25f;
    f.pinta();
    float sx, sy;
    GetScale(sx, sy);
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(GetBlend(), ALPHABLEND);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);
    EXPECT_EQ(GetRotation(), 0.0f);
    EXPECT_EQ(GetAlpha(), 0.25f);
    EXPECT_EQ(r + g + b, 3 * 255);
}

using LogoTest = DemoTest;

TEST_F(LogoTest, ZoomInReachesWorkedValues) {
    tlogoRef logo = tlogo::crea(nullptr);
    EXPECT_EQ(logo->x, 400);
    EXPECT_EQ(logo->y, 300);
    for (int frame = 1; frame <= 470; ++frame) {
        logo->zoomin();
        if (frame == 100) {
            EXPECT_NEAR(logo->escala, 0.669f, 0.0005f);
            EXPECT_EQ(logo->alfa, logo->escala);
        }
    }
    EXPECT_NEAR(logo->escala, 0.9945f, 0.00005f);
    // Drawn at its scale and opacity.
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, logo->escala);
    EXPECT_EQ(sy, logo->escala);
    EXPECT_EQ(GetAlpha(), logo->alfa);
}

TEST_F(LogoTest, BounceEasesBackFromABeatInTwentyTwoFramesFullyOpaque) {
    tlogo logo;
    logo.alfa = 0.3f;
    logo.escala = 1.1f;
    for (int frame = 1; frame <= 22; ++frame) {
        logo.rebota();
        if (frame == 21) {
            EXPECT_GT(logo.escala, 1.01f);
        }
        EXPECT_EQ(GetAlpha(), 1.0f);
    }
    EXPECT_LE(logo.escala, 1.01f);
    EXPECT_EQ(logo.alfa, 0.3f) << "rebota leaves alfa alone";
}

TEST_F(LogoTest, ZoomOutAndPintaAndTheColourCarriedOver) {
    tlogo logo;
    logo.escala = 1.0f;
    logo.alfa = 1.0f;
    pon_fondo(0.5f, 0, 48, 96);
    logo.zoomout();
    EXPECT_FLOAT_EQ(logo.escala, 0.991f);
    EXPECT_FLOAT_EQ(logo.alfa, 0.991f);
    // The logo sets no colour: it draws in what the background left.
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 48);
    EXPECT_EQ(b, 96);
    logo.pinta();
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(GetAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(logo.escala, 0.991f);
}

using TituloTest = DemoTest;

TEST_F(TituloTest, FadesInShrinksAndShakesWithOneDrawPerFrame) {
    ttituloRef t = ttitulo::crea(nullptr);
    EXPECT_EQ(t->escala, 1.3f);
    EXPECT_EQ(t->alfa, 0.0f);
    // The same draws again from the start give the offsets the word must have taken.
    std::vector<int> offsets;
    testseam::ResetRandom();
    for (int i = 0; i < 120; ++i) offsets.push_back(Rand(-2, 2));
    testseam::ResetRandom();
    for (int frame = 1; frame <= 120; ++frame) {
        t->pinta();
        EXPECT_EQ(t->x, 400 + offsets[std::size_t(frame - 1)]);
        EXPECT_EQ(t->y, 300);
        if (frame == 100) {
            EXPECT_NEAR(t->escala, 0.999998f, 1e-6f);
        }
        if (frame == 101) {
            EXPECT_NEAR(t->alfa, 1.01f, 1e-5f);
        }
    }
    EXPECT_NEAR(t->alfa, 1.01f, 1e-5f) << "stops once at or above 1";
    EXPECT_NEAR(t->escala, 0.999998f, 1e-6f);
    EXPECT_EQ(GetAlpha(), 1.0f) << "the layer clamps the drawn opacity";
    EXPECT_EQ(GetBlend(), ALPHABLEND);
}

using BackdropTest = DemoTest;

TEST_F(BackdropTest, EachSetsItsStateAndPonFpsTouchesNothing) {
    SetScale(2, 2);
    SetRotation(10);
    pon_fondo(0.8f, 255, 128, 0);
    int r, g, b;
    GetColor(r, g, b);
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(GetAlpha(), 0.8f);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(GetRotation(), 0.0f);
    EXPECT_EQ(GetBlend(), ALPHABLEND);

    pon_marco();
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);
    EXPECT_EQ(GetAlpha(), 1.0f);

    // A new random opacity from 0.5 up to 1 on every call, one draw each.
    testseam::ResetRandom();
    const float a1 = Rnd(0.5f, 1.0f), a2 = Rnd(0.5f, 1.0f);
    testseam::ResetRandom();
    SetColor(9, 9, 9);
    pon_disenio(nullptr, 0, 381);
    EXPECT_EQ(GetAlpha(), a1);
    pon_disenio(nullptr, 234, 0);
    EXPECT_EQ(GetAlpha(), a2);
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);

    SetAlpha(0.3f);
    SetBlend(LIGHTBLEND);
    pon_fps();
    EXPECT_EQ(GetAlpha(), 0.3f);
    EXPECT_EQ(GetBlend(), LIGHTBLEND);
}

} // namespace

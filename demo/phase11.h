// The parts of phase 11 that run on their own: the end screen's firework launcher,
// wave scroller and bouncing group logo.
#pragma once

// The colours of the fireworks, picked per launch with Rand(1, 4).
inline constexpr int kColoresFuego[4][3] = {
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {255, 0, 255},
};

// The end screen's rocket launcher, run once per phase-11 frame: counts `frecuenciafuegos` down,
// and once it is 0 launches a rocket instead: the next wait Rand(15, 60), the colour Rand(1, 4),
// then (drawn in this order) the life Rand(90, 120), the upward speed Rnd(-4, -2), the side speed
// Rnd(-2, 2) and the x Rnd(200, 600), from y = 500, bursting at the end of its life.
void LanzaFuegos();

// The end screen's wave scroller: 200 columns of `scrollkolumo` from Int(poscreditos) on, each
// 4 pixels wide, on a cosine wave of 50 pixels about y = 280 running 2.3 degrees per column
// from `ang2creditos`, black shadow 3 pixels right and down, text in (250, 160, 0); then the
// wave's phase drifts by 10 sin of the angle after the last column and the text moves on by 2
// columns.
void OlaKolumo();
inline constexpr int kCuadrosKolumo = 3600; // text columns in the strip

// The group logo: kicked up at 2 pixels per frame whenever its y is below 550 on the screen
// (above 550 in value), pulled back by 0.1 per frame, drawn at (410, halvreny) twice as high
// as wide in the colour left by the scroller.
void RebotaHalvren();

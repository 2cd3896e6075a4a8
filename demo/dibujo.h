// The pen readers: the steps of the phases' frames that turn the points of the ".lap" line
// drawings into pen dots (tpluma.h).
//
// A ".lap" file is a plain run of little-endian signed 32-bit integers, no header, no count,
// no terminator; consecutive pairs are screen points (x, y) in drawing order. The phase-4
// drawings hold records of 16 bytes (a pair that is read and dropped, then the point
// stamped); the trail and greeting files hold one 8-byte point per record. A short last record
// reads its missing integers as 0 (a partial integer keeps the bytes that are there), so its
// dot is stamped with those values. Points are stamped unchanged, off screen or not.
//
// Every step runs inside a 2D block (Begin2D .. End2D) of its phase's frame. The files are
// opened through MustOpenFile (media.h): one that cannot be opened ends the program naming it.
#pragma once

#include <array>
#include <string>

// The phase-4 drawings in reading order, with the colour of their dots.
struct DibujoScroll {
    const char* archivo;
    int r, g, b;
};
inline constexpr std::array<DibujoScroll, 4> kDibujosScroll = {{
    {"media/verde.lap", 0, 200, 0},
    {"media/naranja.lap", 200, 100, 0},
    {"media/rosa.lap", 200, 0, 200},
    {"media/rojo.lap", 200, 0, 0},
}};
// Frames the phase-4 reader waits before each drawing after the first, and after the last.
inline constexpr int kPausaDibujo = 60;
inline constexpr int kPausaFinal = 350;

// The colours of the trail dots, picked per point with Rand(0, 6).
inline constexpr std::array<std::array<int, 3>, 7> kColoresEstela = {{
    {255, 0, 0},
    {0, 255, 0},
    {0, 0, 255},
    {255, 127, 0},
    {255, 200, 0},
    {255, 0, 255},
    {0, 255, 255},
}};
// Frames between two wipes of the trail dots is this plus one.
inline constexpr int kBorradoEstela = 10;

// The last greeting file; the greeting events count up to it and then keep reopening it.
inline constexpr int kUltimoSaludo = 16;

// The phase-4 reader, once per frame of phase 4, before the dots are drawn. While `scrollpausa`
// is above 0 it counts down and touches nothing else. Otherwise: once the fourth drawing is
// done (`scrolldibujo` 5) the stamped dots hop away; then either one record of `dibujo` is
// stamped in the colour (scrollr, scrollg, scrollb), or, at the end of the file, the file is
// closed, `scrolldibujo` counts on and the next drawing is opened with its colour and a pause
// of 60 frames (after the fourth: no file, a pause of 350 frames). The end-of-file test runs
// once per frame, before the record's four reads.
int lee_dibujo_scroll();

// The trail pens' step, once per frame of phases 6 and 9: one point from `dibujo` and one from
// `dibujo2`, each stamped in a trail colour drawn with Rand(0, 6) and marked with the glow
// `flare` (a pen whose file has ended does nothing); then the wipe countdown (`estelaborrado`
// counts down to 0, and the frame after, it starts again at 10 and the stamped dots hop away),
// then every dot is drawn with blend 3.
int paso_estelas();

// The greeting switch of a greeting beat of phase 8: closes `dibujo`, opens greeting file
// `saludosnumero` in its place, counts `saludosnumero` up while it is below 16, and bursts the
// stamped dots.
int cambia_saludo();
// "media/saludo<n>.lap".
std::string ArchivoSaludo(int n);

// The greetings reader, once per frame of phase 8: reads `dibujo` to its end, stamping a white
// glow dot at each point, then draws every dot additively.
int lee_saludo();

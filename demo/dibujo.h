// The pen readers: the steps of the phases' frames that turn the points of the ".lap" line
// drawings into pen dots (tpluma.h).
//
// A ".lap" file is a plain run of little-endian signed 32-bit integers, no header, no count,
// no terminator; consecutive pairs are screen points (x, y) in drawing order. The phase-4
// drawings hold records of 16 bytes (a pair that is read and dropped, then the point
// stamped); the trail and greeting files hold one 8-byte point per record. Start-up refuses a
// file that ends in a cut record, holds other than its drawing's number of records (kDibujos)
// or has a point off the screen (FindDemoMediaProblems, media.h), so the readers meet the whole
// drawing, of points on the screen only.
//
// Every step runs inside a 2D block (Begin2D .. End2D) of its phase's frame. The files are
// opened through MustOpenFile (media.h): one that cannot be opened ends the program naming it.
#pragma once

#include "platform/stream.h"

#include <array>
#include <string>
#include <string_view>

// Bytes in one record of a phase-4 drawing and of a trail or greeting file.
inline constexpr int kBytesTrazo = 16;
inline constexpr int kBytesPunto = 8;
// The width and height of the screen the points are stamped on.
inline constexpr int kAnchoDibujo = 800;
inline constexpr int kAltoDibujo = 600;

// A line drawing of the show: its file, the bytes in one of its records and how many records
// it holds. The show knows its drawings: start-up refuses a file that holds any other number of
// records (FindDemoMediaProblems, media.h), so a file cut on a record boundary, which would be
// drawn short, is named at once. The media generator (tools/mediagen) writes each drawing to
// this count and fails when its drawing comes out otherwise.
struct DibujoDelShow {
    std::string_view archivo;
    int bytes;
    int registros;
};
// In the order the show first opens them: the four phase-4 drawings, the two trails of phases 6
// and 9, the greetings 0 to 16 of phase 8.
inline constexpr std::array<DibujoDelShow, 23> kDibujos = {{
    {"media/verde.lap", kBytesTrazo, 236},    {"media/naranja.lap", kBytesTrazo, 214},
    {"media/rosa.lap", kBytesTrazo, 222},     {"media/rojo.lap", kBytesTrazo, 228},
    {"media/estela.lap", kBytesPunto, 1000},  {"media/estela2.lap", kBytesPunto, 1000},
    {"media/saludo0.lap", kBytesPunto, 327},  {"media/saludo1.lap", kBytesPunto, 338},
    {"media/saludo2.lap", kBytesPunto, 328},  {"media/saludo3.lap", kBytesPunto, 322},
    {"media/saludo4.lap", kBytesPunto, 309},  {"media/saludo5.lap", kBytesPunto, 320},
    {"media/saludo6.lap", kBytesPunto, 276},  {"media/saludo7.lap", kBytesPunto, 350},
    {"media/saludo8.lap", kBytesPunto, 303},  {"media/saludo9.lap", kBytesPunto, 334},
    {"media/saludo10.lap", kBytesPunto, 323}, {"media/saludo11.lap", kBytesPunto, 301},
    {"media/saludo12.lap", kBytesPunto, 276}, {"media/saludo13.lap", kBytesPunto, 334},
    {"media/saludo14.lap", kBytesPunto, 290}, {"media/saludo15.lap", kBytesPunto, 281},
    {"media/saludo16.lap", kBytesPunto, 292},
}};
// The entry of kDibujos for `archivo` ("media/..."); null for a file that is none of them.
constexpr const DibujoDelShow* BuscaDibujo(std::string_view archivo) {
    for (const DibujoDelShow& d : kDibujos)
        if (d.archivo == archivo) return &d;
    return nullptr;
}

// The point a record stamps.
struct PuntoDibujo {
    int x = 0;
    int y = 0;
};
// The next record of `archivo`, `bytes` long (kBytesTrazo: where the pen came from is read and
// dropped first; kBytesPunto: the point alone). Every reader of the files reads through it.
PuntoDibujo LeePuntoDibujo(const StreamRef& archivo, int bytes);
// What is wrong with a point read from a file ("" for a point on the screen): "point (812, 40)
// off the 800 x 600 screen".
std::string ProblemaPuntoDibujo(const PuntoDibujo& p);

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
static_assert(
    [] {
        for (const DibujoScroll& d : kDibujosScroll) {
            bool found = false;
            for (const DibujoDelShow& e : kDibujos)
                found = found || (e.archivo == d.archivo && e.bytes == kBytesTrazo);
            if (!found) return false;
        }
        return true;
    }(),
    "every phase-4 drawing is one of the show's drawings, of 16-byte records");
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

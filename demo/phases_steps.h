// The steps of the phase frames and hand-overs that run without drawing, or that several
// phases share: the camera pan of phase 4 and its row of pieces, the fifteen orbit pieces of
// the mirror-sphere room, the credits wave and split views of phase 6, the tickers of phases 6
// and 9 (tickers.cpp), and the greetings field's drift (greetings_field.cpp).
#pragma once

#include "demo/globals.h"

#include <array>

// ---- Phase 4 ----

// The scroller row built by the hand-over into phase 4: eleven pieces in a row at x = 20 i - 2.5, y
// 0, z -8, shapes 0 to 6 and again 0 to 3, standing in their shape at once, with outlines and
// random angles drawn per piece in the order roll, yaw, pitch (each Rnd(0, 359)). They are not
// updated here: their pivots stay at the origin until phase 4 updates them.
void BuildScrollerRow();
// The scroller's travel in a phase-4 frame, without the camera: a step above 0.02 drains by 0.2
// down to the floor 0.02, then `scrollcampos` moves on by the step.
void PasoCamaraScroll();

// ---- The mirror-sphere room (mirror_room.cpp) ----

// The fifteen orbit pieces: for i = 0 to 14, a piece of shape Rand(0, 6) at (2 i + 5, 0, 0)
// turned i * 22.5 degrees about every axis, gliding into shape, outlined, without parent; and
// row i of `cubopiezasang` = (45.5 i, 22.5 i, 0).
void CreaPiezasOrbita();

// ---- Phase 6 ----

// One column of the credits wave: drawn at (x, y) with frame `cuadro` of `creditos`, its grey
// shadow 6 pixels right and down.
struct ColumnaCreditos {
    float x = 0.0f;
    double y = 0.0; // the wave's height as formed, rounded only when drawn
    int cuadro = 0;
};
inline constexpr int kColumnasCreditos = 200; // 4 pixels apart over the 800-pixel width
inline constexpr int kCuadrosCreditos = 2600; // text columns in the credits strip

// The credits wave's step in a phase-6 frame: eases the jolt `tamcreditos` back by 5 %, lays the
// 200 columns out on the wave from `ang2creditos` (2.3 degrees further per column, height (350 -
// tamcreditos) + 50 cos(angle)), moves the wave's phase on by 10 sin of the angle after the last
// column and the text on by 2.1 columns. Returns the columns to draw.
std::array<ColumnaCreditos, kColumnasCreditos> AvanzaOlaCreditos();

// Top rows of the phase-6 views under the current jolt: the main view (32 - tamcreditos) and
// side view i of six (rendersscroll + 120 i - tamcreditos), truncated toward zero.
int ArribaVistaPrincipal();
int ArribaVistaLateral(int i);
// The side views move up a pixel per frame: `rendersscroll` counts down to -120 and, from
// there, starts again at 0.
void AvanzaVistasLaterales();

// The tickers of phases 6 and 9 (tickers.cpp), drawn with the 2D state already set (blend,
// rotation, alpha, colour): the upper one mirrored upside down above y = 133, the lower one below y
// = 467, each twice, 800 pixels apart, lowered by the jolt; then the upper runs a pixel left (from
// -800 back to 0) and the lower a pixel right (from 800 back to 0).
void PintaTickers();
void AvanzaTickers();

// ---- The greetings field of phase 8 (greetings_field.cpp) ----

// Edge distance of the greetings field's layer at depth z: (2 + z / 15) * 11.
float BordeSaludos(float z);
// One piece's drift in a phase-8 frame: its steady turn, the common drift, and
// the edge rule (a coordinate beyond the edge, strictly, is mirrored through the centre). The
// piece is not updated.
void MuevePiezaSaludos(tpieza& p);

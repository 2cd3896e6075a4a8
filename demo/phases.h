// The phases of the demo: one frame of each, and the set-up that runs when one phase hands over
// to the next.
//
// The sequencer (sequencer.h) calls `parteN()` once per frame while `parte` is N. A frame
// function draws the whole frame of its phase (2D background, 3D scene with RenderWorld, 2D
// overlays, flash) and runs the phase's beat tests where its frame has them; it does NOT run
// the phase-end test: the sequencer does that after the frame (`ticks` above the phase's end
// threshold, strictly), sets `parte` to the next phase and then calls that phase's set-up
// `entra_parteN()`, in the same frame. The set-up functions therefore find `parte` already
// set and do not touch it.
#pragma once

#include "platform/image2d.h"

class tpieza;

// ---- Opening phases 1 to 3 (phases_opening.cpp) ----

// Phase 1, one frame: background, the logo zooming in, RenderWorld, frame overlay, flash.
void parte1();
// Phase 2, one frame: background, the logo bouncing on sincTuntaraTun, flying pieces spawned
// and moved, RenderWorld, frame overlay, flash.
void parte2();
// Phase 3, one frame: phase 2's frame up to RenderWorld, then the title words, the closing
// flash (from tick 710 on), frame overlay, flash.
void parte3();

// ---- Phase 4 (phase4.cpp) ----

// Hand-over from phase 3 to phase 4, run at the end of the last frame of phase 3 with `parte`
// already 4: the flying pieces go, the row of eleven pieces, the scroller shown, the camera
// moved, fog pushed away, "media/verde.lap" opened into `dibujo`, the read cursor restored to
// the phase-4 zoom list.
void entra_parte4();
// Phase 4, one frame: background, the phase-4 pen reader and the pen dots (under the 3D scene),
// the beats (camera kick and zoom, flash, piece spin), the camera pan, the row of pieces
// turned and updated, RenderWorld, frame overlay, the closing flash (from tick 1670), flash.
void parte4();

// ---- Phase 5 (phase5.cpp) ----

// Hand-over from phase 4 to phase 5: sky cube shown, pen dots dropped, camera reset (zoom 0.5,
// at (0, 0, -20), unturned), the row of pieces and the scroller freed, the fifteen orbit
// pieces, the read cursor restored to the phase-5 zoom list.
void entra_parte5();
// Phase 5, one frame: background, the beats (piece spin kicks; zoom, cube turn reversed and
// flash; flash), the orbit pieces, the sky cube centred on the camera and turned, the mirror
// sphere's six face renders with the main camera hidden, RenderWorld, the closing flash (from
// tick 2150), the design credit `obel`, flash. No frame overlay.
void parte5();

// ---- The mirror-sphere room that phases 5 and 7 share (mirror_room.cpp) ----

// Radius of the pieces' orbit around the sphere.
inline constexpr float kRadioOrbita = 10.0f;
// The beat kick of the orbit pieces: for each piece in list order, velroll, velyaw and
// velpitch each gain Rnd(-15, 15), drawn in that order.
void PateaPiezasOrbita();
// Places the piece's pivot on its orbit: at the origin, turned by the three angles (pitch, yaw,
// roll), moved kRadioOrbita along its own z; the piece's x, y, z take the result. The piece's
// actualiza then puts its own rotation back.
void ColocaEnOrbita(tpieza& p, const float (&angulos)[3]);
// One orbit step of every listed piece, the i-th using row i of `cubopiezasang`: the row's
// angles grow by the three steps, the piece goes onto its orbit, its own pitch and yaw grow by
// `giro`, then it updates. Pieces past the table's 32 rows are left as they are.
void OrbitaPiezas(float paso0, float paso1, float paso2, float giro);
// The sky cube turned to (pitch, yaw, roll) and centred on the main camera.
void CentraCubo(float pitch, float yaw, float roll);
// The room's 2D background at half alpha, drawn before the 3D, unless the sky cube covers the
// whole view (tcubo::TapaLaVista).
// Left out, it can still show through a hairline the rounding of the cube's edges may leave
// between two faces: a few single pixels in a whole run differ from drawing it.
void FondoEspejo();
// The mirror sphere's update with the main camera hidden around it.
void ActualizaEspejo(int invertido);
// The closing 2D pass of phases 5 and 7 (no frame overlay): the flash held at full strength
// while `ticks` is above flashDesde, the flickering design credit at (x, y), the flash, pon_fps.
void CierreFaseEspejo(int flashDesde, const ImageRef& disenio, int x, int y);

// ---- Phase 6 (phase6.cpp) ----

// Hand-over from phase 5 to phase 6: sky cube and mirror sphere hidden (kept for phase 7), the
// orbit pieces freed, camera reset (zoom 1, at the origin, unturned), the two trail files
// opened into `dibujo` and `dibujo2`, the light's rotation reset.
void entra_parte6();
// Phase 6, one frame: background and the credits wave, the beats (flash, giant piece tipped,
// jolt), the giant piece, the main view and six scrolling side views, the two tickers, the
// trail pens, the closing flash (from tick 2630), flash.
void parte6();

// ---- Phase 7 (phase7.cpp) ----

// Hand-over from phase 6 to phase 7: giant piece freed, light turned back, camera reset (at
// (0, 0, -20), unturned, full screen, zoom 0.75), sphere shown in its smooth form and the sky
// cube shown, the trail files closed (the dots stay), the fifteen orbit pieces, the particle
// emitter's start angle, the cube's pitch speed (cubovelx) set to 2, the read cursor restored to
// the phase-7 zoom list.
void entra_parte7();
// Phase 7, one frame: background, the zoom easing toward its target, the beats (new target,
// cube turn reversed, flash and spin kicks; flash), the orbit pieces spinning, one particle
// from the emitter circling the room and the particles moved, the sky cube, the mirror
// sphere's face renders (inverted), RenderWorld, the closing flash (from tick 2990), the
// design credit `varnik`, flash. No frame overlay.
void parte7();
// The greetings field (greetings_field.cpp): three layers k = 0..2 of (2k + 4)^2 pieces 11 apart at
// depth 15k, rows then columns from -1 - k to k + 2, standing in shape, no outlines; per piece the
// draws are roll, yaw, pitch (Rnd(0, 359)) and the shape (Rand(0, 6)). 116 pieces.
void CreaCampoSaludos();

// ---- Phase 8 (phase8.cpp) ----

// Hand-over from phase 7 to phase 8: sky cube, mirror sphere, orbit pieces and particles freed,
// camera reset (zoom 1, at (0, 0, -10), unturned), the greetings field, its drift drawn, deep
// blue fog from 25 to 80, ambient light (64, 128, 128), the light turned to (30, -30, 0), the
// first greetings file opened into `dibujo`.
void entra_parte8();
// Phase 8, one frame: background tinted blue, the beats (new drift; flash, new spins and the
// next greeting), the field of pieces drifting, RenderWorld, the greetings reader and the dots
// drawn additively, the closing flash (from tick 3470), flash.
void parte8();

// ---- Phases 9 to 11 (phase9.cpp, phase10.cpp, phase11.cpp) ----

// Hand-over from phase 8 to phase 9: the pieces go, zoom 1, the scene file opened into
// `escenario`, white fog from 10 to 80, the two trail files opened again from their start, all
// pen dots dropped.
void entra_parte9();
// Phase 9, one frame: background, the jolt eased and the beats (jolt; the next piece of the
// scene file built, with particles and a new camera orbit), the orbit turned, pieces and
// particles updated, four quarter views and the main view, tickers, trail pens, the closing
// flash (from tick 3955), flash.
void parte9();
// Hand-over from phase 9 to phase 10: the scene file and the two trail files are closed; the
// rest of phase 9's state (camera, viewport, pieces, particles, pen dots) stays.
void entra_parte10();
// Phase 10, one frame: background, the camera backing away from the construction along its
// last line of sight, pieces and particles updated, RenderWorld through phase 9's main viewport,
// frame overlay, flash.
void parte10();
// Hand-over from phase 10 to phase 11: the music stops (the clock reads 0 from now on), the
// pieces go, the wave scroller starts again from its first column, and the end song starts on
// a channel of its own, repeating until the program ends.
void entra_parte11();
// Phase 11, one frame: the picture's back layer, RenderWorld, the firework launcher and the
// sparks, the middle layer, the wave scroller, the group logo, the top layer; then, before the
// flip, Escape ends the program. It has no end threshold.
void parte11();

// The demo's main globals: media, camera and light, the single elements, the per-phase
// variables, the current phase and the beat tables with their indices.
//
// Every global here is defined once, in globals.cpp, with its start value. Numbers start at 0
// and references at null unless the comment gives another value. Start-up (demo.h) loads the
// media into these globals and creates the elements; the phases read and write them directly.
// ResetDemoGlobals() puts every one back to its start value (tests and tools run the demo's
// code more than once in a process).
#pragma once

#include "demo/music.h" // tmusic, and the clock `ticks` (Float, written once per frame)
#include "engine/handles.h"
#include "platform/audio.h"
#include "platform/image2d.h"
#include "platform/stream.h"

#include <array>
#include <memory>
#include <vector>

// The demo's element types, each in a header of its own.
class tflash;        // flash.h: the screen flash
class tlogo;         // logo.h: the cover logo
class ttitulo;       // titulo.h: one title word
class tpieza;        // pieza.h: a block piece (list-kept)
class tscroll;       // scroll.h: the 3D scroller of phase 4
class tcubo;         // tcubo.h: the sky cube of phases 5 and 7
class tcubemap;      // tcubemap.h: the mirror sphere of phases 5 and 7
class tpiezagigante; // tpiezagigante.h: the giant piece of phase 6
using tflashRef = std::shared_ptr<tflash>;
using tlogoRef = std::shared_ptr<tlogo>;
using ttituloRef = std::shared_ptr<ttitulo>;
using tpiezaRef = std::shared_ptr<tpieza>;
using tscrollRef = std::shared_ptr<tscroll>;
using tcuboRef = std::shared_ptr<tcubo>;
using tcubemapRef = std::shared_ptr<tcubemap>;
using tpiezagiganteRef = std::shared_ptr<tpiezagigante>;

// ---- The current phase ----

extern int parte; // 1: the phase that runs, 1 to 11

// ---- Media, in the order start-up loads them ----

extern tmusicRef musica;        // "media/musica.ogg": the song that drives the clock
extern ImageRef portada;        // "media/portada.png", flags 7, handle (400, 300): the logo
extern ImageRef fondo;          // "media/fondo.png", flags 1, handle (400, 300): background
extern ImageRef marco;          // "media/marco.png", flags 1, handle (400, 300): frame overlay
extern ImageRef txt_theworld;   // "media/txt_theuniverse.png", flags 7, handle (400, 300)
extern ImageRef txt_is;         // "media/txt_is.png", flags 7, handle (400, 300)
extern ImageRef txt_fewordered; // "media/txt_fewunsorted.png", flags 7, handle (400, 300)
extern ImageRef txt_blocks;     // "media/txt_blocks.png", flags 7, handle (400, 300)
extern ImageRef lapiz;          // "media/lapiz.png", flags 1, handle (16, 16): pen dot
extern ImageRef flare;          // "media/flare.png", flags 1, handle (32, 32): glow
extern ImageRef kolumoimage;    // "media/kolumo.png": 3 cells of 334 x 229, flags 1
extern SoundRef kolumomusic;    // "media/kolumo.ogg", flags 1 (repeats): end-screen song
extern ImageRef obel;           // "media/obel.png", flags 1: design credit of phase 5
extern ImageRef varnik;         // "media/varnik.png", flags 1: design credit of phase 7
extern ImageRef ticker;         // "media/ticker.png", flags 1: tickers of phases 6 and 9
extern ImageRef creditos;       // "media/creditos.png": 2600 cells of 1 x 36, handle (0, 23)
extern ImageRef scrollkolumo;   // "media/scrollkolumo.png": 3600 cells of 1 x 36
extern ImageRef halvren;        // "media/halvrenstudios.png", flags 1, handle (169, 38)

// ---- Single elements and scene objects made at start-up ----

extern tflashRef flash;                  // the screen flash
extern tlogoRef logo;                    // the cover logo (portada)
extern std::array<ttituloRef, 4> titulo; // the four title words, drawn by index in phase 3
extern CameraRef camara;                 // the main camera
extern LightRef luz;                     // the one directional light
extern tscrollRef scroll;                // the 3D scroller, hidden until phase 4
extern tcuboRef cubo;                    // the sky cube, hidden until phase 5
extern tcubemapRef cubemap;              // the mirror sphere, hidden until phase 5
extern float cubopiezasang[32][3];       // orbit angles of the pieces of phases 5 and 7
extern tpiezagiganteRef piezagigante;    // the giant piece, hidden until phase 6
extern PivotRef constructorpivot;        // parent of the pieces built in phase 9

// ---- Line-drawing readers (phases 4, 6, 8, 9) ----

extern StreamRef dibujo;  // current file of the phase-4 reader, first trail pen or greetings
extern StreamRef dibujo2; // file of the second trail pen
extern int scrolldibujo;  // 1: number of the phase-4 drawing being read (1 to 4; 5 after)
extern int scrollpausa;   // 60: frames the phase-4 reader still waits before it reads
extern int scrollr;       // 0: colour of the phase-4 dots ...
extern int scrollg;       // 200
extern int scrollb;       // 0
extern int estelaborrado; // 10: frames until the next wipe of the trail dots
extern int saludosnumero; // 1: number of the next greeting file

// ---- Phase 4 ----

extern float scrollcampos;  // 0.0: camera x
extern float scrollcamvel;  // 0.05: camera x step per frame
extern float scrollcamposz; // 1.0: camera zoom

// ---- Phases 5 and 7 ----

extern float cuboangx;       // 0.0: pitch of the sky cube
extern float cuboangy;       // 0.0: yaw of the sky cube
extern float cubovelx;       // 0.125: pitch step per frame
extern float cubovely;       // 0.125: yaw step per frame
extern float zoomcamara;     // 0.125: camera zoom of phase 7
extern float zoomcamaradest; // 0.75: the zoom that zoomcamara eases toward

// ---- Phase 6 (and 9, 11) ----

extern float poscreditos;   // 0.0: scroll position of the credits, in columns
extern float angcreditos;   // 0.0: wave angle of the column being drawn
extern float ang2creditos;  // 0.0: wave angle of the first column
extern float tamcreditos;   // 0.0: vertical jolt in pixels
extern float rendersscroll; // 120.0: vertical offset of the column of small views
extern int tickerx1;        // 0: x offset of the upper ticker
extern int tickerx2;        // 0: x offset of the lower ticker

// ---- Phase 8 ----

extern float saludosvelx; // 0.0: drift of the greetings pieces
extern float saludosvely; // 0.0

// ---- Phases 9 to 11 ----

extern StreamRef escenario;  // the scene file, open from the hand-over into phase 9 to phase 10
extern float camaraangx;     // 0.0: pitch of the orbiting camera
extern float camaraangy;     // 0.0: yaw of the orbiting camera
extern float camaraangyvel;  // 1.0: turning speed of the orbit, degrees per frame
extern float camaradist;     // 15.0: distance of the camera from the origin
extern int frecuenciafuegos; // 60: frames until the next firework
extern float halvreny;       // 575.0: screen y of the group logo
extern float halvrenvx;      // 4.0
extern float halvrenvy;      // -4.0: vertical speed of the group logo

// ---- Beat tables ----
//
// Each table holds ascending music ticks and ends with the sentinel 100000; its index points at
// the entry due next and only moves forward. Start-up fills the tables from beat_tables.h; the
// phases test them with BeatHit (sequencer.h).

extern std::vector<int> sincTuntaraTun; // phases 2 and 3 (one index for both)
extern std::vector<int> sincScrollPow;  // phase 4
extern std::vector<int> sincScrollflash;
extern std::vector<int> sincScrollclap;
extern std::vector<int> sincCubeMapRiick; // phase 5
extern std::vector<int> sincCubeMapPow;
extern std::vector<int> sincCubeMapClap;
extern std::vector<int> sincHamClap; // phase 6
extern std::vector<int> sincHamPow;
extern std::vector<int> sincbolazoom; // phase 7
extern std::vector<int> sincbolaflash;
extern std::vector<int> sincSaludosPow; // phase 8
extern std::vector<int> sincSaludosClap;
extern std::vector<int> sincConstructorClap; // phase 9
extern std::vector<int> sincConstructorPow;

extern int sincTuntaraTun_pos;
extern int sincScrollPow_pos;
extern int sincScrollflash_pos;
extern int sincScrollclap_pos;
extern int sincCubeMapRiick_pos;
extern int sincCubeMapPow_pos;
extern int sincCubeMapClap_pos;
extern int sinchamclap_pos;
extern int sinchamPow_pos;
extern int sincbolazoom_pos;
extern int sincbolaflash_pos;
extern int sincSaludosPow_pos;
extern int sincSaludosClap_pos;
extern int sincConstructorClap_pos;
extern int sincConstructorPow_pos;

// Puts every global above (and `ticks`) back to its start value, dropping the references.
void ResetDemoGlobals();

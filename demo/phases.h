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
//
// Who implements what:
//   parte1, parte2, parte3, entra_parte4  -> phases_opening.cpp (opening phases and the
//                                            hand-over into phase 4)
//   the sequencer, the frame loop, start-up, flash, logo, title words, backdrops
//                                         -> sequencer.cpp, demo.cpp, flash.cpp, logo.cpp,
//                                            titulo.cpp, backdrops.cpp
//   phases 4 to 11 and their set-ups      -> not built yet
#pragma once

// ---- Opening phases (phases_opening.cpp) ----

// Phase 1, one frame: background, the logo zooming in, RenderWorld, frame overlay, flash.
void parte1();
// Phase 2, one frame: background, the logo bouncing on sincTuntaraTun, flying pieces spawned
// and moved, RenderWorld, frame overlay, flash.
void parte2();
// Phase 3, one frame: phase 2's frame up to RenderWorld, then the title words, the closing
// flash (from tick 710 on), frame overlay, flash.
void parte3();
// Hand-over from phase 3 to phase 4, run at the end of the last frame of phase 3 with `parte`
// already 4: the flying pieces go, the row of eleven pieces, the scroller shown, the camera
// moved, fog pushed away, "media/verde.lap" opened into `dibujo`, the read cursor restored to
// the phase-4 zoom list.
void entra_parte4();

// Phases 4 to 11 and the set-ups into phases 5 to 11 come with the later scenes.

// ---- What start-up expects of the element types ----
//
// Start-up (demo.cpp) creates the type-level collections before the display opens, in this
// order: tpieza::lista_piezas (a new empty list), tscroll::textura (six null brushes), then the
// collections of the later types. It therefore relies on these declarations:
//   pieza.h:  class tpieza { public: static std::shared_ptr<TList<tpiezaRef>> lista_piezas;
//             static TextureRef textura; static tpiezaRef crea(int tipo, float x, float y,
//             float z, float pitch, float yaw, float roll, int modo, int contorno,
//             const EntityRef& padre); int actualiza(); int destruye();
//             static int destruyetodo(); ... };
//   scroll.h: class tscroll { public: static std::array<BrushRef, 6> textura;
//             static tscrollRef crea(float x, float y, float z); int activa(); int destruye();
//             ... };
// Files the elements open go through the checked loaders of media.h (MustLoadTexture,
// MustLoadBrush, MustOpenFile), which end the program with an error naming the file when a
// load returns null.

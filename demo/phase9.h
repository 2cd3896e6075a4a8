// The parts of phases 9 and 10 that their frame functions share, or that run without drawing:
// the build step of the constructor, the orbiting camera and the five views of phase 9.
#pragma once

#include <array>

// The build step, at each sincConstructorClap event: a flash (0.9, 0.125, 0.06125); the next
// record of `escenario` (escena.h) becomes a piece under `constructorpivot`, gliding into shape
// (modo 0) at twice the usual speed, outlined; the camera draws its new pitch Rnd(15, 30),
// turning speed Rnd(-3, 3) and distance Rnd(15, 30), in that order; five particles burst at the
// piece's position.
void ConstruyeSiguientePieza();

// Steps 6 and 7 of a phase-9 frame, which phase 10 repeats: every piece updated in list order,
// then every particle.
void ActualizaConstruccion();

// Places the camera on the sphere of radius `camaradist` about the world origin, looking at the
// origin: at pitch `camaraangx` and yaw `yaw`, backed away along its own view axis.
void OrbitaCamara(float yaw);

// One of the five views of phase 9: the orbit yaw added to `camaraangy`, and the viewport before
// the jolt.
struct VistaConstructor {
    float desfase;
    int x, y, w, h;
};
// The four quarter views from directions 72 degrees apart, then the main view over them.
inline constexpr std::array<VistaConstructor, 5> kVistasConstructor = {{
    {72, 0, 0, 400, 300},
    {144, 400, 0, 400, 300},
    {216, 0, 300, 400, 300},
    {288, 400, 300, 400, 300},
    {0, 0, 32, 800, 536},
}};
// The top row of a view under the current jolt: y - tamcreditos, truncated toward zero.
int ArribaVistaConstructor(const VistaConstructor& v);

// The five views, each placed, given its viewport and rendered. The main view's viewport stays
// in force afterwards (phase 10 renders through it).
void VistasConstructor();

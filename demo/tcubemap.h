// The mirror sphere of phases 5 and 7: a sphere at the world origin painted with a 256 x 256
// cube map that is rendered again from the sphere's position every frame, so that it reflects
// the sky cube and the pieces around it. Each update hides the sphere, renders the scene six
// times through a face camera of its own (one 90-degree view per cube face, each drawn into
// its face by RenderWorldToCubeTex, limited to the texels the sphere can show), shows the sphere
// again and lets it breathe (a slow, uneven scaling per axis). Phase 5 uses the lumpy sphere in
// reflection mode; for phase 7 `cambia` puts a smooth sphere in its place, which actualiza(1) turns
// inside out in normal-map mode. Not list-kept: the main body holds its one instance and hides and
// shows `pivote` itself.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <memory>

class tcubemap;
using tcubemapRef = std::shared_ptr<tcubemap>;

class tcubemap {
  public:
    static constexpr int kTamanio = 256;    // side of each cube face in pixels
    static constexpr int kSegmentos = 24;   // segments of the sphere
    static constexpr float kBulto = 0.009f; // largest lump offset per coordinate
    static constexpr int kFxNormal = FULLBRIGHTFX | NOFOGFX | NOCULLFX;
    static constexpr int kFxCambiada = FULLBRIGHTFX | NOFOGFX;

    TextureRef textura; // the cube map
    CameraRef camara;   // the face camera; hidden except inside actualiza
    MeshRef esfera;     // the sphere, under the pivot
    int modo = 0;       // cube mode chosen at creation (1)
    PivotRef pivote;    // parent of the sphere, at the origin; scaled and turned by actualiza
    BrushRef brocha;    // the sphere's brush, carrying the cube map
    float ang1 = 0.0f;  // phase angles of the breathing, degrees
    float ang2 = 0.0f;
    float ang3 = 0.0f;
    bool ambas_caras = true; // the sphere is drawn from both sides (its fx has NOCULLFX)

    // Builds the sphere (lumpy, hidden), its brush, the cube map and the hidden face camera.
    // Draws 3 random numbers per vertex of the sphere (z, y, x) and then the three breathing
    // angles. Without a display the cube map is null and the rest is still built.
    static tcubemapRef crea();
    // Frees the face camera, the sphere and the cube map; the pivot and the brush stay.
    int destruye();
    // Puts a new smooth sphere in place of the lumpy one (back faces culled again) and turns
    // the pivot to a fixed start rotation.
    int cambia();
    // One frame: the breathing, then the six face renders through the face camera with the
    // sphere hidden. Every other camera must be hidden by the caller while it runs. invertido
    // 0: reflection mode and a slow spin; otherwise the sphere is turned inside out and mapped
    // by its normals.
    //
    // With a viewing camera `vista` (the one that shows the sphere afterwards), each face
    // renders only the rectangle of texels that the sphere drawn by that camera can read
    // (CubeMapTexelsRead) and skips a face it reads nothing of (that face keeps what it held);
    // null renders the whole faces, as does a sphere drawn from both sides, which reads nearly
    // every texel.
    int actualiza(int invertido, const CameraRef& vista);
};

// Moves every vertex of the surface by a random offset in [-bulto, bulto) per coordinate, the
// three numbers drawn in the order z, y, x.
void AbultaSuperficie(const SurfaceRef& superficie, float bulto);

// The sky cube: six inward-facing textured squares under one pivot, a room of edge 150 that the
// mirror-sphere phases keep centred on the camera and turn slowly, so that it reads as a sky
// box; the mirror sphere reflects it. Built hidden at start-up, shown for phase 5, hidden
// during phase 6 (the phases touch `pivote` directly), shown again for phase 7 and freed when
// phase 7 ends. Not list-kept: the main body holds its one instance.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"

#include <array>
#include <memory>
#include <string>

class tcubo;
using tcuboRef = std::shared_ptr<tcubo>;

class tcubo {
  public:
    static constexpr int kCaras = 6;
    // Texture flags of the face images.
    static constexpr int kTextureFlags =
        COLORTEXTURE | ALPHATEXTURE | MIPMAPPEDTEXTURE | CLAMPUTEXTURE | CLAMPVTEXTURE;
    // Distance of each face from the pivot (the pivot's scale); the cube's edge is twice this.
    static constexpr float kRadio = 75.0f;

    // The cube-map face (GetCubeFace) where face i sits: under the pivot (before the scale) at
    // the face's direction, turned as a camera looking at it is, so that its front looks toward
    // the pivot and the cube is seen from inside. Faces +z, +x, -z, -x, +y, -y.
    static constexpr std::array<int, kCaras> kCaraCubo = {1, 2, 3, 0, 4, 5};

    std::array<MeshRef, kCaras> caras{};          // the six faces
    std::array<SurfaceRef, kCaras> superficies{}; // the one surface of each face
    PivotRef pivote;                              // parent of the faces; moved by the phases

    // Brush i paints face i, from archivo(i): "media/cubo000<i>b.png". Filled by crea, never
    // freed.
    static std::array<BrushRef, kCaras> textura;
    static std::string archivo(int i);
    // Whether every texel of the six images is fully opaque (found by crea).
    static bool opaca;

    // Loads the six brushes and builds the cube, hidden, at the origin. The camera is not used
    // (the phases centre the cube on the camera each frame). Brush i is made from texturas[i],
    // PrepareTexture(archivo(i), kTextureFlags) made ahead, or loaded here where that is null.
    // An image that cannot be loaded ends the program with an error naming the file.
    static tcuboRef crea(const CameraRef& vista,
                         const std::array<PreparedTextureRef, kCaras>& texturas = {});
    // Frees the pivot with the six faces; the brushes stay.
    int destruye();
    // Shows the cube.
    int activa();
    // Whether the cube, as it stands, covers every pixel that `vista` draws with opaque
    // texels, so that nothing drawn there before the camera renders can show: the cube and
    // all its faces are shown, its images are opaque, it is centred on the camera, the
    // camera's viewport is the whole display and its range takes in the whole cube.
    bool TapaLaVista(const CameraRef& vista) const;
};

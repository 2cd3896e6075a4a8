// An animated character in a foggy wood at dusk: a skinned model walking on the spot, trees
// whose crowns are sprites, fireflies that are glowing sprites, and linear fog that fades the
// far ground and trees into the sky. Space switches between walking and standing idle (the
// change blends over a few frames), Left and Right turn the character, Escape quits.
//
// The model and the two sprite images lie in the folder examples/ beside the program; the
// build makes them (tools/examplemedia). The model holds both sequences one after the other in
// one animation: the walk in frames 0 to 40, the idle sway in frames 41 to 80.
#include "engine/commands.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

const char* const kModel = "examples/character.b3d";
const char* const kGlow = "examples/glow.png";
const char* const kLeaves = "examples/leaves.png";

// A tree: a brown trunk with three clumps of leaves at its top. The clumps are sprites, so they
// always face the camera; a pivot holds the parts together.
void tree(float x, float z, float height) {
    PivotRef root = CreatePivot(nullptr);
    PositionEntity(root, x, 0, z, 0);
    MeshRef trunk = CreateCylinder(8, 1, root);
    ScaleEntity(trunk, 0.15f, height / 2, 0.15f, 0);
    PositionEntity(trunk, 0, height / 2, 0, 0);
    EntityColor(trunk, 90, 60, 40);
    const float clumps[3][3] = {{-0.4f, 0.0f, 1.1f}, {0.45f, 0.2f, 1.0f}, {0.0f, 0.8f, 1.2f}};
    for (const auto& c : clumps) {
        // MASKEDTEXTURE: the texels outside the clump are left out. A sprite loaded without
        // ALPHATEXTURE is drawn additively, glowing; the alpha blend mode draws it solid.
        SpriteRef leaves = LoadSprite(kLeaves, COLORTEXTURE | MASKEDTEXTURE, root);
        EntityBlend(leaves, ALPHABRUSHBLEND);
        PositionEntity(leaves, c[0], height + c[1], 0, 0);
        ScaleSprite(leaves, c[2], c[2]);
    }
}

// The ground: a flat grid of cells x cells squares, size units across, centred at (0, 0, z).
// Fog is worked out at the corners of each triangle and blended across it, so one big square
// would take the fog of its far corners everywhere; small squares keep it right.
MeshRef ground(float size, int cells, float z) {
    MeshRef mesh = CreateMesh(nullptr);
    SurfaceRef surface = CreateSurface(mesh, nullptr);
    const float step = size / float(cells);
    for (int i = 0; i <= cells; ++i)
        for (int j = 0; j <= cells; ++j) {
            const float x = -size / 2 + float(i) * step, vz = z - size / 2 + float(j) * step;
            AddVertex(surface, x, 0, vz, 0, 0, 0);
        }
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j) {
            // Corners named by (x, z) steps; seen from above, each triangle turns clockwise.
            const int v00 = i * (cells + 1) + j, v01 = v00 + 1;
            const int v10 = v00 + cells + 1, v11 = v10 + 1;
            AddTriangle(surface, v00, v01, v11);
            AddTriangle(surface, v00, v11, v10);
        }
    UpdateNormals(mesh);
    return mesh;
}

} // namespace

int main() {
    PlatformInit();
    // The files are looked up beside the program, wherever it was started from.
    ChangeToExecutableDir();
    for (const char* file : {kModel, kGlow, kLeaves}) {
        if (FileType(file) != 1) {
            std::fprintf(stderr,
                         "character: %s is missing beside the program; the build makes it "
                         "(cmake --build build --target example_media)\n",
                         file);
            return 1;
        }
    }

    Graphics3D(800, 600, 0, 2, 60); // mode 2: a window

    // Fog: from 6 units away the world fades into the fog colour, and beyond 24 only the fog
    // colour is left. The sky is cleared to the same colour, so the far ground meets it without
    // a seam.
    CameraRef camera = CreateCamera(nullptr);
    PositionEntity(camera, 0, 1.6f, -5.5f, 0);
    RotateEntity(camera, 8, 0, 0, 0);
    CameraClsColor(camera, 96, 104, 128);
    CameraFogMode(camera, LINEARFOG);
    CameraFogColor(camera, 96, 104, 128);
    CameraFogRange(camera, 6, 24);

    AmbientLight(100, 100, 120);
    LightRef moon = CreateLight(1, nullptr);
    RotateEntity(moon, 45, -40, 0, 0);

    MeshRef grass = ground(100, 50, 20);
    EntityColor(grass, 70, 115, 55);

    const float trees[][3] = {{-3, 4, 2.6f},  {3.5f, 6, 3.0f}, {-6, 10, 3.2f}, {6.5f, 13, 2.8f},
                              {-2, 17, 3.4f}, {2, 24, 3.0f},   {-9, 28, 3.0f}};
    for (const auto& t : trees) tree(t[0], t[1], t[2]);

    // The character, its bones and key frames as the file holds them. The two sequences are
    // cut out of the whole animation (sequence 0) by frame numbers.
    MeshRef character = LoadAnimMesh(kModel, nullptr);
    if (!character) {
        std::fprintf(stderr, "character: %s cannot be read as a model\n", kModel);
        return 1;
    }
    TurnEntity(character, 0, -50, 0, 0); // three quarters towards the camera
    const int walk = ExtractAnimSeq(character, 0, 40, 0);
    const int idle = ExtractAnimSeq(character, 41, 80, 0);
    int playing = walk;
    Animate(character, 1, 0.5f, playing, 0); // loop, half a key frame per update

    // Fireflies around the two nearest trees. Without ALPHATEXTURE a sprite is drawn additively:
    // it brightens what lies behind it. NOFOGFX keeps the fog from adding its colour to them.
    constexpr int kFireflies = 8;
    SpriteRef fireflies[kFireflies];
    for (int i = 0; i < kFireflies; ++i) {
        fireflies[i] = LoadSprite(kGlow, COLORTEXTURE, nullptr);
        ScaleSprite(fireflies[i], 0.35f, 0.35f);
        EntityFX(fireflies[i], FULLBRIGHTFX | NOFOGFX);
    }

    int frame = 0;
    while (!KeyHit(Key::Escape)) {
        if (KeyHit(Key::Space)) {
            playing = playing == walk ? idle : walk;
            Animate(character, 1, 0.5f, playing, 10); // blend into it over 10 updates
        }
        if (KeyDown(Key::Left)) TurnEntity(character, 0, 2, 0, 0);
        if (KeyDown(Key::Right)) TurnEntity(character, 0, -2, 0, 0);

        // Each firefly circles its tree at its own height and pace.
        for (int i = 0; i < kFireflies; ++i) {
            const float a = float(frame) * 0.02f * float(1 + i % 3) + float(i) * 1.7f;
            const float cx = i % 2 ? 3.5f : -3.0f, cz = i % 2 ? 6.0f : 4.0f;
            PositionEntity(fireflies[i], cx + std::cos(a) * 1.1f,
                           1.2f + 0.4f * std::sin(a * 1.3f) + 0.3f * float(i % 4),
                           cz + std::sin(a) * 1.1f, 0);
        }

        UpdateWorld(1); // advances the animation
        RenderWorld();

        Begin2D();
        Text(10, 10, "Space: walk / stand   Left, Right: turn   Escape: quit");
        Text(10, 30,
             std::string(playing == walk ? "Walking" : "Standing") + ", frame " +
                 std::to_string(int(AnimTime(character))) + " of " +
                 std::to_string(AnimLength(character)));
        End2D();

        Flip(-1);
        ++frame;
    }
    EndGraphics();
    return 0;
}

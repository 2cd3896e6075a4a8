// A program outside the project, built against the installed package: it includes only the
// command layer's one header, passes every kind of handle where an entity is taken, draws a
// few frames and checks by a pick that the cube it placed is where the camera sees it.
// Exit status 0 when all holds.
#include "engine/commands.h"

#include <cstdio>

int main() {
    PlatformInit();
    Graphics3D(320, 240, 0, 2, 60);

    PivotRef rig = CreatePivot(nullptr);
    CameraRef camera = CreateCamera(rig);
    LightRef light = CreateLight(1, rig);
    MeshRef cube = CreateCube(nullptr);
    SpriteRef sprite = CreateSprite(nullptr);
    BoneRef bone; // a model's bones pass the same way; a null handle is a no-op

    PositionEntity(rig, 0, 0, -5, 0);
    RotateEntity(light, 30, 20, 0, 0);
    EntityColor(cube, 200, 60, 40);
    EntityPickMode(cube, 2, 1);
    PositionEntity(sprite, 3, 0, 0, 0);
    PositionEntity(bone, 1, 2, 3, 0);
    HideEntity(sprite);

    for (int frame = 0; frame < 5; ++frame) {
        TurnEntity(cube, 0, 10, 0, 0);
        Begin2D();
        Cls();
        End2D();
        RenderWorld();
        Begin2D();
        GLDrawText("lapiz3d", 4, 4);
        End2D();
        Flip(0);
    }

    const EntityRef picked = CameraPick(camera, 160, 120);
    const bool ok = picked == EntityRef(cube) && EntityX(camera, 1) == 0.0f &&
                    EntityZ(camera, 1) == -5.0f && EntityX(bone, 1) == 0.0f;
    std::printf("consumer: %s\n", ok ? "the cube is picked at the centre" : "FAILED");
    EndGraphics();
    return ok ? 0 : 1;
}

// The benchmark scene's camera as the engine draws it (scene_args.h): a W x H viewport at the top
// left, 1.5 extents back from the grid, its clear colour and linear fog from the grid's extent to
// 2.5 times it. Shared by bench_engine's own loop and bench_engine_program.
#pragma once

#include "engine/commands.h"

namespace benchscene {

inline CameraRef CreateSceneCamera(int width, int height, float extent) {
    CameraRef camera = CreateCamera(nullptr);
    CameraViewport(camera, 0, 0, width, height);
    PositionEntity(camera, 0, 0, -extent * 1.5f, 0);
    CameraClsColor(camera, 40, 50, 70);
    CameraFogMode(camera, LINEARFOG);
    CameraFogColor(camera, 40, 50, 70);
    CameraFogRange(camera, extent, extent * 2.5f);
    CameraRange(camera, 1, extent * 3.0f);
    return camera;
}

} // namespace benchscene

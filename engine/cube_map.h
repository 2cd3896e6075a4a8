// The values the cube-map commands take and give (commands_texture.h): a face's direction and
// turn, and a rectangle of a face's texels.
#pragma once

// A face of a cube map as seen from the cube's centre.
struct CubeFace {
    // The direction the face lies in: a world axis, each component -1, 0 or 1.
    float x = 0, y = 0, z = 0;
    // The turn in degrees (RotateEntity's pitch, yaw and roll) that points an unturned entity's
    // +z axis along the direction with its +x and +y axes along the face's columns and rows: a
    // camera so turned, with a square viewport and zoom 1, sees what RenderWorldToCubeTex draws
    // into the face.
    float pitch = 0, yaw = 0, roll = 0;
};

// Texels of one cube-map face: columns x0..x1 and rows y0..y1, row 0 the first row of the
// face's image (the bottom row of what RenderWorldToCubeTex draws into it). Empty when x0 > x1
// or y0 > y1.
struct CubeFaceTexels {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
};

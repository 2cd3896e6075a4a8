// Walking through a room: the player, a sphere, moves with the arrow keys (or W, A, S, D) and
// cannot pass through the walls or the furniture; pushed against a wall at an angle it slides
// along it. A left click picks the object under the pointer: it turns yellow and its name is
// shown. Escape quits.
//
// Collisions are set up by collision types: every entity gets a number (EntityType), and a rule
// (Collisions) says which types stop which. UpdateWorld then moves each entity of a rule's
// source type back out of whatever it ran into since the previous update, sliding it along
// the surface it hit. So the program only moves the player where the keys say and lets
// UpdateWorld keep it out of the walls.
#include "engine/commands.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// Collision types: any numbers, as long as the rules use the same ones.
constexpr int kPlayerType = 1;
constexpr int kSolidType = 2;

constexpr float kRoomHalf = 6.0f; // the floor runs from -6 to 6 in x and z
constexpr float kPlayerRadius = 0.5f;
constexpr float kSpeed = 0.08f; // units per frame

// Something in the room that can be picked, with the colour it goes back to once another one
// is picked.
struct Prop {
    MeshRef mesh;
    int red, green, blue;
};

// A box of the given size (cubes are 2 units across, so the scale is half the size) standing on
// the floor at (x, z).
MeshRef box(float x, float z, float width, float height, float depth) {
    MeshRef m = CreateCube(nullptr);
    ScaleEntity(m, width / 2, height / 2, depth / 2, 0);
    PositionEntity(m, x, height / 2, z, 0);
    return m;
}

// A wall: a grey box that stops the player.
void wall(const std::string& name, float x, float z, float width, float depth) {
    MeshRef m = box(x, z, width, 1.2f, depth);
    NameEntity(m, name);
    EntityColor(m, 170, 165, 160);
    EntityType(m, kSolidType, 0);
}

// A piece of furniture: solid like the walls, coloured, and pickable by its triangles.
Prop prop(const MeshRef& m, const std::string& name, int red, int green, int blue) {
    NameEntity(m, name);
    EntityColor(m, float(red), float(green), float(blue));
    EntityType(m, kSolidType, 0);
    EntityPickMode(m, POLYGONPICK, 0);
    return {m, red, green, blue};
}

} // namespace

int main() {
    PlatformInit();
    Graphics3D(800, 600, 0, 2, 60); // mode 2: a window

    // A camera above the room's south side, looking down into it.
    CameraRef camera = CreateCamera(nullptr);
    PositionEntity(camera, 0, 10, -9.5f, 0);
    RotateEntity(camera, 50, 0, 0, 0);
    CameraClsColor(camera, 40, 44, 52);

    AmbientLight(90, 90, 100);
    LightRef sun = CreateLight(1, nullptr);
    RotateEntity(sun, 60, 30, 0, 0);

    // The floor takes no part in collisions: the player moves only across it, never into it.
    MeshRef floor = box(0, 0, 2 * kRoomHalf, 0.2f, 2 * kRoomHalf);
    PositionEntity(floor, 0, -0.1f, 0, 0);
    EntityColor(floor, 120, 100, 80);

    // Four walls whose inner faces lie on the edges of the floor.
    const float across = 2 * kRoomHalf + 0.8f, mid = kRoomHalf + 0.2f;
    wall("north wall", 0, mid, across, 0.4f);
    wall("south wall", 0, -mid, across, 0.4f);
    wall("east wall", mid, 0, 0.4f, across);
    wall("west wall", -mid, 0, 0.4f, across);

    MeshRef barrel = CreateCylinder(16, 1, nullptr);
    ScaleEntity(barrel, 0.6f, 0.7f, 0.6f, 0);
    PositionEntity(barrel, 3, 0.7f, -2, 0);
    MeshRef pillar = CreateCylinder(12, 1, nullptr);
    ScaleEntity(pillar, 0.4f, 1.5f, 0.4f, 0);
    PositionEntity(pillar, -3, 1.5f, -3, 0);
    MeshRef cone = CreateCone(16, 1, nullptr);
    ScaleEntity(cone, 0.6f, 0.8f, 0.6f, 0);
    PositionEntity(cone, 2.5f, 0.8f, 3.5f, 0);
    std::vector<Prop> props = {
        prop(box(-3, 2, 1.4f, 1, 1.4f), "red crate", 200, 50, 40),
        prop(barrel, "blue barrel", 50, 90, 210),
        prop(pillar, "purple pillar", 150, 70, 170),
        prop(cone, "green cone", 60, 170, 70),
    };

    // The player: a sphere of radius 0.5 resting on the floor, and a collision sphere of the
    // same size (the y and z radii given as 0 take the x radius).
    MeshRef player = CreateSphere(16, nullptr);
    NameEntity(player, "player");
    EntityColor(player, 255, 150, 40);
    EntityShininess(player, 0.6f);
    PositionEntity(player, 0, kPlayerRadius, 0, 0);
    EntityType(player, kPlayerType, 0);
    EntityRadius(player, kPlayerRadius, 0, 0);

    // The one rule: the player's ellipsoid against the triangles of everything solid (method
    // 2, in world axes), sliding along what it meets (response 2).
    Collisions(kPlayerType, kSolidType, WORLDMESHCOLLISION, SLIDERESPONSE);

    std::string picked_name = "nothing";
    while (!KeyHit(Key::Escape)) {
        // Where the keys point, in the room's axes: up is north (+z), right is east (+x).
        float dx = 0, dz = 0;
        if (KeyDown(Key::Up) || KeyDown(Key::W)) dz += 1;
        if (KeyDown(Key::Down) || KeyDown(Key::S)) dz -= 1;
        if (KeyDown(Key::Right) || KeyDown(Key::D)) dx += 1;
        if (KeyDown(Key::Left) || KeyDown(Key::A)) dx -= 1;
        const float length = std::sqrt(dx * dx + dz * dz);
        if (length > 0) TranslateEntity(player, dx / length * kSpeed, 0, dz / length * kSpeed, 0);

        // Collisions: the player is pushed back out of anything it moved into, along it.
        UpdateWorld(1);

        // A click picks along the line of sight through the pointer (as last rendered).
        if (MouseHit(MouseButton::Left)) {
            EntityRef hit = CameraPick(camera, float(MouseX()), float(MouseY()));
            picked_name = hit ? EntityName(hit) : "nothing";
            for (const Prop& p : props) {
                if (p.mesh == hit)
                    EntityColor(p.mesh, 255, 220, 0);
                else
                    EntityColor(p.mesh, float(p.red), float(p.green), float(p.blue));
            }
        }

        RenderWorld();

        // The text goes over the rendered frame, drawn by the 2D layer.
        EntityRef touching = EntityCollided(player, kSolidType);
        Begin2D();
        Text(10, 10, "Arrows or WASD: walk   Left click: pick   Escape: quit");
        Text(10, 30, "Picked: " + picked_name);
        Text(10, 50, "Touching: " + (touching ? EntityName(touching) : std::string("nothing")));
        End2D();

        Flip(-1);
    }
    EndGraphics();
    return 0;
}

// examples/walk.cpp run for some frames: the player held against a wall stops there and slides
// along it, and a click on an object picks it, colours it and names it on screen.
#include "example_run.h"

#include <cmath>

int RunWalkExample();

namespace {
using namespace exampletest;

// As examples/walk.cpp builds the room: the inner faces of the walls lie at +-6, the player is
// a sphere of radius 0.5 starting at the centre and moving 0.08 a frame, and the walls and
// furniture are of collision type 2.
constexpr int kSolidType = 2;
constexpr float kWallFace = 6.0f;
constexpr float kRadius = 0.5f;
constexpr float kSpeed = 0.08f;

struct Position {
    float x = NAN, z = NAN;
};

Position where(const EntityRef& e) {
    return {EntityX(e, 1), EntityZ(e, 1)};
}

TEST(WalkExample, PlayerStopsAtTheWallSlidesAlongItAndAClickPicksAnObject) {
    Position start, at_wall, held_longer, slid;
    std::string touching;
    std::uint32_t player_pixel = 0;
    Pixel crate_top;
    testseam::FrameCapture before_click, after_click;
    EntityRef picked;

    const int status = RunExample(&RunWalkExample, 140, [&](int frame) {
        const EntityRef player = FindEntity("player");
        if (!player) return;
        switch (frame) {
        case 1:
            start = where(player);
            HoldKey(SDLK_UP, true); // north, straight at the wall 6 units away
            break;
        case 85:
            at_wall = where(player);
            break;
        case 95:
            held_longer = where(player);
            HoldKey(SDLK_RIGHT, true); // north-east: into the wall and along it
            break;
        case 125: {
            slid = where(player);
            const EntityRef hit = EntityCollided(player, kSolidType);
            touching = hit ? EntityName(hit) : "";
            HoldKey(SDLK_UP, false);
            HoldKey(SDLK_RIGHT, false);
            const CameraRef camera = FirstCamera();
            const Pixel p = Project(camera, slid.x, kRadius, slid.z);
            player_pixel = testseam::CaptureFrame().Pixel(p.x, p.y);
            MaybeSaveFrame("walk_slid");
            break;
        }
        case 130: {
            // The middle of the crate's top face, clicked; the example sees the click in the
            // frame that follows.
            const EntityRef crate = FindEntity("red crate");
            if (!crate) return;
            crate_top = Project(FirstCamera(), EntityX(crate, 1), 1.0f, EntityZ(crate, 1));
            before_click = testseam::CaptureFrame();
            testseam::PushMouseMove(crate_top.x, crate_top.y);
            testseam::PushMouseClick(MouseButton::Left);
            break;
        }
        case 133:
            after_click = testseam::CaptureFrame();
            picked = PickedEntity();
            MaybeSaveFrame("walk_picked");
            break;
        default:
            break;
        }
    });
    ASSERT_EQ(status, 0);

    // Walking north: stopped with its surface on the wall's face, not a step further after ten
    // more frames of the key held, and not moved sideways.
    EXPECT_NEAR(start.z, 0.0f, 1e-4f);
    EXPECT_NEAR(at_wall.z, kWallFace - kRadius, 0.02f);
    EXPECT_LE(at_wall.z, kWallFace - kRadius + 1e-3f);
    EXPECT_NEAR(held_longer.z, at_wall.z, 1e-3f);
    EXPECT_NEAR(held_longer.x, start.x, 1e-3f);

    // Then north-east for 30 frames: the northward half of each step is taken back by the
    // wall, the eastward half slides along it.
    const float along = 30 * kSpeed / std::sqrt(2.0f);
    EXPECT_NEAR(slid.z, at_wall.z, 0.02f);
    EXPECT_LE(slid.z, kWallFace - kRadius + 1e-3f);
    EXPECT_GT(slid.x - held_longer.x, 0.8f * along);
    EXPECT_LT(slid.x - held_longer.x, 1.05f * along);
    EXPECT_EQ(touching, "north wall");
    // And the picture shows it there: the orange sphere at its reported place.
    const Rgb player = Channels(player_pixel);
    EXPECT_TRUE(player.r > 150 && player.r > player.g + 30 && player.g > player.b + 30)
        << "the player's pixel is " << Describe(player_pixel);

    // The click picked the crate, which turned from red to yellow, and its name came up in the
    // text's second line (rows 30 to 45), which nothing else changed.
    ASSERT_FALSE(before_click.rgba.empty());
    ASSERT_FALSE(after_click.rgba.empty());
    EXPECT_EQ(EntityName(picked), "red crate");
    const std::uint32_t was = before_click.Pixel(crate_top.x, crate_top.y);
    const std::uint32_t now = after_click.Pixel(crate_top.x, crate_top.y);
    const Rgb red = Channels(was), yellow = Channels(now);
    EXPECT_TRUE(red.r > 100 && red.r > 2 * red.g && red.r > 2 * red.b)
        << "before the click the crate is " << Describe(was);
    EXPECT_TRUE(yellow.r > 150 && yellow.g > 120 && yellow.g > 2 * yellow.b)
        << "after the click the crate is " << Describe(now);
    EXPECT_GT(CountChanged(before_click, after_click, 0, 30, 399, 45, 8), 20);
    EXPECT_EQ(CountChanged(before_click, after_click, 0, 0, 399, 29, 8), 0);
}

} // namespace

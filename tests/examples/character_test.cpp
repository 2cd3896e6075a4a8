// examples/character.cpp run for some frames: the generated model loads as an animated mesh and
// its walk moves its pixels, repeating once a cycle; the far ground is lost in the fog colour
// while the near ground keeps its own; the sprites show (leaves masked, fireflies glowing).
#include "example_run.h"

#include "engine/sprite.h"

#include <algorithm>
#include <cmath>
#include <vector>

int RunCharacterExample();

namespace {
using namespace exampletest;

// As examples/character.cpp sets them: the fog (and sky) colour, and the walk's pace: 40 key
// frames at half a key frame per update, 80 frames of the program a cycle.
constexpr std::uint32_t kFog = 0xff000000u | 96u << 16 | 104u << 8 | 128u;
constexpr int kCycle = 80;

TEST(CharacterExample, TheCharacterWalksInFogAmongSprites) {
    testseam::FrameCapture first, quarter, cycle;
    Pixel box_lo{1 << 30, 1 << 30}, box_hi{-1, -1};
    int animating = 0, sequence = -1, bones = 0, idle_sequence = -1, idle_animating = 0;
    std::vector<Pixel> far_ground, near_ground, glows, leaves;

    constexpr int kFirst = 40;
    const int status = RunExample(&RunCharacterExample, kFirst + kCycle + 20, [&](int frame) {
        if (frame == kFirst) {
            first = testseam::CaptureFrame();
            MaybeSaveFrame("character");
            const auto character = std::dynamic_pointer_cast<TMesh>(FindEntity("character"));
            const CameraRef camera = FirstCamera();
            if (!character || !camera) return;
            animating = Animating(character);
            sequence = AnimSeq(character);
            bones = character->bones.Count();
            // The window rectangle around the figure (1.9 units tall, at most 0.6 from its
            // axis), whichever way it is turned.
            for (float x : {-0.6f, 0.6f})
                for (float y : {0.0f, 1.95f})
                    for (float z : {-0.6f, 0.6f}) {
                        const Pixel p = Project(camera, x, y, z);
                        box_lo = {std::min(box_lo.x, p.x), std::min(box_lo.y, p.y)};
                        box_hi = {std::max(box_hi.x, p.x), std::max(box_hi.y, p.y)};
                    }
            // Ground 50 to 85 units away, far beyond the fog's end at 24, off to the sides
            // where no firefly flies; and ground 3 to 4 units away, before the fog's start at 6.
            for (float x : {-45.0f, -30.0f, 30.0f, 45.0f})
                far_ground.push_back(Project(camera, x, 0, std::abs(x) > 40 ? 65.0f : 40.0f));
            for (float x : {-2.0f, -1.0f, 1.0f, 2.0f})
                near_ground.push_back(Project(camera, x, 0, -2));
            for (const EntityRef& e : *TEntity::entity_list) {
                const auto sprite = std::dynamic_pointer_cast<TSprite>(e);
                if (!sprite) continue;
                const Pixel p = Project(camera, EntityX(e, 1), EntityY(e, 1), EntityZ(e, 1));
                // The clumps of leaves hang on the trees; the fireflies fly free.
                if (!GetParent(e))
                    glows.push_back(p);
                else if (EntityDistance(e, camera) < 12)
                    leaves.push_back(p);
            }
        }
        if (frame == kFirst + kCycle / 4) {
            quarter = testseam::CaptureFrame();
            MaybeSaveFrame("character_quarter");
        }
        if (frame == kFirst + kCycle) {
            cycle = testseam::CaptureFrame();
            testseam::PushKeyPress(Key::Space); // to the idle sequence, blended in
        }
        if (frame == kFirst + kCycle + 20) {
            const EntityRef character = FindEntity("character");
            idle_sequence = AnimSeq(character);
            idle_animating = Animating(character);
            MaybeSaveFrame("character_idle");
        }
    });
    ASSERT_EQ(status, 0);
    ASSERT_FALSE(first.rgba.empty());
    ASSERT_FALSE(quarter.rgba.empty());
    ASSERT_FALSE(cycle.rgba.empty());

    // The model is the skinned one the build made, not the cube a missing file gives.
    EXPECT_EQ(animating, 1);
    EXPECT_EQ(sequence, 1); // the walk, the first sequence cut out
    EXPECT_EQ(bones, 5);
    // Space switches to the idle sway, the second sequence.
    EXPECT_EQ(idle_sequence, 2);
    EXPECT_EQ(idle_animating, 1);

    // A quarter of a walk cycle moves the arms and legs; a whole cycle brings them back. The
    // fireflies fly far from the figure, so only the figure changes its rectangle.
    ASSERT_GT(box_hi.x - box_lo.x, 40);
    ASSERT_GT(box_hi.y - box_lo.y, 80);
    const int area = (box_hi.x - box_lo.x + 1) * (box_hi.y - box_lo.y + 1);
    const int moved = CountChanged(first, quarter, box_lo.x, box_lo.y, box_hi.x, box_hi.y, 24);
    EXPECT_GT(moved, area / 50) << "pixels of the figure changed in a quarter cycle";
    EXPECT_LE(CountChanged(first, cycle, box_lo.x, box_lo.y, box_hi.x, box_hi.y, 4), area / 500);

    // Fog: the far ground has the fog's colour, the near ground its own green.
    for (const Pixel& p : far_ground)
        EXPECT_TRUE(Near(first.Pixel(p.x, p.y), kFog, 3))
            << "far ground at (" << p.x << ", " << p.y << ") is "
            << Describe(first.Pixel(p.x, p.y));
    for (const Pixel& p : near_ground) {
        const Rgb c = Channels(first.Pixel(p.x, p.y));
        EXPECT_TRUE(c.g > c.r + 20 && c.g > c.b + 20) << "near ground at (" << p.x << ", " << p.y
                                                      << ") is " << Describe(first.Pixel(p.x, p.y));
    }

    // Sprites: the fireflies add their glow (near white at their centres) to what lies behind
    // them, and the clumps of leaves near the camera show green at theirs. A few may be
    // hidden behind a trunk or the figure, so most are asked for, not all.
    ASSERT_EQ(glows.size(), 8u);
    ASSERT_GE(leaves.size(), 3u);
    int bright = 0, green = 0;
    for (const Pixel& p : glows) {
        const Rgb c = Channels(first.Pixel(p.x, p.y));
        if (c.r > 200 && c.g > 200) ++bright;
    }
    for (const Pixel& p : leaves) {
        const Rgb c = Channels(first.Pixel(p.x, p.y));
        if (c.g > c.r + 15 && c.g > c.b + 15) ++green;
    }
    EXPECT_GE(bright, 6);
    EXPECT_GE(green, int(leaves.size()) - 1);
}

} // namespace

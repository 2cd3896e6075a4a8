// Keyframe posing (key search and interpolation), the world step's animation modes and
// transitions, sequences, the entity operations and their commands.
#include "anim_fixture.h"

#include "engine/commands.h"
#include "engine/global.h"
#include "engine/pivot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// ---- Posing ----

class PoseTest : public AnimTest {
  protected:
    void SetUp() override {
        AnimTest::SetUp();
        mesh = animMesh(10);
        bone = addBone(mesh, mesh, {1.0f, 2.0f, 3.0f}, turn(30.0f, 1.0f, 0.0f, 0.0f));
    }
    void pose(float frame) { TAnimation::AnimateMesh(mesh, frame, 0, 10); }
    Vec3 posePos() const { return {bone->pose_x, bone->pose_y, bone->pose_z}; }
    std::array<float, 4> poseRot() const {
        return {bone->pose_qw, bone->pose_qx, bone->pose_qy, bone->pose_qz};
    }
    void expectRot(const std::array<float, 4>& q, float tol, const std::string& what) {
        const auto r = poseRot();
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(r[i], q[i], tol) << what << " q[" << i << "]";
    }

    MeshRef mesh;
    BoneRef bone;
};

TEST_F(PoseTest, PositionIsLinearAndRotationSphericalBetweenKeys) {
    posKey(bone, 2, 0.0f, 0.0f, 0.0f);
    posKey(bone, 6, 8.0f, -4.0f, 12.0f);
    rotKey(bone, 2, turn(0.0f, 0.0f, 1.0f, 0.0f));
    rotKey(bone, 6, turn(90.0f, 0.0f, 1.0f, 0.0f));

    pose(3.0f); // a quarter of the way
    expectVecNear(posePos(), {2.0f, -1.0f, 3.0f}, 1e-5f, "frame 3");
    expectRot(turn(22.5f, 0.0f, 1.0f, 0.0f), 1e-5f, "frame 3");
    pose(5.5f);
    expectVecNear(posePos(), {7.0f, -3.5f, 10.5f}, 1e-5f, "frame 5.5");
    expectRot(turn(78.75f, 0.0f, 1.0f, 0.0f), 1e-5f, "frame 5.5");
    // Exactly on a key: that key's values.
    pose(6.0f);
    expectVecNear(posePos(), {8.0f, -4.0f, 12.0f}, 0.0f, "frame 6");
    expectRot(turn(90.0f, 0.0f, 1.0f, 0.0f), 0.0f, "frame 6");

    // The bone's matrix: the rotation of the pose and its position.
    TMatrix want;
    want.LoadIdentity();
    TQuaternion::QuatToMat(bone->pose_qw, bone->pose_qx, bone->pose_qy, bone->pose_qz, want);
    want.grid[3][0] = 8.0f;
    want.grid[3][1] = -4.0f;
    want.grid[3][2] = 12.0f;
    expectMatrixNear(bone->mat, want, 0.0f, "bone matrix");
}

// Keys a frame apart next to keys far apart (where a guess of the key from the track's ends is
// wrong), over ranges holding all, some or none of them: each pose as the rule gives it.
TEST_F(PoseTest, UnevenlySpacedKeysOverRangesThatCutTheTrack) {
    const std::vector<std::pair<int, float>> keys = {
        {0, 0.0f}, {1, 4.0f}, {2, 6.0f}, {9, -8.0f}, {10, 2.0f}};
    for (const auto& [frame, x] : keys) posKey(bone, frame, x, 0.0f, 0.0f);
    // The rule: the range's keys only; before its first that key, after its last that key,
    // between two the linear blend; none in the range, the rest position (x 1).
    const auto expected = [&keys](float frame, int first, int last) {
        std::vector<std::pair<int, float>> in;
        for (const auto& k : keys)
            if (k.first >= first && k.first <= last) in.push_back(k);
        if (in.empty()) return 1.0f;
        frame = std::clamp(frame, float(first), float(last));
        if (frame <= float(in.front().first)) return in.front().second;
        for (std::size_t i = 1; i < in.size(); ++i) {
            if (frame < float(in[i].first)) {
                const float t =
                    (frame - float(in[i - 1].first)) / float(in[i].first - in[i - 1].first);
                return in[i - 1].second + (in[i].second - in[i - 1].second) * t;
            }
        }
        return in.back().second;
    };
    const int ranges[][2] = {{0, 10}, {1, 9}, {3, 8}, {2, 10}, {0, 1}};
    for (const auto& r : ranges) {
        for (float frame = -1.0f; frame <= 11.0f; frame += 0.5f) {
            TAnimation::AnimateMesh(mesh, frame, r[0], r[1]);
            EXPECT_NEAR(bone->pose_x, expected(frame, r[0], r[1]), 1e-5f)
                << "frame " << frame << " of " << r[0] << ".." << r[1];
        }
    }
}

TEST_F(PoseTest, KindsWithoutKeysOrWithOneKeyInTheRange) {
    const auto rest_q = turn(30.0f, 1.0f, 0.0f, 0.0f);
    // No keys at all: the rest pose, with the rest z given back in command coordinates.
    pose(4.0f);
    expectVecNear(posePos(), {1.0f, 2.0f, 3.0f}, 0.0f, "no keys");
    expectRot(rest_q, 0.0f, "no keys");

    // One position key: its value at every frame, before and after it; rotation still rest.
    posKey(bone, 7, 5.0f, 6.0f, 7.0f);
    for (float f : {0.0f, 3.5f, 7.0f, 9.9f, 10.0f}) {
        pose(f);
        expectVecNear(posePos(), {5.0f, 6.0f, 7.0f}, 0.0f, "one key, frame " + std::to_string(f));
        expectRot(rest_q, 0.0f, "no rotation key");
    }
    // A key outside the posed range does not count: rest again.
    TAnimation::AnimateMesh(mesh, 2.0f, 0, 5);
    expectVecNear(posePos(), {1.0f, 2.0f, 3.0f}, 0.0f, "key outside range");
}

TEST_F(PoseTest, FramesOutsideTheKeysHoldTheNearestKey) {
    // Keys at 2 (x 0) and 8 (x 6) of 0..10: before the first key its pose holds, after the last
    // key the last one's; nothing wraps round from the end of the range.
    posKey(bone, 2, 0.0f, 0.0f, 0.0f);
    posKey(bone, 8, 6.0f, 0.0f, 0.0f);
    struct Case {
        float frame, x;
    };
    for (const Case c : {Case{9.0f, 6.0f}, Case{10.0f, 6.0f}, Case{0.0f, 0.0f}, Case{1.5f, 0.0f},
                         Case{5.0f, 3.0f}}) {
        pose(c.frame);
        EXPECT_NEAR(bone->pose_x, c.x, 1e-5f) << "frame " << c.frame;
    }
}

TEST_F(PoseTest, FrameIsClampedToTheRangeAndNotANumberPosesTheFirstFrame) {
    for (int f = 0; f <= 10; ++f) posKey(bone, f, float(f), 0.0f, 0.0f);
    struct Case {
        float frame;
        int first, last;
        float x;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Case c : {Case{12.0f, 0, 10, 10.0f}, Case{-3.0f, 2, 8, 2.0f}, Case{9.0f, 2, 8, 8.0f},
                         Case{nan, 3, 8, 3.0f}, Case{inf, 0, 10, 10.0f}, Case{-inf, 4, 6, 4.0f}}) {
        TAnimation::AnimateMesh(mesh, c.frame, c.first, c.last);
        EXPECT_FLOAT_EQ(bone->pose_x, c.x) << c.frame << " in " << c.first << ".." << c.last;
    }
}

TEST_F(PoseTest, RangesReachingOutsideTheKeyTrackReadNoKeyOutsideIt) {
    posKey(bone, 10, 4.0f, 0.0f, 0.0f);
    // Frames below 0 and far above the track's 11 entries: only the key at 10 counts, and the
    // searches cost no more than the track.
    TAnimation::AnimateMesh(mesh, 500.0f, -1000, std::numeric_limits<int>::max());
    EXPECT_FLOAT_EQ(bone->pose_x, 4.0f);
    TAnimation::AnimateMesh(mesh, -20.0f, std::numeric_limits<int>::min(), -5);
    EXPECT_FLOAT_EQ(bone->pose_x, 1.0f); // rest
    // Clamped to a last frame whose nearest float lies beyond the int range.
    TAnimation::AnimateMesh(mesh, std::numeric_limits<float>::infinity(), 0,
                            std::numeric_limits<int>::max());
    EXPECT_FLOAT_EQ(bone->pose_x, 4.0f);
    // A bone without a key track at all takes its rest pose.
    bone->keys = nullptr;
    pose(5.0f);
    expectVecNear(posePos(), {1.0f, 2.0f, 3.0f}, 0.0f, "no track");
}

TEST_F(PoseTest, ChildBoneMatrixIsItsParentsTimesItsOwn) {
    BoneRef child = addBone(mesh, bone, {0.0f, 1.0f, 0.0f});
    posKey(bone, 0, 3.0f, 0.0f, 0.0f);
    rotKey(bone, 0, turn(90.0f, 0.0f, 0.0f, 1.0f));
    posKey(child, 0, 0.0f, 2.0f, 0.0f);
    pose(0.0f);

    // The bone under the mesh keeps its matrix relative to the mesh, whatever the mesh's own.
    TMatrix local;
    local.LoadIdentity();
    TQuaternion::QuatToMat(bone->pose_qw, bone->pose_qx, bone->pose_qy, bone->pose_qz, local);
    local.grid[3][0] = 3.0f;
    expectMatrixNear(bone->mat, local, 0.0f, "root bone");
    TMatrix want = local;
    TMatrix child_local = identityMatrix();
    child_local.grid[3][1] = 2.0f;
    want.Multiply(child_local);
    expectMatrixNear(child->mat, want, 1e-6f, "child bone");
}

TEST_F(PoseTest, OnlyAnimatedMeshesArePosed) {
    posKey(bone, 0, 9.0f, 0.0f, 0.0f);
    mesh->anim = 0;
    pose(0.0f);
    EXPECT_EQ(mesh->anim_render, 0);
    EXPECT_FLOAT_EQ(bone->pose_x, 0.0f);

    // A pivot is no mesh, whatever its anim flag says.
    PivotRef pivot = TPivot::CreatePivot(nullptr);
    pivot->anim = 1;
    TAnimation::AnimateMesh(pivot, 0.0f, 0, 10);
    TAnimation::AnimateMesh2(pivot, 0.5f, 0, 10);
    TAnimation::AnimateMesh(nullptr, 0.0f, 0, 10);
    EXPECT_EQ(pivot->anim_render, 0);

    // A mesh with neither bones nor surfaces is still marked posed.
    MeshRef bare = animMesh(10);
    TAnimation::AnimateMesh(bare, 3.0f, 0, 10);
    EXPECT_EQ(bare->anim_render, 1);
}

// ---- The world step ----

// A mesh whose probe bone's pose_x equals the frame posed: a position key at every frame f of
// 0..10 with x = f.
class WorldTest : public AnimTest {
  protected:
    void SetUp() override {
        AnimTest::SetUp();
        mesh = animMesh(10);
        probe = addBone(mesh, mesh, {0.0f, 0.0f, 0.0f});
        for (int f = 0; f <= 10; ++f) posKey(probe, f, float(f), 0.0f, 0.0f);
    }

    struct Step {
        float posed, time_after;
    };

    // Runs UpdateWorld(factor) once per expected step and checks the frame posed and the time.
    void expectSteps(const std::vector<Step>& steps, float factor = 1.0f) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            probe->pose_x = -99.0f;
            TGlobal::UpdateWorld(factor);
            EXPECT_NEAR(probe->pose_x, steps[i].posed, 1e-5f) << "update " << i + 1;
            EXPECT_NEAR(mesh->anim_time, steps[i].time_after, 1e-5f) << "update " << i + 1;
        }
    }
    void start(int mode, float speed, float time, int dir = 1) {
        mesh->Animate(mode, speed, 0, 0);
        mesh->anim_time = time;
        mesh->anim_dir = dir;
    }

    MeshRef mesh;
    BoneRef probe;
};

TEST_F(WorldTest, LoopWrapsOncePerUpdate) {
    start(1, 1.0f, 9.5f);
    expectSteps({{9.5f, 0.5f}, {0.5f, 1.5f}});
    // A step longer than the range: the time may stay above the last frame for an update,
    // which then poses the last frame.
    start(1, 15.0f, 0.0f);
    expectSteps({{0.0f, 5.0f}, {5.0f, 10.0f}, {10.0f, 15.0f}, {10.0f, 20.0f}});
    // The step is the entity's speed times the world's factor.
    start(1, 2.0f, 1.0f);
    expectSteps({{1.0f, 2.0f}}, 0.5f);
    EXPECT_EQ(mesh->Animating(), 1);
    EXPECT_FLOAT_EQ(mesh->AnimTime(), 2.0f);
}

TEST_F(WorldTest, PingPongTurnsAtBothEnds) {
    start(2, 1.0f, 8.5f);
    expectSteps({{8.5f, 9.5f}, {9.5f, 8.5f}, {8.5f, 7.5f}, {7.5f, 6.5f}});
    EXPECT_EQ(mesh->anim_dir, -1);
    // Backward to the first frame: one time shows twice there.
    start(2, 1.0f, 1.5f, -1);
    expectSteps({{1.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 1.5f}, {1.5f, 2.5f}});
    EXPECT_EQ(mesh->anim_dir, 1);
}

TEST_F(WorldTest, OneShotPosesTheLastFrameOnceMoreAndStops) {
    start(3, 4.0f, 0.0f);
    expectSteps({{0.0f, 4.0f}, {4.0f, 8.0f}, {8.0f, 10.0f}});
    EXPECT_EQ(mesh->anim_mode, 0);
    expectSteps({{10.0f, 10.0f}});
    EXPECT_EQ(mesh->anim_update, 0);
    EXPECT_EQ(mesh->Animating(), 0);
    EXPECT_FLOAT_EQ(mesh->AnimTime(), 0.0f);
    // Left alone from now on.
    probe->pose_x = -99.0f;
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(probe->pose_x, -99.0f);
}

TEST_F(WorldTest, ModeZeroPosesExactlyOnce) {
    start(0, 1.0f, 6.0f);
    expectSteps({{6.0f, 6.0f}});
    EXPECT_EQ(mesh->anim_update, 0);
    EXPECT_EQ(mesh->Animating(), 0);
    probe->pose_x = -99.0f;
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(probe->pose_x, -99.0f);
}

TEST_F(WorldTest, NegativeSpeedLowersTheTimeWithoutWrapping) {
    start(1, -3.0f, 5.0f);
    expectSteps({{5.0f, 2.0f}, {2.0f, -1.0f}, {0.0f, -4.0f}});
    start(3, -3.0f, 5.0f);
    expectSteps({{5.0f, 2.0f}, {2.0f, -1.0f}, {0.0f, -4.0f}});
    EXPECT_EQ(mesh->anim_mode, 3);
}

TEST_F(WorldTest, OnlyRunningAnimatedEntitiesAreAdvanced) {
    // Not started: nothing is posed.
    TGlobal::UpdateWorld(1.0f);
    EXPECT_EQ(mesh->anim_render, 0);
    // Started but not an animated mesh.
    start(1, 1.0f, 2.0f);
    mesh->anim = 0;
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(mesh->anim_time, 2.0f);
    EXPECT_EQ(mesh->anim_render, 0);
    // A sequence number that names no sequence (set directly) leaves the entity alone.
    mesh->anim = 1;
    mesh->anim_seq = 7;
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(mesh->anim_time, 2.0f);
    EXPECT_EQ(mesh->anim_render, 0);
}

TEST_F(WorldTest, TransitionBlendsInEqualStepsFromTheLastPose) {
    // Last pose at frame 4.5: (4.5, 0). The new sequence 6..9 starts with the key (6, 3).
    posKey(probe, 6, 6.0f, 3.0f, 0.0f);
    mesh->SetAnimTime(4.5f, 0);
    EXPECT_NEAR(probe->pose_x, 4.5f, 1e-5f);
    const float y4 = probe->pose_y;
    const int seq = mesh->ExtractAnimSeq(6, 9, 0);
    mesh->Animate(1, 1.0f, seq, 4);
    EXPECT_FLOAT_EQ(mesh->anim_time, 0.0f);
    for (int step = 1; step <= 3; ++step) {
        TGlobal::UpdateWorld(1.0f);
        const float t = float(step) / 3.0f;
        EXPECT_NEAR(probe->mat.grid[3][0], 4.5f + (6.0f - 4.5f) * t, 1e-5f) << "step " << step;
        EXPECT_NEAR(probe->mat.grid[3][1], y4 + (3.0f - y4) * t, 1e-5f) << "step " << step;
        // The pose fields keep the pose blended from.
        EXPECT_NEAR(probe->pose_x, 4.5f, 1e-5f);
        EXPECT_EQ(mesh->Animating(), 1);
        EXPECT_FLOAT_EQ(mesh->AnimTime(), 0.0f);
    }
    EXPECT_FLOAT_EQ(mesh->anim_time, 6.0f);
    // Then the sequence runs from its first frame.
    TGlobal::UpdateWorld(1.0f);
    EXPECT_NEAR(probe->pose_x, 6.0f, 1e-5f);
    EXPECT_FLOAT_EQ(mesh->anim_time, 7.0f);
    EXPECT_EQ(mesh->anim_trans, 0);
    EXPECT_FLOAT_EQ(mesh->AnimTime(), 1.0f);
}

TEST_F(WorldTest, TransitionOfOneUpdateDoesNotBlend) {
    const int seq = mesh->ExtractAnimSeq(4, 8, 0);
    mesh->Animate(1, 1.0f, seq, 1);
    // The first update poses time 0, clamped to frame 4, and steps from 0.
    expectSteps({{4.0f, 1.0f}});
}

TEST_F(WorldTest, TransitionBeforeAnyPoseBlendsFromTheZeroPose) {
    posKey(probe, 0, 8.0f, 0.0f, 0.0f);
    mesh->Animate(1, 1.0f, 0, 3);
    TGlobal::UpdateWorld(1.0f); // factor 1/2
    EXPECT_NEAR(probe->mat.grid[3][0], 4.0f, 1e-5f);
    TGlobal::UpdateWorld(1.0f); // factor 1
    EXPECT_NEAR(probe->mat.grid[3][0], 8.0f, 1e-5f);
    EXPECT_FLOAT_EQ(probe->pose_x, 0.0f);
    EXPECT_EQ(mesh->anim_render, 1);
}

TEST_F(WorldTest, TransitionToARangeWithoutKeysUsesTheRestPose) {
    probe->rest_px = 2.5f;
    mesh->SetAnimTime(5.0f, 0);
    probe->keys->position.clear();
    probe->keys->rotation.clear();
    mesh->Animate(1, 1.0f, 0, 3);
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(probe->mat.grid[3][0], 2.5f); // not blended
}

TEST_F(WorldTest, RunsTheCollisionPass) {
    // The pass stores every entity's global position as the start of its next sweep.
    PivotRef pivot = TPivot::CreatePivot(nullptr);
    pivot->PositionEntity(3.0f, 4.0f, 5.0f, 0);
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(pivot->old_x, 3.0f);
    EXPECT_FLOAT_EQ(pivot->old_y, 4.0f);
    EXPECT_FLOAT_EQ(pivot->old_z, 5.0f);
}

// ---- Entity operations ----

TEST_F(WorldTest, SetAnimTimeWrapsIntoTheSequenceAndStops) {
    struct Case {
        float time;
        float posed;
    };
    for (const Case c :
         {Case{12.0f, 2.0f}, Case{10.0f, 10.0f}, Case{-3.0f, 7.0f}, Case{20.0f, 10.0f},
          Case{-10.0f, 0.0f}, Case{35.5f, 5.5f}, Case{0.0f, 0.0f}}) {
        mesh->Animate(1, 1.0f, 0, 0);
        mesh->SetAnimTime(c.time, 0);
        EXPECT_NEAR(probe->pose_x, c.posed, 1e-5f) << "time " << c.time;
        EXPECT_NEAR(mesh->anim_time, c.posed, 1e-5f) << "time " << c.time;
        EXPECT_EQ(mesh->anim_mode, -1);
        EXPECT_EQ(mesh->anim_update, 0);
        EXPECT_FLOAT_EQ(mesh->anim_speed, 0.0f);
        EXPECT_EQ(mesh->Animating(), 0);
    }
    // Relative to the sequence's first frame, and AnimTime answers the same way.
    const int seq = mesh->ExtractAnimSeq(2, 6, 0);
    mesh->SetAnimTime(1.0f, seq);
    EXPECT_NEAR(probe->pose_x, 3.0f, 1e-5f);
    EXPECT_FLOAT_EQ(mesh->AnimTime(), 1.0f);
    EXPECT_EQ(mesh->AnimSeq(), seq);
    // A sequence of length 0: no wrapping, the pose clamps to its frame.
    const int still = mesh->ExtractAnimSeq(4, 4, 0);
    mesh->SetAnimTime(3.0f, still);
    EXPECT_NEAR(probe->pose_x, 4.0f, 1e-5f);
    EXPECT_FLOAT_EQ(mesh->anim_time, 7.0f);
    // UpdateWorld leaves a set time alone.
    probe->pose_x = -99.0f;
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(probe->pose_x, -99.0f);
}

TEST_F(WorldTest, SetAnimTimeFarOffOrNotFiniteFinishes) {
    // Far beyond the sequence: a remainder, not a float stepped by 1 that no longer changes.
    const int seq = mesh->ExtractAnimSeq(3, 4, 0);
    mesh->SetAnimTime(1.0e9f, seq);
    EXPECT_GE(mesh->anim_time, 3.0f);
    EXPECT_LE(mesh->anim_time, 4.0f);
    mesh->SetAnimTime(-1.0e9f, seq);
    EXPECT_GE(mesh->anim_time, 3.0f);
    EXPECT_LE(mesh->anim_time, 4.0f);
    // Infinite and not-a-number times are not wrapped; the pose clamps (NaN: first frame).
    mesh->SetAnimTime(std::numeric_limits<float>::infinity(), seq);
    EXPECT_FLOAT_EQ(probe->pose_x, 4.0f);
    mesh->SetAnimTime(std::numeric_limits<float>::quiet_NaN(), seq);
    EXPECT_FLOAT_EQ(probe->pose_x, 3.0f);
}

TEST_F(WorldTest, ExtractAnimSeqCountsFromTheGivenSequence) {
    EXPECT_EQ(mesh->ExtractAnimSeq(5, 8, 0), 1);
    mesh->Animate(1, 1.0f, 1, 0);
    EXPECT_EQ(mesh->AnimLength(), 3);
    EXPECT_FLOAT_EQ(mesh->anim_time, 5.0f);
    EXPECT_EQ(mesh->ExtractAnimSeq(1, 2, 1), 2);
    EXPECT_EQ(mesh->anim_seqs_first, (std::vector<int>{0, 5, 6}));
    EXPECT_EQ(mesh->anim_seqs_last, (std::vector<int>{10, 8, 7}));
    EXPECT_EQ(mesh->no_seqs, 2);
    mesh->Animate(1, 1.0f, 0, 0);
    EXPECT_EQ(mesh->AnimLength(), 10);
    // Frames near the int limits do not overflow.
    const int far = mesh->ExtractAnimSeq(std::numeric_limits<int>::max(), 0, 1);
    EXPECT_EQ(mesh->anim_seqs_first[std::size_t(far)], std::numeric_limits<int>::max());
}

TEST_F(WorldTest, SequenceNumbersThatNameNoSequenceChangeNothing) {
    mesh->ExtractAnimSeq(2, 4, 0);
    mesh->Animate(2, 1.5f, 1, 0);
    mesh->anim_time = 3.0f;
    for (int bad : {-1, 2, 100, std::numeric_limits<int>::min()}) {
        mesh->Animate(1, 9.0f, bad, 3);
        mesh->SetAnimTime(1.0f, bad);
        EXPECT_EQ(mesh->ExtractAnimSeq(0, 1, bad), 0) << bad;
        EXPECT_EQ(mesh->anim_mode, 2) << bad;
        EXPECT_FLOAT_EQ(mesh->anim_speed, 1.5f) << bad;
        EXPECT_EQ(mesh->anim_seq, 1) << bad;
        EXPECT_EQ(mesh->anim_trans, 0) << bad;
        EXPECT_FLOAT_EQ(mesh->anim_time, 3.0f) << bad;
        EXPECT_EQ(mesh->no_seqs, 1) << bad;
        EXPECT_EQ(mesh->anim_render, 0) << bad;
    }
    // A current sequence set out of range directly: the queries answer 0.
    mesh->anim_seq = 5;
    EXPECT_EQ(mesh->AnimLength(), 0);
    EXPECT_FLOAT_EQ(mesh->AnimTime(), 0.0f);
}

TEST_F(WorldTest, QueriesOfAnEntityNeverAnimated) {
    PivotRef pivot = TPivot::CreatePivot(nullptr);
    EXPECT_EQ(pivot->Animating(), 0);
    EXPECT_FLOAT_EQ(pivot->AnimTime(), 0.0f);
    EXPECT_EQ(pivot->AnimLength(), 0);
    EXPECT_EQ(pivot->AnimSeq(), 0);
    // Any entity keeps sequences, and a pivot marked animated has its time advanced (there is
    // nothing to pose).
    EXPECT_EQ(pivot->ExtractAnimSeq(1, 3, 0), 1);
    pivot->anim = 1;
    pivot->Animate(1, 1.0f, 1, 0);
    TGlobal::UpdateWorld(1.0f);
    EXPECT_FLOAT_EQ(pivot->AnimTime(), 1.0f);
    EXPECT_EQ(pivot->anim_render, 0);
}

TEST_F(WorldTest, CopiedMeshPosesItsOwnBonesAndSurfaces) {
    addSurface(mesh, {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}});
    weigh(probe, 0, 1.0f);
    weigh(probe, 2, 1.0f);
    BoneRef child = addBone(mesh, probe, {0.0f, 1.0f, 0.0f});
    rotKey(child, 0, turn(90.0f, 0.0f, 0.0f, 1.0f));
    weigh(child, 1, 1.0f);

    MeshRef copy = std::dynamic_pointer_cast<TMesh>(mesh->CopyEntity(nullptr));
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->bones.Count(), 2);
    const BoneRef cprobe = copy->bones.First();
    const BoneRef cchild = copy->bones.Last();
    // The copy's bones start without a usable matrix; the first pose writes them whole.
    copy->SetAnimTime(5.0f, 0);
    mesh->SetAnimTime(5.0f, 0);
    expectMatrixNear(cprobe->mat, probe->mat, 0.0f, "copied root bone");
    expectMatrixNear(cchild->mat, child->mat, 0.0f, "copied child bone");
    EXPECT_EQ(cchild->GetParent(), cprobe);
    for (int id = 0; id < 3; ++id) {
        expectVecNear(animPos(copy, id), animPos(mesh, id), 0.0f, "vertex " + std::to_string(id));
    }
    expectVecNear(animPos(copy, 0), {6.0f, 0.0f, 0.0f}, 1e-5f, "moved with the probe");
    // Each side has its own animated surfaces and bones.
    copy->SetAnimTime(0.0f, 0);
    expectVecNear(animPos(copy, 0), {1.0f, 0.0f, 0.0f}, 1e-5f, "copy at frame 0");
    expectVecNear(animPos(mesh, 0), {6.0f, 0.0f, 0.0f}, 1e-5f, "source still at frame 5");
    EXPECT_FLOAT_EQ(probe->pose_x, 5.0f);
}

// ---- Commands ----

#define COMMAND(name, result, ...)                                                                 \
    static_assert(std::is_same_v<decltype(&::name), result (*)(__VA_ARGS__)>,                      \
                  #name " does not have its argument list and result")

using E = const EntityRef&;
COMMAND(UpdateWorld, void, float);
COMMAND(Animate, void, E, int, float, int, int);
COMMAND(SetAnimTime, void, E, float, int);
COMMAND(AnimSeq, int, E);
COMMAND(AnimLength, int, E);
COMMAND(AnimTime, float, E);
COMMAND(Animating, int, E);
COMMAND(ExtractAnimSeq, int, E, int, int, int);
COMMAND(LoadAnimSeq, int, E, const std::string&);
COMMAND(SetAnimKey, int, E);
COMMAND(AddAnimSeq, int, E);

TEST_F(WorldTest, CommandsReachTheOperations) {
    EXPECT_EQ(ExtractAnimSeq(mesh, 2, 9, 0), 1);
    Animate(mesh, 1, 2.0f, 1, 0);
    EXPECT_EQ(AnimSeq(mesh), 1);
    EXPECT_EQ(AnimLength(mesh), 7);
    EXPECT_EQ(Animating(mesh), 1);
    UpdateWorld(0.5f);
    EXPECT_NEAR(probe->pose_x, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(AnimTime(mesh), 1.0f);
    SetAnimTime(mesh, 3.0f, 1);
    EXPECT_NEAR(probe->pose_x, 5.0f, 1e-5f);
    EXPECT_EQ(Animating(mesh), 0);
    // The commands that do nothing leave the entity as it is.
    EXPECT_EQ(LoadAnimSeq(mesh, "walk.b3d"), 0);
    EXPECT_EQ(SetAnimKey(mesh), 0);
    EXPECT_EQ(AddAnimSeq(mesh), 0);
    EXPECT_EQ(mesh->no_seqs, 1);
    EXPECT_FLOAT_EQ(AnimTime(mesh), 3.0f);
}

TEST_F(WorldTest, CommandsOnANullEntityDoNothing) {
    Animate(nullptr, 1, 1.0f, 0, 0);
    SetAnimTime(nullptr, 1.0f, 0);
    EXPECT_EQ(AnimSeq(nullptr), 0);
    EXPECT_EQ(AnimLength(nullptr), 0);
    EXPECT_FLOAT_EQ(AnimTime(nullptr), 0.0f);
    EXPECT_EQ(Animating(nullptr), 0);
    EXPECT_EQ(ExtractAnimSeq(nullptr, 1, 2, 0), 0);
    EXPECT_EQ(LoadAnimSeq(nullptr, ""), 0);
    EXPECT_EQ(SetAnimKey(nullptr), 0);
    EXPECT_EQ(AddAnimSeq(nullptr), 0);
    EXPECT_EQ(mesh->anim_update, 0);
}

} // namespace

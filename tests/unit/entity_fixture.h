// Shared pieces of the scene-graph tests: a fresh entity list per test, matrix helpers and a
// stand-in bone kind.
#pragma once

#include "engine/commands_entity.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/pivot.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

// Each test starts from the engine's start state (empty lists) and leaves it so afterwards.
class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetEngine(); }
    void TearDown() override { ResetEngine(); }

    static std::vector<EntityRef> listed() { return TEntity::entity_list->ToVector(); }
    static bool inList(const EntityRef& e) { return TEntity::entity_list->Contains(e); }
};

// A kind that reports itself as a bone and, like a bone, does nothing when freed.
class FakeBone : public TEntity {
  public:
    static std::shared_ptr<FakeBone> Create(const EntityRef& parent) {
        std::shared_ptr<FakeBone> b(new FakeBone());
        b->class_name = "Bone";
        b->PlaceNew(parent);
        return b;
    }
    EntityRef CopyEntity(const EntityRef& new_parent) override { return Create(new_parent); }
    int Update() override { return 0; }
    int FreeEntity() override { return 0; }
    bool IsBone() const override { return true; }
};

using Vec3 = std::array<float, 3>;

// The point mapped through the matrix as OpenGL does (columns, translation in column 3).
inline Vec3 mapPoint(const TMatrix& m, const Vec3& p) {
    Vec3 r{};
    for (int j = 0; j < 3; ++j) {
        r[j] = m.grid[0][j] * p[0] + m.grid[1][j] * p[1] + m.grid[2][j] * p[2] + m.grid[3][j];
    }
    return r;
}

inline TMatrix identityMatrix() {
    TMatrix m;
    m.LoadIdentity();
    return m;
}

// m x T(x, y, -z) x Ry(yaw) x Rx(-pitch) x Rz(roll) x S(s): a local transform given in command
// values (z and pitch as the commands take them), composed step by step.
inline TMatrix composeLocal(TMatrix m, float x, float y, float z, float pitch, float yaw,
                            float roll, float scx, float scy, float scz) {
    m.Translate(x, y, -z);
    m.RotateYaw(yaw);
    m.RotatePitch(-pitch);
    m.RotateRoll(roll);
    m.Scale(scx, scy, scz);
    return m;
}

inline void expectMatrixNear(const TMatrix& actual, const TMatrix& expected, float tolerance,
                             const std::string& what = "") {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(actual.grid[i][j], expected.grid[i][j], tolerance)
                << what << " grid[" << i << "][" << j << "]";
        }
    }
}

// The upper 3x3 block with each column brought to unit length (the rotation of a matrix that
// rotates and scales).
inline TMatrix rotationOf(const TMatrix& m) {
    TMatrix r = identityMatrix();
    for (int i = 0; i < 3; ++i) {
        float len = 0.0f;
        for (int j = 0; j < 3; ++j) len += m.grid[i][j] * m.grid[i][j];
        len = std::sqrt(len);
        for (int j = 0; j < 3; ++j) r.grid[i][j] = m.grid[i][j] / len;
    }
    return r;
}

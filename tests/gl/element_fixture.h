// Shared set-up of the GL tests of the demo's elements and phases: the engine's display, the
// generated media folder as the working directory, the engine reset, a fresh piece list and demo
// globals, and End/RuntimeError caught as an exception.
#pragma once

#include "../unit/piece_fixture.h"
#include "demo/globals.h"
#include "demo/tpieza.h"
#include "demo_fixture_gl.h"
#include "engine/brush.h"
#include "engine/commands.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine_fixture.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace elementgl {

using demogl::Exited;

// Runs in the folder that holds media/, with the engine reset and a fresh piece list and demo
// globals.
class DemoElementTest : public gltest::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        before_ = CurrentDir();
        ASSERT_TRUE(ChangeDir(std::filesystem::path(LAPIZ_MEDIA_DIR).parent_path().string()));
        ResetEngine();
        ResetDemoGlobals();
        testseam::SetExitHook([](int status, std::string_view message) {
            throw Exited{status, std::string(message)};
        });
    }
    void TearDown() override {
        testseam::SetExitHook(nullptr);
        FreeEntity(camara);
        ResetDemoGlobals();
        ResetEngine();
        ChangeDir(before_);
        EngineTest::TearDown();
    }

    static std::vector<tpiezaRef> pieces() { return tpieza::lista_piezas->ToVector(); }
    static bool listed(const EntityRef& e) { return TEntity::entity_list->Contains(e); }

    static void expectColour(const BrushRef& b, const std::array<float, 3>& rgb,
                             const std::string& what) {
        ASSERT_NE(b, nullptr) << what;
        EXPECT_FLOAT_EQ(b->red, rgb[0] / 255.0f) << what;
        EXPECT_FLOAT_EQ(b->green, rgb[1] / 255.0f) << what;
        EXPECT_FLOAT_EQ(b->blue, rgb[2] / 255.0f) << what;
    }

    piecetest::PieceListGuard guard_;

  private:
    std::string before_;
};

} // namespace elementgl

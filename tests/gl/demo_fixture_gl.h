// Shared set-up of the rendered tests that run the demo itself: a fresh process (the demo's
// start-up builds its scene into the engine's lists), the working directory beside the
// generated media folder, the virtual clock, and End/RuntimeError caught as an exception.
#pragma once

#include "../unit/demo_fixture.h"
#include "demo/capture.h"
#include "demo/globals.h"
#include "engine/camera.h"
#include "engine/entity.h"
#include "platform/error.h"
#include "platform/random.h"
#include "platform/stream.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#ifndef LAPIZ_MEDIA_DIR
#error "the build passes the generated media folder as LAPIZ_MEDIA_DIR"
#endif

namespace demogl {

using demotest::Exited;

class DemoRunTest : public testing::Test {
  protected:
    void SetUp() override {
        // The demo's frames depend on everything in the engine's lists; a scene left by an
        // earlier test of the same process would show in them. (ctest runs every test in a
        // process of its own.)
        if ((TEntity::entity_list && !TEntity::entity_list->IsEmpty()) ||
            (TCamera::cam_list && !TCamera::cam_list->IsEmpty()))
            GTEST_SKIP() << "needs a process of its own (run it through ctest or alone)";
        before_ = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(LAPIZ_MEDIA_DIR).parent_path());
        ResetDemoGlobals();
        testseam::ResetRandom();
        UseVirtualClockRun();
        demotest::CatchExits();
    }
    void TearDown() override {
        testseam::SetExitHook(nullptr);
        if (!before_.empty()) std::filesystem::current_path(before_);
    }

  private:
    std::filesystem::path before_;
};

} // namespace demogl

// World settings without a display: module start-up, anti-aliasing tables, ambient light.
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/texture.h"
#include "engine/texture_filter.h"
#include "platform/display.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

namespace {

// Puts back the anti-aliasing settings a test changes.
class AntiAliasTest : public ::testing::Test {
  protected:
    void SetUp() override { TGlobal::AntiAlias(0); }
    void TearDown() override { ResetEngine(); }
    static void ExpectRow(int i, float x, float y) {
        EXPECT_FLOAT_EQ(TGlobal::j[i][0], x) << "row " << i;
        EXPECT_FLOAT_EQ(TGlobal::j[i][1], y) << "row " << i;
    }
};

TEST_F(AntiAliasTest, EachSampleCountLoadsItsOwnTable) {
    // First and last pair of each table: a wrong offset into the tables shows at either end.
    const struct {
        int samples, size;
        float firstX, firstY, lastX, lastY;
    } cases[] = {
        {1, 2, 0.25f, 0.75f, 0.75f, 0.25f},
        {2, 2, 0.25f, 0.75f, 0.75f, 0.25f},
        {3, 3, 0.5033923f, 0.8317967f, 0.2261829f, 0.41315535f},
        {4, 4, 0.375f, 0.25f, 0.625f, 0.75f},
        {5, 5, 0.5f, 0.5f, 0.1f, 0.7f},
        {6, 6, 0.46464646f, 0.46464646f, 0.2020202f, 0.2020202f},
        {8, 8, 0.5625f, 0.4375f, 0.1875f, 0.3125f},
        {9, 9, 0.5f, 0.5f, 0.8333333f, 0.055555556f},
        {12, 12, 0.41666666f, 0.625f, 0.5833333f, 0.875f},
        {16, 16, 0.375f, 0.4375f, 0.625f, 0.8125f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.samples);
        EXPECT_EQ(TGlobal::AntiAlias(c.samples), 0);
        EXPECT_EQ(TGlobal::aa, 1);
        EXPECT_EQ(TGlobal::ACSIZE, c.size);
        ExpectRow(0, c.firstX, c.firstY);
        ExpectRow(c.size - 1, c.lastX, c.lastY);
    }
    // Whole tables where the pairs are easy to get out of order.
    TGlobal::AntiAlias(4);
    const float four[4][2] = {{0.375f, 0.25f}, {0.125f, 0.75f}, {0.875f, 0.25f}, {0.625f, 0.75f}};
    for (int i = 0; i < 4; ++i) ExpectRow(i, four[i][0], four[i][1]);
    TGlobal::AntiAlias(9);
    const float nine[9][2] = {{0.5f, 0.5f},
                              {0.16666667f, 0.9444444f},
                              {0.5f, 0.16666667f},
                              {0.5f, 0.8333333f},
                              {0.16666667f, 0.2777778f},
                              {0.8333333f, 0.3888889f},
                              {0.16666667f, 0.6111111f},
                              {0.8333333f, 0.7222222f},
                              {0.8333333f, 0.055555556f}};
    for (int i = 0; i < 9; ++i) ExpectRow(i, nine[i][0], nine[i][1]);
}

TEST_F(AntiAliasTest, UnsupportedCountsSwitchItOffAndZeroKeepsTheTable) {
    for (int samples : {-1, 7, 10, 11, 13, 17, 32}) {
        TGlobal::AntiAlias(4);
        EXPECT_EQ(TGlobal::AntiAlias(samples), 0);
        EXPECT_EQ(TGlobal::aa, 0) << samples;
        EXPECT_EQ(TGlobal::ACSIZE, 0) << samples;
        ExpectRow(0, 0.375f, 0.25f); // the table itself is left alone
    }
    TGlobal::AntiAlias(6);
    TGlobal::AntiAlias(0);
    EXPECT_EQ(TGlobal::aa, 0);
    EXPECT_EQ(TGlobal::ACSIZE, 6);
    ExpectRow(5, 0.2020202f, 0.2020202f);
}

TEST_F(AntiAliasTest, ASmallerTableLeavesTheRowsBeyondIt) {
    TGlobal::AntiAlias(16);
    TGlobal::AntiAlias(4);
    EXPECT_EQ(TGlobal::ACSIZE, 4);
    ExpectRow(3, 0.625f, 0.75f);
    ExpectRow(4, 0.375f, 0.6875f); // rows 4..15 still hold the 16-sample table
    ExpectRow(15, 0.625f, 0.8125f);
}

TEST_F(AntiAliasTest, WithoutAnAccumulationBufferNothingIsRenderedAntiAliased) {
    const GLCapabilities had = glstate::Capabilities();
    GLCapabilities caps = had;
    TGlobal::AntiAlias(4);
    caps.accumBuffer = true;
    testseam::SetGLCapabilities(caps);
    EXPECT_TRUE(TGlobal::AntiAliasing());
    caps.accumBuffer = false;
    testseam::SetGLCapabilities(caps);
    EXPECT_FALSE(TGlobal::AntiAliasing());
    EXPECT_EQ(TGlobal::aa, 1); // the settings are kept for a display that has one
    EXPECT_EQ(TGlobal::ACSIZE, 4);
    caps.accumBuffer = true;
    testseam::SetGLCapabilities(caps);
    TGlobal::AntiAlias(0);
    EXPECT_FALSE(TGlobal::AntiAliasing());
    testseam::SetGLCapabilities(had);
}

TEST(WorldSettings, AmbientLightStoresChannelsOver255) {
    EXPECT_FLOAT_EQ(TGlobal::ambient_red, 0.5f); // before any AmbientLight call
    EXPECT_FLOAT_EQ(TGlobal::ambient_green, 0.5f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_blue, 0.5f);
    EXPECT_EQ(TGlobal::AmbientLight(255, 128, 0), 0);
    EXPECT_FLOAT_EQ(TGlobal::ambient_red, 1.0f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_green, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_blue, 0.0f);
    TGlobal::AmbientLight(510, -255, 25.5f); // stored as given, unclamped
    EXPECT_FLOAT_EQ(TGlobal::ambient_red, 2.0f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_green, -1.0f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_blue, 0.1f);
    TGlobal::AmbientLight(127.5f, 127.5f, 127.5f);
}

TEST(WorldSettings, ModuleStartUpMakesEachListOnce) {
    InitEngineModule();
    EXPECT_TRUE(EngineModuleReady());
    const auto entities = TEntity::entity_list;
    const auto textures = TTexture::tex_list;
    const auto filters = TTextureFilter::filter_list;
    ASSERT_TRUE(entities);
    ASSERT_TRUE(textures);
    ASSERT_TRUE(filters);
    EXPECT_EQ(InitEngineModule(), 0);
    EXPECT_EQ(TEntity::entity_list, entities);
    EXPECT_EQ(TTexture::tex_list, textures);
    EXPECT_EQ(TTextureFilter::filter_list, filters);
}

TEST(WorldSettings, HandOverWithoutADisplayDoesNothing) {
    ASSERT_FALSE(GraphicsOpen());
    EXPECT_EQ(TGlobal::Begin2D(), 0);
    EXPECT_EQ(TGlobal::End2D(), 0);
    EXPECT_FALSE(TGlobal::StateSaved());
    EXPECT_EQ(TGlobal::Wireframe(1), 0);
}

} // namespace

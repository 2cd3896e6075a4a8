// The 3D particles (motion, fading, freeing) and the firework sparks of the end screen (life,
// motion, the burst, the draws they make), without a display: particles are built by hand with
// a bare sprite, and the sparks' 2D drawing does nothing without a display.
#include "demo/phase11.h"
#include "demo/tfuegoestela.h"
#include "demo/tparticula.h"
#include "demo_fixture.h"
#include "engine/commands.h"
#include "engine/entity.h"
#include "engine/global.h"
#include "engine/sprite.h"
#include "platform/image2d.h"
#include "platform/mathfn.h"
#include "platform/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <vector>

namespace {

// The engine reset and fresh particle and spark lists for each test; the old demo lists are put
// back afterwards.
class ElementListTest : public demotest::DemoTest {
  protected:
    void SetUp() override {
        DemoTest::SetUp();
        ResetEngine();
        savedParticles_ = tparticula::lista_particulas;
        tparticula::lista_particulas = CreateList<tparticulaRef>();
        savedSparks_ = tfuegoestela::lista_fuegoestela;
        tfuegoestela::lista_fuegoestela = CreateList<tfuegoestelaRef>();
    }
    void TearDown() override {
        tfuegoestela::lista_fuegoestela = savedSparks_;
        tparticula::lista_particulas = savedParticles_;
        ResetEngine();
        DemoTest::TearDown();
    }

    // A listed particle at (x, y, z) with the given motion and a bare sprite.
    static tparticulaRef particle(float x, float y, float z, float vx, float vy, float vz,
                                  float gravedad) {
        auto p = std::make_shared<tparticula>();
        p->sprite = CreateSprite(nullptr);
        p->x = x, p->y = y, p->z = z;
        p->vx = vx, p->vy = vy, p->vz = vz;
        p->gravedad = gravedad;
        p->alfa = 1.0f;
        ListAddLast(tparticula::lista_particulas, p);
        return p;
    }
    static std::vector<tfuegoestelaRef> sparks() {
        return tfuegoestela::lista_fuegoestela->ToVector();
    }
    static bool listed(const EntityRef& e) { return TEntity::entity_list->Contains(e); }

  private:
    std::shared_ptr<TList<tparticulaRef>> savedParticles_;
    std::shared_ptr<TList<tfuegoestelaRef>> savedSparks_;
};

// ---- Particles ----

TEST_F(ElementListTest, AParticleMovesWithThisFramesSpeedThenSlowsAndItsSpriteFollows) {
    const tparticulaRef p = particle(0, 5, 0, 0.1f, 0.2f, -0.05f, 0.004f);
    // Not placed by creation: the sprite stands at the origin until the first update.
    EXPECT_EQ(p->sprite->EntityY(0), 0.0f);
    tparticula::actualiza();
    EXPECT_FLOAT_EQ(p->x, 0.1f);
    EXPECT_FLOAT_EQ(p->y, 5.2f);
    EXPECT_FLOAT_EQ(p->z, -0.05f);
    EXPECT_FLOAT_EQ(p->vy, 0.196f);
    EXPECT_FLOAT_EQ(p->alfa, 0.99f);
    EXPECT_FLOAT_EQ(p->sprite->EntityX(1), 0.1f);
    EXPECT_FLOAT_EQ(p->sprite->EntityY(1), 5.2f);
    EXPECT_FLOAT_EQ(p->sprite->EntityZ(1), -0.05f);
    ASSERT_NE(p->sprite->brush, nullptr);
    EXPECT_FLOAT_EQ(p->sprite->brush->alpha, 0.99f);
    // The second step uses the slowed speed.
    tparticula::actualiza();
    EXPECT_FLOAT_EQ(p->y, 5.396f);
    EXPECT_FLOAT_EQ(p->vy, 0.192f);
}

TEST_F(ElementListTest, AParticleIsDrawnInAHundredUpdatesAndFreedInTheNext) {
    const tparticulaRef first = particle(0, 0, 0, 0, 0.1f, 0, 0.002f);
    const tparticulaRef later = particle(1, 1, 1, 0, 0, 0, 0);
    later->alfa = 0.505f; // half-way through its life: freed in update 51
    for (int i = 1; i <= 100; ++i) {
        tparticula::actualiza();
        if (i == 50) {
            EXPECT_TRUE(ListContains(tparticula::lista_particulas, later));
        }
        if (i == 51) {
            EXPECT_FALSE(ListContains(tparticula::lista_particulas, later));
            EXPECT_FALSE(listed(later->sprite));
        }
    }
    // After the hundredth update its alpha is still just above 0 and it is drawn invisibly.
    ASSERT_TRUE(ListContains(tparticula::lista_particulas, first));
    EXPECT_GT(first->alfa, 0.0f);
    EXPECT_LT(first->alfa, 1e-5f);
    EXPECT_TRUE(listed(first->sprite));
    EXPECT_FLOAT_EQ(first->sprite->brush->alpha, first->alfa);
    const float lastY = first->y;
    tparticula::actualiza();
    EXPECT_TRUE(tparticula::lista_particulas->IsEmpty());
    EXPECT_FALSE(listed(first->sprite));
    // Moved once more before going; the freed sprite is not placed.
    EXPECT_NE(first->y, lastY);
}

TEST_F(ElementListTest, DestruyeFreesEveryParticleAndEmptiesTheList) {
    tparticula::destruye(); // empty: nothing to do
    EXPECT_TRUE(tparticula::lista_particulas->IsEmpty());
    std::vector<tparticulaRef> made;
    for (int i = 0; i < 5; ++i) made.push_back(particle(float(i), 0, 0, 0, 0, 0, 0));
    tparticula::destruye();
    EXPECT_TRUE(tparticula::lista_particulas->IsEmpty());
    for (const tparticulaRef& p : made) EXPECT_FALSE(listed(p->sprite));
    EXPECT_TRUE(TEntity::entity_list->IsEmpty());
    // A null list is left alone.
    tparticula::lista_particulas = nullptr;
    EXPECT_EQ(tparticula::destruye(), 0);
    EXPECT_EQ(tparticula::actualiza(), 0);
}

// ---- Firework sparks ----

TEST_F(ElementListTest, CreaTruncatesTheLifeAndKeepsTheLowBitsOfTheColour) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float vida;
        int expected;
    } cases[] = {{90.9f, 90}, {-2.7f, -2}, {0.5f, 0}, {nan, 0}, {1e20f, 0}, {-1e20f, 0}};
    for (const Case& c : cases) tfuegoestela::crea(1, 2, 3, 4, c.vida, 256 + 7, -1, 255, 1);
    const auto all = sparks();
    ASSERT_EQ(all.size(), std::size(cases));
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i]->vida, cases[i].expected) << cases[i].vida;
        EXPECT_EQ(all[i]->r, 7);
        EXPECT_EQ(all[i]->g, 255);
        EXPECT_EQ(all[i]->b, 255);
        EXPECT_EQ(all[i]->x, 1.0f);
        EXPECT_EQ(all[i]->vy, 4.0f);
        EXPECT_EQ(all[i]->explota, 1);
    }
}

TEST_F(ElementListTest, ALivingSparkMovesDriftsUpAndDrawsItsFlickerThenItsTremble) {
    tfuegoestela::crea(100, 200, 1.5f, -2, 3, 10, 20, 30, 0);
    testseam::ResetRandom();
    const float alpha = Rnd(0.5f, 1.0f);
    Rnd(-1.0f, 1.0f);
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();

    tfuegoestela::actualiza();
    const tfuegoestelaRef f = sparks().at(0);
    EXPECT_EQ(f->vida, 2);
    EXPECT_EQ(f->x, 101.5f);
    EXPECT_EQ(f->y, 198.0f);
    EXPECT_FLOAT_EQ(f->vy, -2.001f);
    EXPECT_EQ(RandomBits(), next) << "two draws per drawn spark";
    // The 2D state stays as the spark set it.
    EXPECT_EQ(GetBlend(), int(LIGHTBLEND));
    EXPECT_FLOAT_EQ(GetAlpha(), alpha);
    float sx = 0, sy = 0;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 4.0f);
    EXPECT_EQ(sy, 4.0f);
    EXPECT_EQ(GetRotation(), 0.0f);
    int r = 0, g = 0, b = 0;
    GetColor(r, g, b);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 30);
}

TEST_F(ElementListTest, ASparkLivesItsFramesAndGoesWithoutBeingDrawnOrBursting) {
    tfuegoestela::crea(0, 0, 0, 0, 2, 255, 0, 0, 0);
    tfuegoestela::crea(0, 0, 0, 0, 0, 255, 0, 0, 0); // no life: goes in the first update
    tfuegoestela::actualiza();
    ASSERT_EQ(sparks().size(), 1u);
    tfuegoestela::actualiza();
    ASSERT_EQ(sparks().size(), 1u);
    EXPECT_EQ(sparks()[0]->vida, 0);
    // The update in which the life is over draws nothing.
    const std::uint32_t next = [] {
        testseam::ResetRandom();
        return RandomBits();
    }();
    testseam::ResetRandom();
    tfuegoestela::actualiza();
    EXPECT_TRUE(sparks().empty());
    EXPECT_EQ(RandomBits(), next);
}

TEST_F(ElementListTest, ABurstAdds144SparksTwoInEachOf72DirectionsThatStepInTheSameFrame) {
    tfuegoestela::crea(0, 0, 0, 0, 5, 1, 2, 3, 0); // ahead of the burst in the list
    tfuegoestela::crea(300, 150, 0, 0, 0, 255, 0, 255, 1);

    // Expected draws: the living spark's two, then per new spark its speed and its life, then
    // the new sparks' two drawing draws each, in the same pass.
    testseam::ResetRandom();
    Rnd(0.5f, 1.0f);
    Rnd(-1.0f, 1.0f);
    std::vector<float> speed;
    std::vector<int> life;
    for (int i = 0; i < 144; ++i) {
        speed.push_back(Rnd(1.0f, 3.0f));
        life.push_back(Rand(30, 90));
    }
    for (int i = 0; i < 144; ++i) {
        Rnd(0.5f, 1.0f);
        Rnd(-1.0f, 1.0f);
    }
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();

    tfuegoestela::actualiza();
    const auto all = sparks();
    ASSERT_EQ(all.size(), 145u);
    EXPECT_EQ(all[0]->b, 3) << "the spark ahead stays first";
    std::map<int, int> perDirection;
    for (std::size_t i = 1; i < all.size(); ++i) {
        const tfuegoestela& s = *all[i];
        const std::size_t k = i - 1;
        SCOPED_TRACE(k);
        EXPECT_EQ(s.explota, 0);
        EXPECT_EQ(s.r, 255);
        EXPECT_EQ(s.g, 0);
        EXPECT_EQ(s.b, 255);
        EXPECT_EQ(s.vida, life[k] - 1) << "took its first step in the frame of the burst";
        // The step moved it by its starting speed, in ring k / 36 at angle 10 (k % 36) + 5 ring.
        const double dx = double(s.x) - 300, dy = double(s.y) - 150;
        EXPECT_NEAR(std::hypot(dx, dy), speed[k], 1e-3);
        const int angle = int(k % 36) * 10 + int(k / 36) * 5;
        EXPECT_NEAR(dx, Cos(angle) * speed[k], 1e-3);
        EXPECT_NEAR(dy, Sin(angle) * speed[k], 1e-3);
        const double degrees = std::fmod(ATan2(dy, dx) + 360.0, 360.0);
        ++perDirection[int(std::lround(degrees / 5.0)) % 72];
    }
    EXPECT_EQ(perDirection.size(), 72u);
    for (const auto& [direction, count] : perDirection) EXPECT_EQ(count, 2) << direction * 5;
    EXPECT_EQ(RandomBits(), next);
}

TEST_F(ElementListTest, ARocketIsDrawnForItsLifeAndBurstsInTheUpdateAfter) {
    tfuegoestela::crea(400, 500, 0, -3, 90.9f, 0, 255, 0, 1);
    for (int i = 1; i <= 90; ++i) {
        tfuegoestela::actualiza();
        ASSERT_EQ(sparks().size(), 1u) << i;
    }
    // The pull up the screen over 90 frames comes to 0.09 in all.
    EXPECT_NEAR(sparks()[0]->vy, -3.09f, 1e-5);
    tfuegoestela::actualiza();
    EXPECT_EQ(sparks().size(), 144u);
}

// ---- The end screen's firework launcher ----

TEST_F(ElementListTest, TheLauncherCountsSixtyFramesDownThenLaunchesARocket) {
    ASSERT_EQ(frecuenciafuegos, 60);
    const std::uint32_t first = RandomBits();
    testseam::ResetRandom();
    for (int i = 1; i <= 60; ++i) LanzaFuegos();
    EXPECT_EQ(frecuenciafuegos, 0);
    EXPECT_TRUE(sparks().empty());
    EXPECT_EQ(RandomBits(), first) << "counting down draws nothing";

    struct Draws {
        int wait, colour, life;
        float vy, vx, x;
    };
    const auto reference = [] {
        Draws d;
        d.wait = Rand(15, 60);
        d.colour = Rand(1, 4);
        d.life = Rand(90, 120);
        d.vy = Rnd(-4.0f, -2.0f);
        d.vx = Rnd(-2.0f, 2.0f);
        d.x = Rnd(200.0f, 600.0f);
        return d;
    };
    for (int launch = 0; launch < 6; ++launch) {
        SCOPED_TRACE(launch);
        testseam::ResetRandom();
        for (int k = 0; k < launch; ++k) RandomBits();
        const Draws d = reference();
        testseam::ResetRandom();
        for (int k = 0; k < launch; ++k) RandomBits();
        frecuenciafuegos = 0;
        LanzaFuegos();
        EXPECT_EQ(frecuenciafuegos, d.wait);
        const tfuegoestelaRef f = sparks().back();
        EXPECT_EQ(f->x, d.x);
        EXPECT_EQ(f->y, 500.0f);
        EXPECT_EQ(f->vx, d.vx);
        EXPECT_EQ(f->vy, d.vy);
        EXPECT_EQ(f->vida, d.life);
        EXPECT_EQ(f->r, kColoresFuego[d.colour - 1][0]);
        EXPECT_EQ(f->g, kColoresFuego[d.colour - 1][1]);
        EXPECT_EQ(f->b, kColoresFuego[d.colour - 1][2]);
        EXPECT_EQ(f->explota, 1);
    }
}

} // namespace

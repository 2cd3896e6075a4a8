// Pen dots and the pen readers: the dots' states, their truncating motion and removal during a
// pass, each against the generator replayed in the documented order; the phase-4 reader frame
// by frame on small drawings; the trail pens' wipe; the greeting file sequence. Also the parts
// of phases 4, 6 and 8 that run without drawing: the camera pan, the credits wave, the split
// views and tickers through a jolt, the drift of the greetings field.
#include "demo/dibujo.h"
#include "demo/phases_steps.h"
#include "demo/tpieza.h"
#include "demo/tpluma.h"
#include "platform/image2d.h"
#include "platform/mathfn.h"
#include "platform/random.h"
#include "platform/stream.h"
#include "platform/testing.h"

#include "demo_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using demotest::DemoTest;
using demotest::Exited;
using Point = std::pair<std::int32_t, std::int32_t>;

void PutInt(std::vector<std::uint8_t>& out, std::int32_t v) {
    const auto u = std::uint32_t(v);
    for (int s = 0; s < 32; s += 8) out.push_back(std::uint8_t(u >> s));
}

// A phase-4 drawing: per dot a dropped pair (here the point mirrored) then the point.
std::vector<std::uint8_t> PenRecords(const std::vector<Point>& pts) {
    std::vector<std::uint8_t> out;
    for (auto [x, y] : pts) {
        PutInt(out, -x);
        PutInt(out, -y);
        PutInt(out, x);
        PutInt(out, y);
    }
    return out;
}

// A trail or greeting drawing: one pair per dot.
std::vector<std::uint8_t> PointRecords(const std::vector<Point>& pts) {
    std::vector<std::uint8_t> out;
    for (auto [x, y] : pts) {
        PutInt(out, x);
        PutInt(out, y);
    }
    return out;
}

std::vector<tlapizRef> Dots() {
    return tlapiz::lista_lapiz->ToVector();
}

// A fresh dot list, a pen-dot and a glow image that tell the dots apart, and a scratch folder
// holding media/ as the working directory.
class PenTest : public DemoTest {
  protected:
    void SetUp() override {
        DemoTest::SetUp();
        saved_ = tlapiz::lista_lapiz;
        tlapiz::lista_lapiz = CreateList<tlapizRef>();
        lapiz = LoadImage(CreatePixmap(4, 4, PF_RGBA8888), 1);
        flare = LoadImage(CreatePixmap(8, 8, PF_RGBA8888), 1);
        std::filesystem::create_directories(tmp_.dir() / "media");
        before_ = CurrentDir();
        ASSERT_TRUE(ChangeDir(tmp_.dir().string()));
    }
    void TearDown() override {
        ChangeDir(before_);
        tlapiz::lista_lapiz = saved_;
        DemoTest::TearDown();
    }

    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        tmp_.write("media/" + name, bytes);
    }

    // A dot in flight with the given speeds and opacity.
    static tlapizRef Flying(int x, int y, float velx, float vely, float alfa) {
        tlapiz::crea(x, y, lapiz, 0, 0, 0);
        tlapizRef d = tlapiz::lista_lapiz->Last();
        d->estado = tlapiz::kVuelo;
        d->velx = velx;
        d->vely = vely;
        d->alfa = alfa;
        return d;
    }

    TempDir tmp_;

  private:
    std::shared_ptr<TList<tlapizRef>> saved_;
    std::string before_;
};

// ---- Pen dots ----

using PenDotTest = PenTest;

TEST_F(PenDotTest, ANewDotIsStampedWithByteColoursAndNoLookYet) {
    EXPECT_EQ(tlapiz::crea(12, -7, lapiz, 0x1ff, 256, -1), 0);
    EXPECT_EQ(tlapiz::crea(3, 4, flare, 1, 2, 3), 0);
    const auto dots = Dots();
    ASSERT_EQ(dots.size(), 2u);
    const tlapiz& d = *dots[0];
    EXPECT_EQ(d.imagen, lapiz);
    EXPECT_EQ(d.x, 12);
    EXPECT_EQ(d.y, -7);
    EXPECT_EQ(d.estado, tlapiz::kEstampado);
    EXPECT_EQ(d.r, 255);
    EXPECT_EQ(d.g, 0);
    EXPECT_EQ(d.b, 255);
    EXPECT_EQ(d.alfa, 0.0f);
    EXPECT_EQ(d.escala, 0.0f);
    EXPECT_EQ(d.velx, 0.0f);
    EXPECT_EQ(d.vely, 0.0f);
    EXPECT_EQ(dots[1]->imagen, flare);
}

TEST_F(PenDotTest, StampedDotsFlickerInListOrderAndTheLastOneLeavesTheDrawingState) {
    tlapiz::crea(10, 20, lapiz, 1, 2, 3);
    tlapiz::crea(30, 40, lapiz, 4, 5, 6);
    // Per dot: opacity, scale, then the two jitter draws of pinta (dy first).
    testseam::ResetRandom();
    float want[2][2];
    for (auto& w : want) {
        w[0] = Rnd(0.75f, 1.0f);
        w[1] = Rnd(0.12f, 0.6f);
        Rnd(-3.0f, 3.0f);
        Rnd(-3.0f, 3.0f);
    }
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();
    EXPECT_EQ(tlapiz::actualiza(ALPHABLEND, 2.0f), 0);
    const auto dots = Dots();
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(dots[i]->alfa, want[i][0]) << i;
        EXPECT_EQ(dots[i]->escala, want[i][1]) << i;
        EXPECT_EQ(dots[i]->estado, tlapiz::kEstampado);
    }
    EXPECT_EQ(RandomBits(), next);
    // What the last drawing set stays in force.
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 4);
    EXPECT_EQ(g, 5);
    EXPECT_EQ(b, 6);
    EXPECT_EQ(GetBlend(), ALPHABLEND);
    EXPECT_EQ(GetAlpha(), dots[1]->alfa);
    EXPECT_EQ(GetRotation(), 0.0f);
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, dots[1]->escala * 2.0f);
    EXPECT_FLOAT_EQ(sy, dots[1]->escala * 2.0f);

    // The greetings draw additively.
    tlapiz::actualiza(LIGHTBLEND, 1.0f);
    EXPECT_EQ(GetBlend(), LIGHTBLEND);
}

TEST_F(PenDotTest, AWipedDotTakesOffWithItsSpeedsAndMovesOnlyFromTheNextFrame) {
    struct Case {
        int modo;
        float vlo, vhi, hlo, hhi; // ranges of vely and velx
    };
    for (const Case c : {Case{2, -3, -2, -1, 1}, Case{3, -6, 6, -6, 6}}) {
        SCOPED_TRACE(c.modo);
        ClearList(tlapiz::lista_lapiz);
        tlapiz::crea(200, 300, lapiz, 9, 9, 9);
        tlapiz::actualiza(ALPHABLEND, 1.0f);
        const tlapizRef d = Dots()[0];
        const float alfa = d->alfa, escala = d->escala;
        EXPECT_EQ(tlapiz::borratodo(c.modo), 0);
        EXPECT_EQ(d->estado, c.modo) << "the change waits for the next pass";
        EXPECT_EQ(d->vely, 0.0f);

        tlapiz::actualiza(ALPHABLEND, 1.0f);
        EXPECT_EQ(d->estado, tlapiz::kVuelo);
        EXPECT_GE(d->vely, c.vlo);
        EXPECT_LT(d->vely, c.vhi);
        EXPECT_GE(d->velx, c.hlo);
        EXPECT_LT(d->velx, c.hhi);
        // Drawn once more where it was stamped, with its stamped look.
        EXPECT_EQ(d->x, 200);
        EXPECT_EQ(d->y, 300);
        EXPECT_EQ(d->alfa, alfa);
        EXPECT_EQ(d->escala, escala);
        EXPECT_EQ(GetAlpha(), alfa);

        const float vy = d->vely, vx = d->velx;
        tlapiz::actualiza(ALPHABLEND, 1.0f);
        const float vy1 = float(double(vy) + double(0.2f));
        EXPECT_EQ(d->vely, vy1);
        EXPECT_EQ(d->y, int(300.0 + double(vy1)));
        EXPECT_EQ(d->x, int(200.0 + double(vx)));
        EXPECT_EQ(d->alfa, float(double(alfa) - double(0.005f)));
    }
}

TEST_F(PenDotTest, TheDrawsOfAWipeComeInTheirOrder) {
    tlapiz::crea(0, 0, lapiz, 0, 0, 0);
    tlapiz::crea(0, 0, lapiz, 0, 0, 0);
    tlapiz::borratodo(2);
    Dots()[1]->estado = 3;
    testseam::ResetRandom();
    const float hopY = Rnd(-3.0f, -2.0f), hopX = Rnd(-1.0f, 1.0f);
    Rnd(-3.0f, 3.0f), Rnd(-3.0f, 3.0f);
    const float burstY = Rnd(-6.0f, 6.0f), burstX = Rnd(-6.0f, 6.0f);
    Rnd(-3.0f, 3.0f), Rnd(-3.0f, 3.0f);
    const std::uint32_t next = RandomBits();
    testseam::ResetRandom();
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    const auto dots = Dots();
    EXPECT_EQ(dots[0]->vely, hopY);
    EXPECT_EQ(dots[0]->velx, hopX);
    EXPECT_EQ(dots[1]->vely, burstY);
    EXPECT_EQ(dots[1]->velx, burstX);
    EXPECT_EQ(RandomBits(), next);
}

TEST_F(PenDotTest, FlightTruncatesTowardZero) {
    // vely starts at -0.2 so that gravity leaves it at 0: only x moves.
    struct Case {
        int x;
        float velx;
        std::vector<int> path; // x after each frame
    };
    const Case cases[] = {
        {100, 0.5f, {100, 100, 100}},  // under a pixel to the right: stays
        {100, -0.5f, {99, 98, 97}},    // under a pixel to the left: one pixel per frame
        {100, 1.75f, {101, 102, 103}}, // whole pixels below the speed
        {100, -1.75f, {98, 96, 94}},   // whole pixels above the speed
        {-3, -0.5f, {-3, -3, -3}},     // left of zero it is the other way round
        {-3, 0.5f, {-2, -1, 0}},       //
        {2, -2.5f, {0, -2, -4}},       // crossing zero
        {INT_MAX, 5.0f, {INT_MAX, INT_MAX, INT_MAX}}, // held within the Int range
        {INT_MIN, -5.0f, {INT_MIN, INT_MIN, INT_MIN}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.velx);
        ClearList(tlapiz::lista_lapiz);
        const tlapizRef d = Flying(c.x, 50, c.velx, -0.2f, 1.0f);
        for (int expected : c.path) {
            d->vely = -0.2f;
            tlapiz::actualiza(ALPHABLEND, 1.0f);
            EXPECT_EQ(d->x, expected);
            EXPECT_EQ(d->y, 50);
        }
    }
    // Gravity spends a hop's kick and then pulls the dot down in a parabola of whole pixels.
    ClearList(tlapiz::lista_lapiz);
    const tlapizRef d = Flying(0, 100, 0, -2.5f, 1.0f);
    std::vector<int> ys;
    for (int f = 0; f < 40; ++f) {
        tlapiz::actualiza(ALPHABLEND, 1.0f);
        ys.push_back(d->y);
    }
    double v = -2.5f, y = 100;
    for (int f = 0; f < 40; ++f) {
        v = float(v + double(0.2f));
        y = int(y + v);
        EXPECT_EQ(ys[std::size_t(f)], int(y)) << f;
    }
    EXPECT_LT(*std::min_element(ys.begin(), ys.end()), 90);
    EXPECT_GT(ys.back(), 120);
}

TEST_F(PenDotTest, ADotAtZeroOpacityIsDrawnAndGoesTheFrameAfterWithoutSkippingOthers) {
    // Order: a dot fading to exactly 0, a stamped one, one already below, another stamped one.
    const tlapizRef zero = Flying(5, 5, 0, 0, 0.005f);
    tlapiz::crea(1, 1, lapiz, 1, 1, 1);
    const tlapizRef gone = Flying(6, 6, 0, 0, 0.004f);
    tlapiz::crea(2, 2, lapiz, 2, 2, 2);
    const auto before = Dots();

    // Replay: zero (scale, jitter x2), stamped (alfa, scale, jitter x2), gone (scale only),
    // stamped (alfa, scale, jitter x2).
    testseam::ResetRandom();
    for (int k = 0; k < 3; ++k) Rnd();
    const float a1 = Rnd(0.75f, 1.0f);
    for (int k = 0; k < 3; ++k) Rnd();
    Rnd();
    const float a3 = Rnd(0.75f, 1.0f);
    for (int k = 0; k < 3; ++k) Rnd();
    const std::uint32_t next = RandomBits();

    testseam::ResetRandom();
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    EXPECT_EQ(zero->alfa, 0.0f);
    auto after = Dots();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], zero);
    EXPECT_EQ(after[1], before[1]);
    EXPECT_EQ(after[2], before[3]);
    EXPECT_EQ(before[1]->alfa, a1);
    EXPECT_EQ(before[3]->alfa, a3);
    EXPECT_EQ(RandomBits(), next) << "every other dot updated exactly once";
    EXPECT_FALSE(ListContains(tlapiz::lista_lapiz, gone));

    tlapiz::actualiza(ALPHABLEND, 1.0f);
    after = Dots();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], before[1]);
}

TEST_F(PenDotTest, AWipedDrawingLeavesWithinItsFadeTime) {
    for (int i = 0; i < 200; ++i) tlapiz::crea(i, 300, lapiz, 0, 0, 0);
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    tlapiz::borratodo(2);
    std::vector<float> start;
    for (const auto& d : Dots()) start.push_back(d->alfa);
    int frames = 0, firstGone = 0;
    while (!tlapiz::lista_lapiz->IsEmpty() && frames < 400) {
        ++frames; // frame 1 gives the speeds; flight frames count from the next
        tlapiz::actualiza(ALPHABLEND, 1.0f);
        if (!firstGone && tlapiz::lista_lapiz->Count() < 200) firstGone = frames;
    }
    EXPECT_TRUE(tlapiz::lista_lapiz->IsEmpty());
    EXPECT_GE(firstGone - 1, 151);
    EXPECT_LE(frames - 1, 201);
}

TEST_F(PenDotTest, WipesTouchOnlyStampedDotsAndDestroyAllEmptiesTheList) {
    EXPECT_EQ(tlapiz::borratodo(2), 0); // an empty list: nothing to do
    const tlapizRef flying = Flying(0, 0, 1, 1, 0.5f);
    tlapiz::crea(0, 0, lapiz, 0, 0, 0);
    const tlapizRef inert = Flying(0, 0, 0, 0, 0.5f);
    inert->estado = 7;
    tlapiz::borratodo(3);
    const auto dots = Dots();
    EXPECT_EQ(flying->estado, tlapiz::kVuelo) << "a flight is not restarted";
    EXPECT_EQ(dots[1]->estado, tlapiz::kEstallido);
    EXPECT_EQ(inert->estado, 7);
    // A dot in another state is neither moved nor drawn.
    testseam::ResetRandom();
    const std::uint32_t first = RandomBits();
    ClearList(tlapiz::lista_lapiz);
    ListAddLast(tlapiz::lista_lapiz, inert);
    testseam::ResetRandom();
    tlapiz::actualiza(ALPHABLEND, 1.0f);
    EXPECT_EQ(RandomBits(), first);
    EXPECT_EQ(inert->alfa, 0.5f);

    for (int i = 0; i < 5; ++i) tlapiz::crea(i, i, lapiz, 0, 0, 0);
    EXPECT_EQ(tlapiz::destruyetodo(), 0);
    EXPECT_TRUE(tlapiz::lista_lapiz->IsEmpty());
    EXPECT_EQ(tlapiz::destruyetodo(), 0);
}

TEST_F(PenDotTest, TheGlowIsDrawnWhiteAndAdditiveWithoutADotOrADraw) {
    SetColor(1, 2, 3);
    SetAlpha(0.2f);
    SetScale(3, 3);
    SetRotation(45);
    testseam::ResetRandom();
    const std::uint32_t first = RandomBits();
    testseam::ResetRandom();
    EXPECT_EQ(tlapiz::pintaflare(flare, 10, 10), 0);
    EXPECT_EQ(RandomBits(), first);
    EXPECT_TRUE(tlapiz::lista_lapiz->IsEmpty());
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 765);
    EXPECT_EQ(GetBlend(), LIGHTBLEND);
    EXPECT_EQ(GetAlpha(), 1.0f);
    EXPECT_EQ(GetRotation(), 0.0f);
    float sx, sy;
    GetScale(sx, sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);
}

// ---- The phase-4 reader ----

using ScrollReaderTest = PenTest;

TEST_F(ScrollReaderTest, ReadsFourDrawingsWithPausesAndWipesOnceAtTheEnd) {
    write("verde.lap", PenRecords({{10, 11}, {12, 13}}));
    write("naranja.lap", {});                  // passed over in one frame
    write("rosa.lap", PenRecords({{20, 21}})); // exactly one dot
    // A last record cut short after its x: the dot lands at (x, 0).
    auto rojo = PenRecords({{30, 31}, {40, 41}});
    rojo.resize(rojo.size() - 4);
    write("rojo.lap", rojo);
    dibujo = OpenFile("media/verde.lap");
    ASSERT_NE(dibujo, nullptr);

    std::vector<int> frameOfDot; // the frame in which each dot was stamped
    int wipes = 0;
    const auto frame = [&](int n) {
        const int before = CountList(tlapiz::lista_lapiz);
        const int stampedBefore = [&] {
            int s = 0;
            for (const auto& d : Dots()) s += d->estado == tlapiz::kEstampado;
            return s;
        }();
        lee_dibujo_scroll();
        const int after = CountList(tlapiz::lista_lapiz);
        for (int k = before; k < after; ++k) frameOfDot.push_back(n);
        EXPECT_LE(after - before, 1) << "one dot per frame at most";
        int stamped = 0;
        for (const auto& d : Dots()) stamped += d->estado == tlapiz::kEstampado;
        if (stampedBefore > 0 && stamped == 0) ++wipes;
    };

    int n = 0;
    // The opening pause: no end-of-file test and no read.
    for (; n < 60; ++n) {
        frame(n + 1);
        EXPECT_EQ(StreamPos(dibujo), 0);
    }
    EXPECT_EQ(scrollpausa, 0);
    const StreamRef verde = dibujo;
    frame(++n); // 61: first dot
    frame(++n); // 62: second dot
    EXPECT_EQ(scrolldibujo, 1);
    frame(++n); // 63: the switch
    EXPECT_FALSE(verde->IsOpen());
    EXPECT_EQ(scrolldibujo, 2);
    EXPECT_EQ(scrollpausa, 60);
    EXPECT_EQ(std::tuple(scrollr, scrollg, scrollb), std::tuple(200, 100, 0));
    // The empty drawing is at its end throughout its pause, and still waits.
    for (int k = 0; k < 60; ++k) frame(++n);
    EXPECT_EQ(scrolldibujo, 2);
    frame(++n); // 124: its switch
    EXPECT_EQ(scrolldibujo, 3);
    for (int k = 0; k < 60; ++k) frame(++n);
    frame(++n); // 185: the pink dot
    frame(++n); // 186: switch to red
    EXPECT_EQ(scrolldibujo, 4);
    EXPECT_EQ(std::tuple(scrollr, scrollg, scrollb), std::tuple(200, 0, 0));
    for (int k = 0; k < 60; ++k) frame(++n);
    frame(++n); // 247
    frame(++n); // 248: the short record
    const StreamRef rojoStream = dibujo;
    frame(++n); // 249: the last switch, no file
    EXPECT_EQ(scrolldibujo, 5);
    EXPECT_EQ(scrollpausa, 350);
    EXPECT_FALSE(rojoStream->IsOpen());
    for (int k = 0; k < 350; ++k) frame(++n);
    EXPECT_EQ(wipes, 0);
    frame(++n); // 600: the one wipe
    EXPECT_EQ(wipes, 1);
    EXPECT_EQ(scrolldibujo, 6);
    // From then on nothing is stamped or wiped: a dot stamped by hand stays stamped.
    tlapiz::crea(0, 0, lapiz, 0, 0, 0);
    for (int k = 0; k < 30; ++k) frame(++n);
    EXPECT_EQ(Dots().back()->estado, tlapiz::kEstampado);
    EXPECT_EQ(scrolldibujo, 6 + 30);

    const auto dots = Dots();
    ASSERT_EQ(dots.size(), 6u);
    const std::vector<std::tuple<int, int, int, int, int>> want = {
        {10, 11, 0, 200, 0}, {12, 13, 0, 200, 0}, {20, 21, 200, 0, 200},
        {30, 31, 200, 0, 0}, {40, 0, 200, 0, 0},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        const tlapiz& d = *dots[i];
        EXPECT_EQ(std::tuple(d.x, d.y, int(d.r), int(d.g), int(d.b)), want[i]) << i;
        EXPECT_EQ(d.imagen, lapiz);
        EXPECT_EQ(d.estado, tlapiz::kSalto);
    }
    EXPECT_EQ(frameOfDot, (std::vector<int>{61, 62, 185, 247, 248}));
}

TEST_F(ScrollReaderTest, ADrawingThatCannotBeOpenedEndsTheProgramNamingIt) {
    write("verde.lap", {});
    dibujo = OpenFile("media/verde.lap");
    scrollpausa = 0;
    try {
        lee_dibujo_scroll();
        ADD_FAILURE() << "the reader went on without media/naranja.lap";
    } catch (const Exited& e) {
        EXPECT_NE(e.status, 0);
        EXPECT_NE(e.message.find("media/naranja.lap"), std::string::npos) << e.message;
    }
}

// ---- The trail pens ----

using TrailTest = PenTest;

TEST_F(TrailTest, EachPenStampsAPointPerFrameInARandomColourWithItsGlow) {
    write("a.lap", PointRecords({{100, 110}, {120, 130}}));
    auto second = PointRecords({{500, 510}});
    second.push_back(0x2c); // a partial x: 44
    second.push_back(0x01); //              + 256
    write("b.lap", second);
    dibujo = OpenFile("media/a.lap");
    dibujo2 = OpenFile("media/b.lap");

    // Frame 1: pen 1's colour, pen 2's colour, then the two dots' flicker.
    testseam::ResetRandom();
    const int k1 = Rand(0, 6), k2 = Rand(0, 6);
    testseam::ResetRandom();
    paso_estelas();
    auto dots = Dots();
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(std::tuple(dots[0]->x, dots[0]->y), std::tuple(100, 110));
    EXPECT_EQ(std::tuple(dots[1]->x, dots[1]->y), std::tuple(500, 510));
    const auto colour = [](const tlapiz& d) { return std::array<int, 3>{d.r, d.g, d.b}; };
    EXPECT_EQ(colour(*dots[0]), kColoresEstela[std::size_t(k1)]);
    EXPECT_EQ(colour(*dots[1]), kColoresEstela[std::size_t(k2)]);
    EXPECT_EQ(dots[0]->imagen, lapiz);
    EXPECT_GT(dots[0]->alfa, 0.0f) << "drawn in the same step";

    paso_estelas(); // the second pen's short record: (300, 0)
    dots = Dots();
    ASSERT_EQ(dots.size(), 4u);
    EXPECT_EQ(std::tuple(dots[3]->x, dots[3]->y), std::tuple(300, 0));
    paso_estelas(); // both files have ended: nothing stamped
    EXPECT_EQ(Dots().size(), 4u);
}

TEST_F(TrailTest, TheDotsHopAwayEveryEleventhFrameEvenWithTheFilesEnded) {
    std::vector<Point> pts;
    for (int i = 0; i < 30; ++i) pts.push_back({i, i});
    write("a.lap", PointRecords(pts));
    dibujo = OpenFile("media/a.lap");
    // dibujo2 stays null: a pen without a file does nothing.
    std::vector<int> wipes;
    for (int f = 1; f <= 45; ++f) {
        // Once the file has ended, a dot stamped by hand shows the wipes.
        if (f > 30) tlapiz::crea(0, 0, lapiz, 0, 0, 0);
        const int before = CountList(tlapiz::lista_lapiz);
        paso_estelas();
        // The dot stamped in a wipe frame takes off before it ever had an opacity, so it is
        // gone the frame after.
        const int lost = f > 11 && f % 11 == 1 ? 1 : 0;
        EXPECT_EQ(CountList(tlapiz::lista_lapiz), before + (f <= 30 ? 1 : 0) - lost) << f;
        int stamped = 0;
        for (const auto& d : Dots()) stamped += d->estado == tlapiz::kEstampado;
        // A wipe frame sends even its own new dot away.
        if (stamped == 0) wipes.push_back(f);
        EXPECT_EQ(estelaborrado, 10 - f % 11) << f;
    }
    EXPECT_EQ(wipes, (std::vector<int>{11, 22, 33, 44}));
}

// ---- The greetings ----

using GreetingTest = PenTest;

TEST_F(GreetingTest, EventsOpenFilesOneToSixteenAndThenHoldAtSixteen) {
    for (int n = 0; n <= 16; ++n)
        write("saludo" + std::to_string(n) + ".lap", PointRecords({{n, 2 * n}, {n, 2 * n + 1}}));
    dibujo = OpenFile("media/saludo0.lap");
    lee_saludo();
    EXPECT_EQ(Dots().size(), 2u) << "a whole file in one frame";
    std::vector<int> shown;
    for (int event = 1; event <= 19; ++event) {
        const StreamRef old = dibujo;
        cambia_saludo();
        EXPECT_FALSE(old->IsOpen());
        const int before = CountList(tlapiz::lista_lapiz);
        lee_saludo();
        const auto dots = Dots();
        ASSERT_EQ(dots.size(), std::size_t(before + 2));
        shown.push_back(dots.back()->x);
        EXPECT_EQ(dots.back()->imagen, flare);
        EXPECT_EQ(dots.back()->r + dots.back()->g + dots.back()->b, 765);
        EXPECT_EQ(saludosnumero, std::min(event + 1, 16));
        // The greeting before bursts; the new one is stamped.
        EXPECT_EQ(dots[std::size_t(before - 1)]->estado, tlapiz::kVuelo);
        EXPECT_EQ(dots.back()->estado, tlapiz::kEstampado);
        lee_saludo(); // the following frame finds the end at once
        EXPECT_EQ(CountList(tlapiz::lista_lapiz), before + 2);
    }
    std::vector<int> want;
    for (int n = 1; n <= 19; ++n) want.push_back(std::min(n, 16));
    EXPECT_EQ(shown, want);
}

TEST_F(GreetingTest, AGreetingThatCannotBeOpenedEndsTheProgramNamingIt) {
    saludosnumero = 5;
    try {
        cambia_saludo();
        ADD_FAILURE() << "went on without the greeting";
    } catch (const Exited& e) {
        EXPECT_NE(e.message.find("media/saludo5.lap"), std::string::npos) << e.message;
    }
}

// ---- Phase steps without drawing ----

using PhaseStepTest = DemoTest;

TEST_F(PhaseStepTest, ThePanCreepsAtItsFloorAndDrainsAKick) {
    std::vector<float> steps;
    float pos = 0;
    for (int f = 0; f < 3; ++f) {
        PasoCamaraScroll();
        steps.push_back(scrollcampos - pos);
        pos = scrollcampos;
        EXPECT_EQ(scrollcamvel, 0.02f);
    }
    scrollcamvel += 1.5f;
    const float want[] = {1.32f, 1.12f, 0.92f, 0.72f, 0.52f, 0.32f, 0.12f, 0.02f, 0.02f};
    for (float w : want) {
        PasoCamaraScroll();
        EXPECT_NEAR(scrollcamvel, w, 1e-5f);
    }
    EXPECT_NEAR(steps[0], 0.02f, 1e-6f);
}

TEST_F(PhaseStepTest, TheCreditsWaveWrapsItsColumnsAndFollowsTheCosine) {
    poscreditos = 2599.5f;
    ang2creditos = 30.0f;
    tamcreditos = -24.0f;
    const auto cols = AvanzaOlaCreditos();
    EXPECT_FLOAT_EQ(tamcreditos, -22.8f) << "eased before the columns are laid out";
    EXPECT_EQ(cols[0].cuadro, 2599);
    EXPECT_EQ(cols[1].cuadro, 0);
    EXPECT_EQ(cols[199].cuadro, 198);
    float angle = 30.0f;
    for (std::size_t j = 0; j < cols.size(); ++j) {
        EXPECT_EQ(cols[j].x, 4.0f * float(j));
        EXPECT_NEAR(cols[j].y, 350 + 22.8 + 50 * Cos(angle), 1e-3) << j;
        angle = float(double(angle) + double(2.3f));
    }
    EXPECT_EQ(angcreditos, angle);
    EXPECT_FLOAT_EQ(ang2creditos, float(30.0 + 10 * Sin(angle)));
    EXPECT_FLOAT_EQ(poscreditos, 2601.6f);
    EXPECT_EQ(AvanzaOlaCreditos()[0].cuadro, 2601 % 2600);

    // From the start value the wave's phase drifts to where it stands still.
    ResetDemoGlobals();
    for (int f = 0; f < 120; ++f) AvanzaOlaCreditos();
    const float settled = ang2creditos;
    AvanzaOlaCreditos();
    EXPECT_NEAR(ang2creditos, settled, 0.05);
    EXPECT_NEAR(std::fmod(double(settled) + 460.0, 360.0), 180.0, 1.0) << settled;
}

TEST_F(PhaseStepTest, AJoltLowersTheViewsAndTickersAndEasesBack) {
    tamcreditos = -24.0f;
    EXPECT_EQ(ArribaVistaPrincipal(), 56);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ArribaVistaLateral(i), 144 + 120 * i);
    AvanzaOlaCreditos();
    EXPECT_EQ(ArribaVistaPrincipal(), 54);
    EXPECT_EQ(ArribaVistaLateral(0), 142);
    for (int f = 0; f < 200; ++f) AvanzaOlaCreditos();
    EXPECT_EQ(ArribaVistaPrincipal(), 32);

    // The side views: 120 down to -120 on the first pass, then 0 to -120 over and over.
    ResetDemoGlobals();
    std::vector<float> seen;
    for (int f = 0; f < 242 + 122; ++f) {
        seen.push_back(rendersscroll);
        AvanzaVistasLaterales();
    }
    EXPECT_EQ(seen[0], 120.0f);
    EXPECT_EQ(seen[240], -120.0f);
    EXPECT_EQ(seen[241], 0.0f);
    EXPECT_EQ(seen[361], -120.0f);
    EXPECT_EQ(seen[362], 0.0f);

    // The tickers stand at their last offset for a frame before they return to 0.
    tickerx1 = -799;
    tickerx2 = 799;
    AvanzaTickers();
    EXPECT_EQ(std::pair(tickerx1, tickerx2), std::pair(-800, 800));
    AvanzaTickers();
    EXPECT_EQ(std::pair(tickerx1, tickerx2), std::pair(0, 0));
    AvanzaTickers();
    EXPECT_EQ(std::pair(tickerx1, tickerx2), std::pair(-1, 1));
}

TEST_F(PhaseStepTest, GreetingPiecesTurnDriftAndComeBackAtTheOppositeEdge) {
    EXPECT_EQ(BordeSaludos(0), 22.0f);
    EXPECT_EQ(BordeSaludos(15), 33.0f);
    EXPECT_EQ(BordeSaludos(30), 44.0f);
    struct Case {
        float z, x, y, vx, vy, wantX, wantY;
    };
    const Case cases[] = {
        {0, 21.9f, 0, 0.3f, 0, -22.2f, 0},       // out on the right: mirrored
        {0, -22.2f, 0, 0.3f, 0, -21.9f, 0},      // and back inside with the same drift
        {0, 22.0f, -22.0f, 0, 0, 22.0f, -22.0f}, // exactly on the edge: kept
        {15, 0, 33.2f, 0, 0.1f, 0, -33.3f},      // the edge grows with the depth
        {30, 43.9f, 0, 0.05f, 0, 43.95f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.y);
        tpieza p;
        p.z = c.z;
        p.x = c.x;
        p.y = c.y;
        p.pitch = 10;
        saludosvelx = c.vx;
        saludosvely = c.vy;
        MuevePiezaSaludos(p);
        EXPECT_FLOAT_EQ(p.x, c.wantX);
        EXPECT_FLOAT_EQ(p.y, c.wantY);
        EXPECT_EQ(p.roll, 1.0f);
        EXPECT_EQ(p.yaw, -1.0f);
        EXPECT_EQ(p.pitch, 9.5f);
    }
}

} // namespace

// The engine's display and the hand-over of GL state between the 2D layer and the engine.
#include "engine/commands.h"
#include "engine/texture_filter.h"
#include "engine_fixture.h"
#include "platform/error.h"
#include "platform/testing.h"

#include <map>

namespace {
using namespace gltest;

// A broad record of GL state, by name, to compare two moments.
using GLState = std::map<std::string, double>;

GLState Snapshot() {
    GLState s;
    for (auto [name, cap] : std::initializer_list<std::pair<const char*, GLenum>>{
             {"lighting", GL_LIGHTING},
             {"depth test", GL_DEPTH_TEST},
             {"fog", GL_FOG},
             {"cull face", GL_CULL_FACE},
             {"scissor test", GL_SCISSOR_TEST},
             {"normalize", GL_NORMALIZE},
             {"texture 2D", GL_TEXTURE_2D},
             {"cube map", GL_TEXTURE_CUBE_MAP},
             {"blend", GL_BLEND},
             {"alpha test", GL_ALPHA_TEST},
             {"light0", GL_LIGHT0},
             {"vertex array", GL_VERTEX_ARRAY},
             {"colour array", GL_COLOR_ARRAY},
             {"normal array", GL_NORMAL_ARRAY},
             {"texcoord array", GL_TEXTURE_COORD_ARRAY}})
        s[name] = glIsEnabled(cap);
    auto ints = [&](const char* name, GLenum pname, int n) {
        GLint v[16] = {};
        glGetIntegerv(pname, v);
        for (int i = 0; i < n; ++i) s[std::string(name) + "[" + std::to_string(i) + "]"] = v[i];
    };
    auto floats = [&](const char* name, GLenum pname, int n) {
        GLfloat v[16] = {};
        glGetFloatv(pname, v);
        for (int i = 0; i < n; ++i) s[std::string(name) + "[" + std::to_string(i) + "]"] = v[i];
    };
    ints("viewport", GL_VIEWPORT, 4);
    ints("scissor box", GL_SCISSOR_BOX, 4);
    ints("polygon mode", GL_POLYGON_MODE, 2);
    ints("matrix mode", GL_MATRIX_MODE, 1);
    ints("blend src", GL_BLEND_SRC, 1);
    ints("blend dst", GL_BLEND_DST, 1);
    ints("alpha func", GL_ALPHA_TEST_FUNC, 1);
    floats("alpha ref", GL_ALPHA_TEST_REF, 1);
    ints("depth func", GL_DEPTH_FUNC, 1);
    floats("clear depth", GL_DEPTH_CLEAR_VALUE, 1);
    floats("clear colour", GL_COLOR_CLEAR_VALUE, 4);
    floats("current colour", GL_CURRENT_COLOR, 4);
    ints("colour control", GL_LIGHT_MODEL_COLOR_CONTROL, 1);
    ints("local viewer", GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    ints("perspective hint", GL_PERSPECTIVE_CORRECTION_HINT, 1);
    ints("texture binding", GL_TEXTURE_BINDING_2D, 1);
    ints("active texture", GL_ACTIVE_TEXTURE, 1);
    floats("modelview", GL_MODELVIEW_MATRIX, 16);
    floats("projection", GL_PROJECTION_MATRIX, 16);
    floats("texture matrix", GL_TEXTURE_MATRIX, 16);
    ints("attrib depth", GL_ATTRIB_STACK_DEPTH, 1);
    ints("client attrib depth", GL_CLIENT_ATTRIB_STACK_DEPTH, 1);
    ints("modelview depth", GL_MODELVIEW_STACK_DEPTH, 1);
    ints("projection depth", GL_PROJECTION_STACK_DEPTH, 1);
    ints("texture depth", GL_TEXTURE_STACK_DEPTH, 1);
    return s;
}

::testing::AssertionResult SameState(const GLState& a, const GLState& b) {
    std::string diff;
    for (const auto& [name, value] : a) {
        const auto it = b.find(name);
        if (it == b.end() || it->second != value)
            diff += name + ": " + std::to_string(value) + " vs " +
                    (it == b.end() ? "missing" : std::to_string(it->second)) + "\n";
    }
    if (diff.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
}

int Get(GLenum pname) {
    GLint v = 0;
    glGetIntegerv(pname, &v);
    return v;
}

class EngineWorldTest : public EngineTest {};

TEST_F(EngineWorldTest, Graphics3DOpensTheDisplayWithBackDepthAndAccumulationBuffers) {
    EXPECT_EQ(EnsureEngine().errorAfterGraphics3D, GLenum(GL_NO_ERROR));
    EXPECT_EQ(TGlobal::width, kWidth);
    EXPECT_EQ(TGlobal::height, kHeight);
    EXPECT_EQ(TGlobal::mode, 2);
    EXPECT_EQ(TGlobal::depth, 0); // any mode but 1 opens a window
    EXPECT_EQ(TGlobal::rate, 60);
    EXPECT_EQ(GraphicsWidth(), kWidth);
    EXPECT_EQ(GraphicsHeight(), kHeight);
    EXPECT_EQ(GraphicsDepth(), 0);
    EXPECT_TRUE(Get(GL_DOUBLEBUFFER));
    EXPECT_GE(Get(GL_DEPTH_BITS), 24);
    EXPECT_GE(Get(GL_ACCUM_RED_BITS), 16);
    EXPECT_TRUE(TGlobal::accum_buffer);
    // The default texture filter was registered first thing.
    ASSERT_GE(CountList(TTextureFilter::filter_list), 1);
    EXPECT_EQ(TTextureFilter::filter_list->First()->text, "");
    EXPECT_EQ(TTextureFilter::filter_list->First()->flags, 9);
}

// The display opened again at other sizes (its window and context kept) keeps the one default
// filter and one saved level of the 2D layer on each GL stack. A rule added at each opening
// would grow the list without end, and those small blocks, left among the GL driver's freed
// frame buffers of each size, kept the heap from ever using them again (the process grew by
// about 140 kB per opening); a level pushed at each would overflow the stacks.
TEST_F(EngineWorldTest, OpeningTheDisplayAgainKeepsOneDefaultTextureFilterAndOneSavedLevel) {
    EnsureEngine();
    const auto defaults = [] {
        int count = 0;
        for (const TextureFilterRef& filter : *TTextureFilter::filter_list)
            count += filter->text.empty() && filter->flags == (COLORTEXTURE | MIPMAPPEDTEXTURE);
        return count;
    };
    ASSERT_EQ(defaults(), 1);
    const int filters = CountList(TTextureFilter::filter_list);
    for (const auto& [width, height] : {std::pair{640, 480}, {700, 500}, {kWidth, kHeight}}) {
        TGlobal::Graphics3D(width, height, 32, 2, 60);
        EXPECT_EQ(GraphicsWidth(), width);
        EXPECT_EQ(defaults(), 1);
        EXPECT_EQ(CountList(TTextureFilter::filter_list), filters);
        EXPECT_EQ(Get(GL_ATTRIB_STACK_DEPTH), 1);
        EXPECT_EQ(Get(GL_CLIENT_ATTRIB_STACK_DEPTH), 1);
        EXPECT_EQ(Get(GL_MODELVIEW_STACK_DEPTH), 2);
        EXPECT_EQ(Get(GL_PROJECTION_STACK_DEPTH), 2);
        EXPECT_TRUE(TGlobal::StateSaved());
    }
    // Opened again from the 2D layer (after Begin2D) the same.
    TGlobal::Begin2D();
    TGlobal::Graphics3D(kWidth, kHeight, 32, 2, 60);
    EXPECT_EQ(Get(GL_ATTRIB_STACK_DEPTH), 1);
    EXPECT_EQ(Get(GL_MODELVIEW_STACK_DEPTH), 2);
    EXPECT_EQ(GLErrors(), "");
    // Cleared by the program, the rule comes back with the next opening.
    ClearTextureFilters();
    TGlobal::Graphics3D(kWidth, kHeight, 32, 2, 60);
    EXPECT_EQ(defaults(), 1);
}

TEST_F(EngineWorldTest, ADisplayThatCannotBeOpenedIsAFatalErrorNamingTheCause) {
    struct Fatal {
        std::string message;
    };
    testseam::SetExitHook([](int, std::string_view message) { throw Fatal{std::string(message)}; });
    const int filters = CountList(TTextureFilter::filter_list);
    const int saved[5] = {TGlobal::width, TGlobal::height, TGlobal::depth, TGlobal::mode,
                          TGlobal::rate};
    try {
        TGlobal::Graphics3D(0, 600, 0, 0, 60);
        ADD_FAILURE() << "Graphics3D returned";
    } catch (const Fatal& e) {
        EXPECT_EQ(e.message, "Unable to open the display: bad size 0x600");
    }
    testseam::SetExitHook(nullptr);
    EXPECT_EQ(CountList(TTextureFilter::filter_list), filters); // GraphicsInit did not run
    EXPECT_EQ(TGlobal::width, 0); // stored before the display was asked for
    TGlobal::width = saved[0];
    TGlobal::height = saved[1];
    TGlobal::depth = saved[2];
    TGlobal::mode = saved[3];
    TGlobal::rate = saved[4];
    EXPECT_TRUE(GraphicsOpen());
    EXPECT_TRUE(TGlobal::StateSaved());
}

TEST_F(EngineWorldTest, End2DAppliesTheEngineState) {
    TGlobal::Begin2D();
    glPushAttrib(GL_ENABLE_BIT); // put back at the end for the 2D tests
    glEnable(GL_TEXTURE_2D);     // as a 2D draw leaves it
    glEnable(GL_ALPHA_TEST);
    TGlobal::End2D();
    const struct {
        GLenum cap;
        bool on;
    } caps[] = {{GL_LIGHTING, true},     {GL_DEPTH_TEST, true},   {GL_FOG, true},
                {GL_CULL_FACE, true},    {GL_SCISSOR_TEST, true}, {GL_NORMALIZE, true},
                {GL_VERTEX_ARRAY, true}, {GL_COLOR_ARRAY, true},  {GL_NORMAL_ARRAY, true},
                {GL_TEXTURE_2D, false}};
    for (const auto& c : caps)
        EXPECT_EQ(bool(glIsEnabled(c.cap)), c.on) << "capability 0x" << std::hex << c.cap;
    EXPECT_EQ(Get(GL_LIGHT_MODEL_COLOR_CONTROL), GL_SEPARATE_SPECULAR_COLOR);
    EXPECT_EQ(Get(GL_LIGHT_MODEL_LOCAL_VIEWER), 1);
    GLfloat clearDepth = 0, alphaRef = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
    glGetFloatv(GL_ALPHA_TEST_REF, &alphaRef);
    EXPECT_EQ(clearDepth, 1.0f);
    EXPECT_EQ(Get(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(Get(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
    EXPECT_EQ(Get(GL_ALPHA_TEST_FUNC), GL_GEQUAL);
    EXPECT_FLOAT_EQ(alphaRef, 0.5f);
    // The alpha test itself is the drawing code's business: End2D leaves it as it was.
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    // The last stack saved is the last selected.
    EXPECT_EQ(Get(GL_MATRIX_MODE), TGlobal::colour_matrix ? GL_COLOR : GL_TEXTURE);
    EXPECT_EQ(GLErrors(), "");
    TGlobal::Begin2D();
    glPopAttrib();
    TGlobal::End2D();
}

TEST_F(EngineWorldTest, EachStackHoldsOneSavedLevelIn3DAndNoneIn2D) {
    struct Depths {
        int attrib, client, modelview, projection, texture;
    };
    auto depths = [] {
        return Depths{Get(GL_ATTRIB_STACK_DEPTH), Get(GL_CLIENT_ATTRIB_STACK_DEPTH),
                      Get(GL_MODELVIEW_STACK_DEPTH), Get(GL_PROJECTION_STACK_DEPTH),
                      Get(GL_TEXTURE_STACK_DEPTH)};
    };
    for (int round = 0; round < 3; ++round) {
        const Depths in3D = depths();
        EXPECT_EQ(in3D.attrib, 1);
        EXPECT_EQ(in3D.client, 1);
        EXPECT_EQ(in3D.modelview, 2);
        EXPECT_EQ(in3D.projection, 2);
        EXPECT_EQ(in3D.texture, 2); // pushed once, whether or not a colour stack exists
        TGlobal::Begin2D();
        const Depths in2D = depths();
        EXPECT_EQ(in2D.attrib, 0);
        EXPECT_EQ(in2D.client, 0);
        EXPECT_EQ(in2D.modelview, 1);
        EXPECT_EQ(in2D.projection, 1);
        EXPECT_EQ(in2D.texture, 1);
        TGlobal::End2D();
    }
    // Calls out of turn neither underflow nor pile up levels.
    TGlobal::End2D();
    EXPECT_EQ(Get(GL_ATTRIB_STACK_DEPTH), 1);
    TGlobal::Begin2D();
    TGlobal::Begin2D();
    EXPECT_EQ(Get(GL_ATTRIB_STACK_DEPTH), 0);
    EXPECT_EQ(Get(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_FALSE(TGlobal::StateSaved());
    TGlobal::End2D();
    EXPECT_EQ(GLErrors(), "");
}

TEST_F(EngineWorldTest, Begin2DRestoresTheStateThe2DLayerHadAtEnd2D) {
    TGlobal::Begin2D();
    // A 2D state of some character, as a 2D draw leaves it (put back at the end).
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    const GLState before = Snapshot();
    EXPECT_EQ(before.at("lighting"), 0);
    EXPECT_EQ(before.at("viewport[2]"), kWidth);

    TGlobal::End2D();
    // What 3D drawing changes: matrices of every stack, enables, arrays, colours, bindings.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_TEXTURE);
    glScalef(2, 2, 2);
    glViewport(0, 0, 256, 256);
    glScissor(10, 10, 20, 20);
    glEnable(GL_LIGHT0);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glClearColor(1, 0, 1, 1);
    glColor4f(1, 1, 0, 0.5f);
    glBlendFunc(GL_ONE, GL_ZERO);
    TGlobal::Wireframe(1);
    EXPECT_NE(Snapshot(), before);

    TGlobal::Begin2D();
    EXPECT_TRUE(SameState(before, Snapshot()));
    EXPECT_EQ(GLErrors(), "");
    glPopAttrib();
    TGlobal::End2D();
}

TEST_F(EngineWorldTest, A2DDrawAfterBegin2DLooksAsBeforeGraphics3D) {
    // 3D state in force, with wireframe, as a frame leaves it.
    TGlobal::Wireframe(1);
    glMatrixMode(GL_MODELVIEW);
    glRotatef(40, 0, 0, 1);
    TGlobal::Begin2D();
    DrawReference2D();
    const auto after = testseam::CaptureFrame();
    const auto& reference = EnsureEngine().reference2D;
    ASSERT_EQ(after.width, reference.width);
    ASSERT_EQ(after.height, reference.height);
    int differing = 0;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x)
            if (At(after, x, y) != At(reference, x, y)) ++differing;
    EXPECT_EQ(differing, 0);
    // The picture is not trivially empty.
    EXPECT_EQ(At(after, 530, 415), Rgb(250, 200, 0));
    EXPECT_EQ(At(after, 700, 100), Rgb(20, 40, 60));
    TGlobal::End2D();
}

TEST_F(EngineWorldTest, WireframeSwitchesThePolygonModeUntilBegin2D) {
    auto mode = [] {
        GLint m[2] = {};
        glGetIntegerv(GL_POLYGON_MODE, m);
        EXPECT_EQ(m[0], m[1]);
        return m[0];
    };
    Wireframe(1);
    EXPECT_EQ(mode(), GL_LINE);
    Wireframe(0);
    EXPECT_EQ(mode(), GL_FILL);
    Wireframe(-3);
    EXPECT_EQ(mode(), GL_LINE);
    TGlobal::Begin2D();
    EXPECT_EQ(mode(), GL_FILL); // the 2D layer's mode
    TGlobal::End2D();
    EXPECT_EQ(mode(), GL_FILL); // End2D sets none: 3D drawing gets the 2D layer's
}

TEST_F(EngineWorldTest, WorldCommandsForwardToTheWorldSettings) {
    AmbientLight(51, 102, 255);
    EXPECT_FLOAT_EQ(TGlobal::ambient_red, 0.2f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_green, 0.4f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_blue, 1.0f);
    AmbientLight(127.5f, 127.5f, 127.5f);
    AntiAlias(1);
    EXPECT_EQ(TGlobal::aa, 1);
    EXPECT_EQ(TGlobal::ACSIZE, 2);
    EXPECT_TRUE(TGlobal::AntiAliasing());
    AntiAlias(0);
    EXPECT_FALSE(TGlobal::AntiAliasing());
}

} // namespace

#include "platform/gl_state.h"

#include "platform/error.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace glstate {
namespace {

// A recorded value and whether it is known.
template <typename T> struct Known {
    bool known = false;
    T value{};

    // True when the value is known to be v already; otherwise records v and returns false, so
    // that the caller issues the GL call.
    bool Holds(const T& v) {
        if (known && value == v) return true;
        known = true;
        value = v;
        return false;
    }
};

using Colour = std::array<float, 4>;

// The place of value in a table of GL names; -1 when it is not there.
template <std::size_t N> int indexIn(const GLenum (&table)[N], GLenum value) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i] == value) return int(i);
    return -1;
}

// Capabilities recorded outside the texture units, by index.
constexpr GLenum kCaps[] = {
    GL_BLEND,          GL_ALPHA_TEST,   GL_DEPTH_TEST,   GL_CULL_FACE, GL_FOG,    GL_LIGHTING,
    GL_COLOR_MATERIAL, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_NORMALIZE, GL_LIGHT0, GL_LIGHT1,
    GL_LIGHT2,         GL_LIGHT3,       GL_LIGHT4,       GL_LIGHT5,    GL_LIGHT6, GL_LIGHT7};
constexpr int kCapCount = int(std::size(kCaps));

constexpr int capIndex(GLenum cap) {
    // A switch the compiler turns into a few comparisons; kCaps gives the same places.
    switch (cap) {
    case GL_BLEND:
        return 0;
    case GL_ALPHA_TEST:
        return 1;
    case GL_DEPTH_TEST:
        return 2;
    case GL_CULL_FACE:
        return 3;
    case GL_FOG:
        return 4;
    case GL_LIGHTING:
        return 5;
    case GL_COLOR_MATERIAL:
        return 6;
    case GL_SCISSOR_TEST:
        return 7;
    case GL_STENCIL_TEST:
        return 8;
    case GL_NORMALIZE:
        return 9;
    default:
        break;
    }
    if (cap >= GL_LIGHT0 && cap <= GL_LIGHT7) return 10 + int(cap - GL_LIGHT0);
    return -1;
}

// Capabilities of each texture unit, by index.
constexpr GLenum kUnitCaps[] = {GL_TEXTURE_2D,    GL_TEXTURE_CUBE_MAP, GL_TEXTURE_GEN_S,
                                GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,    GL_TEXTURE_GEN_Q};
constexpr int kUnitCapCount = int(std::size(kUnitCaps));

constexpr int unitCapIndex(GLenum cap) {
    switch (cap) {
    case GL_TEXTURE_2D:
        return 0;
    case GL_TEXTURE_CUBE_MAP:
        return 1;
    case GL_TEXTURE_GEN_S:
        return 2;
    case GL_TEXTURE_GEN_T:
        return 3;
    case GL_TEXTURE_GEN_R:
        return 4;
    case GL_TEXTURE_GEN_Q:
        return 5;
    default:
        return -1;
    }
}

// The switches above give each name its place in its table.
template <std::size_t N>
constexpr bool placesMatch(const GLenum (&table)[N], int (*place)(GLenum)) {
    for (std::size_t i = 0; i < N; ++i)
        if (place(table[i]) != int(i)) return false;
    return true;
}
static_assert(placesMatch(kCaps, capIndex) && placesMatch(kUnitCaps, unitCapIndex));

constexpr GLenum kGenCoords[] = {GL_S, GL_T, GL_R};

int genIndex(GLenum coord) {
    return indexIn(kGenCoords, coord);
}

constexpr GLenum kArrays[] = {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY};

int arrayIndex(GLenum array) {
    return indexIn(kArrays, array);
}

constexpr GLenum kMaterials[] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR};

int materialIndex(GLenum parameter) {
    return indexIn(kMaterials, parameter);
}

struct Unit {
    std::array<Known<bool>, kUnitCapCount> caps;
    Known<GLuint> bound2D, boundCube;
    Known<GLenum> envMode, combineRGB;
    Known<float> rgbScale;
    std::array<Known<GLint>, 3> genMode;
    Known<bool> texCoordArray;
    Known<std::array<float, 2>> matrixScale; // (0, 0): the identity; unknown: anything else
};

struct Record {
    std::array<Known<bool>, kCapCount> caps;
    Known<int> activeUnit;
    std::array<Unit, kMaxUnits> units;
    std::array<Known<bool>, 3> arrays;
    Known<std::array<GLenum, 2>> blendFunc;
    Known<GLenum> blendEquation;
    Known<std::pair<GLenum, float>> alphaFunc;
    Known<bool> depthMask;
    Known<GLenum> depthFunc, shadeModel, polygonMode, matrixMode;
    std::array<Known<Colour>, 3> material;
    Known<float> shininess;
    Known<Colour> lightModelAmbient;
    Known<GLuint> readFramebuffer, drawFramebuffer;
    Known<GLenum> readBuffer, drawBuffer;
};

// Initialised before any code runs and never destroyed (it has nothing to destroy): textures
// freed while the program exits still delete through it, and no call pays for a first-use check.
constinit Record the_record{};

Record& record() {
    return the_record;
}

constinit CallCounts the_counts{};

// A call of that kind reaches GL.
void reached(long long CallCounts::*kind) {
    ++(the_counts.*kind);
    ++the_counts.total;
}

// Sets the value through `issue`, a call of that kind, unless the record holds it already.
template <typename T, typename Issue>
void setEntry(Known<T>& entry, const T& value, long long CallCounts::*kind, Issue issue) {
    if (entry.Holds(value)) return;
    reached(kind);
    issue();
}

GLCapabilities& capabilities() {
    static GLCapabilities caps;
    return caps;
}

Colour colourOf(const float v[4]) {
    return {v[0], v[1], v[2], v[3]};
}

// The unit selected, when known and one the record follows; null otherwise.
Unit* activeUnit() {
    Record& r = record();
    if (!r.activeUnit.known || r.activeUnit.value < 0 || r.activeUnit.value >= kMaxUnits)
        return nullptr;
    return &r.units[std::size_t(r.activeUnit.value)];
}

// A per-unit value set while the unit selected is unknown: it may have changed on any unit, so
// it becomes unknown on all of them. `field` gives the value's entry of a unit.
template <typename Field> void forgetOnEveryUnit(Field field) {
    for (Unit& u : record().units) field(u).known = false;
}

// Sets a per-unit value of the active unit through `issue` unless the record holds it already.
template <typename T, typename Field, typename Issue>
void unitValue(Field field, const T& v, Issue issue) {
    if (Unit* u = activeUnit()) {
        if (field(*u).Holds(v)) return;
    } else {
        forgetOnEveryUnit(field);
    }
    issue();
}

// The entry of a per-unit value, for unitValue and forgetOnEveryUnit.
template <typename T> auto member(Known<T> Unit::*m) {
    return [m](Unit& u) -> Known<T>& { return u.*m; };
}

// True when the context names the extension. The loader's own flag is not enough: it may mark
// an extension as present because its entry points exist while the context refuses its enums.
bool hasExtension(std::string_view name) {
    const auto* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!all) return false;
    for (std::string_view rest = all; !rest.empty();) {
        const std::size_t end = rest.find(' ');
        if (rest.substr(0, end) == name) return true;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

// A GL name as GL's headers write it: 0x and four hex digits (GL_BLEND is 0x0BE2).
std::string hexName(GLenum name) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", unsigned(name));
    return buf;
}

[[noreturn]] void differs(const std::string& what, int unit = -1) {
    RuntimeError("GL state record differs from GL: " + what +
                 (unit >= 0 ? " on texture unit " + std::to_string(unit) : std::string()));
}

GLint getInteger(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

float getFloat(GLenum name) {
    GLfloat v = 0;
    glGetFloatv(name, &v);
    return v;
}

} // namespace

std::string BringUp() {
    // GLEW reports "no GLX display" when the context is not a GLX one (EGL under Wayland), yet
    // it has loaded the core and extension entry points; that counts as success.
    glewExperimental = GL_TRUE;
    const GLenum result = glewInit();
    const bool loaded =
        result == GLEW_OK || (result == GLEW_ERROR_NO_GLX_DISPLAY && glGetString(GL_VERSION) &&
                              glActiveTexture && glBlendFuncSeparate);
    GLCapabilities& caps = capabilities();
    caps = GLCapabilities{};
    Invalidate();
    if (!loaded) return reinterpret_cast<const char*>(glewGetErrorString(result));
    caps.multitexture = glActiveTexture != nullptr && glClientActiveTexture != nullptr;
    GLint units = 1;
    if (caps.multitexture) glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    caps.textureUnits = caps.multitexture ? std::clamp(int(units), 1, kMaxUnits) : 1;
    caps.dot3Ext = GLEW_EXT_texture_env_dot3 != 0;
    caps.imaging = hasExtension("GL_ARB_imaging");
    caps.accumBuffer = getInteger(GL_ACCUM_RED_BITS) > 0;
    caps.alphaBuffer = getInteger(GL_ALPHA_BITS) > 0;
    return {};
}

const GLCapabilities& Capabilities() {
    return capabilities();
}

GLCapabilities& CapabilitiesHeld() {
    return capabilities();
}

void Invalidate() {
    record() = Record{};
}

namespace {
void (*standing_state)() = nullptr;
} // namespace

void SetStandingState(void (*apply)()) {
    standing_state = apply;
}

void AfterForeignCalls() {
    Invalidate();
    if (standing_state) standing_state();
}

namespace {
// Colour material, while on or not known to be off, carries the current colour into the ambient
// and diffuse material, and makes GL leave out material calls for them.
bool colourMaterialMayTrack() {
    const Known<bool>& k = record().caps[std::size_t(capIndex(GL_COLOR_MATERIAL))];
    return !k.known || k.value;
}

void forgetTrackedMaterial() {
    record().material[0].known = false;
    record().material[1].known = false;
}
} // namespace

void Enable(GLenum cap, bool on) {
    const int i = capIndex(cap);
    if (i >= 0 && record().caps[std::size_t(i)].Holds(on)) return;
    if (cap == GL_COLOR_MATERIAL) forgetTrackedMaterial();
    reached(&CallCounts::capabilities);
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

bool Enabled(GLenum cap) {
    const int i = capIndex(cap);
    if (i >= 0 && record().caps[std::size_t(i)].known) return record().caps[std::size_t(i)].value;
    const bool on = glIsEnabled(cap) == GL_TRUE;
    if (i >= 0) record().caps[std::size_t(i)].Holds(on);
    return on;
}

void ActiveTexture(int unit) {
    if (record().activeUnit.Holds(unit)) return;
    if (!capabilities().multitexture) return;
    reached(&CallCounts::activeTexture);
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glClientActiveTexture(GLenum(GL_TEXTURE0 + unit));
}

void TextureEnable(GLenum cap, bool on) {
    const auto issue = [&] {
        reached(&CallCounts::capabilities);
        if (on)
            glEnable(cap);
        else
            glDisable(cap);
    };
    const int i = unitCapIndex(cap);
    if (i < 0) return issue();
    unitValue([i](Unit& u) -> Known<bool>& { return u.caps[std::size_t(i)]; }, on, issue);
}

void BindTexture(GLenum target, GLuint name) {
    unitValue(member(target == GL_TEXTURE_CUBE_MAP ? &Unit::boundCube : &Unit::bound2D), name, [&] {
        reached(&CallCounts::textureBinds);
        glBindTexture(target, name);
    });
}

void DeleteTextures(GLsizei count, const GLuint* names) {
    if (count <= 0) return;
    for (Unit& u : record().units) {
        for (Known<GLuint>* bound : {&u.bound2D, &u.boundCube}) {
            if (bound->known && std::find(names, names + count, bound->value) != names + count)
                bound->value = 0;
        }
    }
    glDeleteTextures(count, names);
}

namespace {
void texEnv(GLenum name, float value) {
    reached(&CallCounts::textureEnvironment);
    glTexEnvf(GL_TEXTURE_ENV, name, value);
}
} // namespace

void TexEnvMode(GLenum mode) {
    unitValue(member(&Unit::envMode), mode, [&] { texEnv(GL_TEXTURE_ENV_MODE, float(mode)); });
}

void TexEnvCombineRGB(GLenum function) {
    unitValue(member(&Unit::combineRGB), function,
              [&] { texEnv(GL_COMBINE_RGB, float(function)); });
}

void TexEnvRGBScale(float scale) {
    unitValue(member(&Unit::rgbScale), scale, [&] { texEnv(GL_RGB_SCALE, scale); });
}

void TexGenMode(GLenum coord, GLint mode) {
    const auto issue = [&] {
        reached(&CallCounts::textureEnvironment);
        glTexGeni(coord, GL_TEXTURE_GEN_MODE, mode);
    };
    const int i = genIndex(coord);
    if (i < 0) return issue();
    unitValue([i](Unit& u) -> Known<GLint>& { return u.genMode[std::size_t(i)]; }, mode, issue);
}

void TexCoordArray(bool on) {
    unitValue(member(&Unit::texCoordArray), on, [&] {
        reached(&CallCounts::clientArrays);
        if (on)
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        else
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    });
}

void ClearTextureUnit(int unit) {
    // What a clear unit holds off: the capabilities of kUnitCaps before GL_TEXTURE_GEN_Q.
    constexpr int kOff = 5;
    static_assert(kUnitCaps[kOff] == GL_TEXTURE_GEN_Q);
    // Compared as bytes with a record of them known off: a few loads, not a branch per entry.
    static_assert(sizeof(Known<bool>) == 2 * sizeof(bool));
    static constexpr Known<bool> kKnownOff{true, false};
    static constexpr std::array<Known<bool>, kOff> kAllOff{kKnownOff, kKnownOff, kKnownOff,
                                                           kKnownOff, kKnownOff};
    if (unit >= 0 && unit < kMaxUnits) {
        const Unit& u = record().units[std::size_t(unit)];
        if (std::memcmp(&u.texCoordArray, &kKnownOff, sizeof kKnownOff) == 0 &&
            std::memcmp(u.caps.data(), kAllOff.data(), sizeof kAllOff) == 0)
            return;
    }
    ActiveTexture(unit);
    for (int i = 0; i < kOff; ++i) TextureEnable(kUnitCaps[i], false);
    TexCoordArray(false);
}

void TextureMatrixIdentity() {
    TextureMatrixScale(0.0f, 0.0f);
}

void TextureMatrixScale(float u, float v) {
    unitValue(member(&Unit::matrixScale), std::array<float, 2>{u, v}, [&] {
        MatrixMode(GL_TEXTURE);
        reached(&CallCounts::matrices);
        glLoadIdentity();
        if (u != 0.0f || v != 0.0f) glScalef(u, v, 1.0f);
    });
    MatrixMode(GL_MODELVIEW);
}

void TextureMatrixSet() {
    if (Unit* u = activeUnit())
        u->matrixScale.known = false;
    else
        forgetOnEveryUnit(member(&Unit::matrixScale));
}

void MatrixMode(GLenum mode) {
    setEntry(record().matrixMode, mode, &CallCounts::matrices, [&] { glMatrixMode(mode); });
}

void ClientArray(GLenum array, bool on) {
    const int i = arrayIndex(array);
    if (i >= 0 && record().arrays[std::size_t(i)].Holds(on)) return;
    reached(&CallCounts::clientArrays);
    if (on)
        glEnableClientState(array);
    else
        glDisableClientState(array);
}

void BlendFunc(GLenum source, GLenum destination) {
    setEntry(record().blendFunc, {source, destination}, &CallCounts::fragmentTests,
             [&] { glBlendFunc(source, destination); });
}

void BlendEquation(GLenum mode) {
    if (!glBlendEquation) return;
    setEntry(record().blendEquation, mode, &CallCounts::fragmentTests,
             [&] { glBlendEquation(mode); });
}

void AlphaFunc(GLenum function, float reference) {
    setEntry(record().alphaFunc, {function, reference}, &CallCounts::fragmentTests,
             [&] { glAlphaFunc(function, reference); });
}

void DepthMask(bool on) {
    setEntry(record().depthMask, on, &CallCounts::fragmentTests,
             [&] { glDepthMask(on ? GL_TRUE : GL_FALSE); });
}

void DepthFunc(GLenum function) {
    setEntry(record().depthFunc, function, &CallCounts::fragmentTests,
             [&] { glDepthFunc(function); });
}

void ShadeModel(GLenum mode) {
    setEntry(record().shadeModel, mode, &CallCounts::rasterModes, [&] { glShadeModel(mode); });
}

void PolygonMode(GLenum mode) {
    setEntry(record().polygonMode, mode, &CallCounts::rasterModes,
             [&] { glPolygonMode(GL_FRONT_AND_BACK, mode); });
}

void Material(GLenum parameter, const float value[4]) {
    const int i = materialIndex(parameter);
    if (i >= 0 && record().material[std::size_t(i)].Holds(colourOf(value))) return;
    reached(&CallCounts::lighting);
    glMaterialfv(GL_FRONT_AND_BACK, parameter, value);
    if (i >= 0 && i < 2 && colourMaterialMayTrack()) forgetTrackedMaterial();
}

void MaterialShininess(float shininess) {
    setEntry(record().shininess, shininess, &CallCounts::lighting,
             [&] { glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess); });
}

void LightModelAmbient(const float colour[4]) {
    setEntry(record().lightModelAmbient, colourOf(colour), &CallCounts::lighting,
             [&] { glLightModelfv(GL_LIGHT_MODEL_AMBIENT, colour); });
}

Framebuffers CurrentFramebuffers() {
    Record& r = record();
    const auto ask = [](auto& known, GLenum name) {
        if (!known.known)
            known.Holds(static_cast<std::decay_t<decltype(known.value)>>(getInteger(name)));
        return known.value;
    };
    Framebuffers f;
    f.read = ask(r.readFramebuffer, GL_READ_FRAMEBUFFER_BINDING);
    f.draw = ask(r.drawFramebuffer, GL_DRAW_FRAMEBUFFER_BINDING);
    f.readBuffer = ask(r.readBuffer, GL_READ_BUFFER);
    f.drawBuffer = ask(r.drawBuffer, GL_DRAW_BUFFER);
    return f;
}

void BindFramebuffer(GLenum target, GLuint name) {
    Record& r = record();
    const bool read = target != GL_DRAW_FRAMEBUFFER, draw = target != GL_READ_FRAMEBUFFER;
    const auto holds = [name](const Known<GLuint>& k) { return k.known && k.value == name; };
    if ((!read || holds(r.readFramebuffer)) && (!draw || holds(r.drawFramebuffer))) return;
    if (read) {
        r.readFramebuffer.Holds(name);
        r.readBuffer.known = false;
    }
    if (draw) {
        r.drawFramebuffer.Holds(name);
        r.drawBuffer.known = false;
    }
    reached(&CallCounts::framebuffers);
    glBindFramebuffer(target, name);
}

void ReadBuffer(GLenum buffer) {
    setEntry(record().readBuffer, buffer, &CallCounts::framebuffers, [&] { glReadBuffer(buffer); });
}

void DrawBuffer(GLenum buffer) {
    setEntry(record().drawBuffer, buffer, &CallCounts::framebuffers, [&] { glDrawBuffer(buffer); });
}

void DeleteFramebuffers(GLsizei count, const GLuint* names) {
    if (count <= 0) return;
    Record& r = record();
    const auto deleted = [&](const Known<GLuint>& k) {
        return k.known && k.value != 0 && std::find(names, names + count, k.value) != names + count;
    };
    if (deleted(r.readFramebuffer)) {
        r.readFramebuffer.value = 0;
        r.readBuffer.known = false;
    }
    if (deleted(r.drawFramebuffer)) {
        r.drawFramebuffer.value = 0;
        r.drawBuffer.known = false;
    }
    glDeleteFramebuffers(count, names);
}

FramebufferCopy::FramebufferCopy()
    : saved_(CurrentFramebuffers()), scissor_(Enabled(GL_SCISSOR_TEST)) {
    Enable(GL_SCISSOR_TEST, false);
}

FramebufferCopy::~FramebufferCopy() {
    BindFramebuffer(GL_READ_FRAMEBUFFER, saved_.read);
    BindFramebuffer(GL_DRAW_FRAMEBUFFER, saved_.draw);
    ReadBuffer(saved_.readBuffer);
    DrawBuffer(saved_.drawBuffer);
    Enable(GL_SCISSOR_TEST, scissor_);
}

void DrawDone() {
    if (colourMaterialMayTrack()) forgetTrackedMaterial();
}

CallCounts& CallsReached() {
    return the_counts;
}

bool& ChecksOn() {
#ifdef NDEBUG
    static bool on = false;
#else
    static bool on = true;
#endif
    return on;
}

void CheckGLState() {
    if (!ChecksOn()) return;
    const Record& r = record();
    for (int i = 0; i < kCapCount; ++i) {
        const Known<bool>& k = r.caps[std::size_t(i)];
        if (k.known && (glIsEnabled(kCaps[i]) == GL_TRUE) != k.value)
            differs("capability " + hexName(kCaps[i]));
    }
    for (int i = 0; i < 3; ++i) {
        const Known<bool>& k = r.arrays[std::size_t(i)];
        if (k.known && (glIsEnabled(kArrays[i]) == GL_TRUE) != k.value)
            differs("client array " + hexName(kArrays[i]));
    }
    if (r.blendFunc.known && (GLenum(getInteger(GL_BLEND_SRC)) != r.blendFunc.value[0] ||
                              GLenum(getInteger(GL_BLEND_DST)) != r.blendFunc.value[1]))
        differs("blend function");
    if (r.blendEquation.known && GLenum(getInteger(GL_BLEND_EQUATION_RGB)) != r.blendEquation.value)
        differs("blend equation");
    if (r.alphaFunc.known && (GLenum(getInteger(GL_ALPHA_TEST_FUNC)) != r.alphaFunc.value.first ||
                              getFloat(GL_ALPHA_TEST_REF) != r.alphaFunc.value.second))
        differs("alpha function");
    if (r.depthMask.known) {
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        if ((mask == GL_TRUE) != r.depthMask.value) differs("depth mask");
    }
    if (r.depthFunc.known && GLenum(getInteger(GL_DEPTH_FUNC)) != r.depthFunc.value)
        differs("depth function");
    if (r.shadeModel.known && GLenum(getInteger(GL_SHADE_MODEL)) != r.shadeModel.value)
        differs("shade model");
    if (r.polygonMode.known) {
        GLint modes[2] = {0, 0};
        glGetIntegerv(GL_POLYGON_MODE, modes);
        if (GLenum(modes[0]) != r.polygonMode.value || GLenum(modes[1]) != r.polygonMode.value)
            differs("polygon mode");
    }
    if (r.matrixMode.known && GLenum(getInteger(GL_MATRIX_MODE)) != r.matrixMode.value)
        differs("matrix mode");
    const bool colourMaterial = glIsEnabled(GL_COLOR_MATERIAL) == GL_TRUE;
    for (int i = 0; i < 3; ++i) {
        const Known<Colour>& k = r.material[std::size_t(i)];
        if (!k.known || (colourMaterial && i < 2)) continue;
        for (GLenum face : {GL_FRONT, GL_BACK}) {
            Colour v{};
            glGetMaterialfv(face, kMaterials[i], v.data());
            if (v != k.value) differs("material " + hexName(kMaterials[i]));
        }
    }
    if (r.shininess.known) {
        GLfloat v = 0;
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &v);
        if (v != r.shininess.value) differs("shininess");
    }
    if (r.lightModelAmbient.known) {
        Colour v{};
        glGetFloatv(GL_LIGHT_MODEL_AMBIENT, v.data());
        if (v != r.lightModelAmbient.value) differs("light model ambient");
    }
    if (r.readFramebuffer.known &&
        GLuint(getInteger(GL_READ_FRAMEBUFFER_BINDING)) != r.readFramebuffer.value)
        differs("read framebuffer binding");
    if (r.drawFramebuffer.known &&
        GLuint(getInteger(GL_DRAW_FRAMEBUFFER_BINDING)) != r.drawFramebuffer.value)
        differs("draw framebuffer binding");
    if (r.readBuffer.known && GLenum(getInteger(GL_READ_BUFFER)) != r.readBuffer.value)
        differs("read buffer");
    if (r.drawBuffer.known && GLenum(getInteger(GL_DRAW_BUFFER)) != r.drawBuffer.value)
        differs("draw buffer");

    const GLint active = getInteger(GL_ACTIVE_TEXTURE);
    const GLint clientActive = getInteger(GL_CLIENT_ACTIVE_TEXTURE);
    if (r.activeUnit.known && capabilities().multitexture &&
        (active != GLint(GL_TEXTURE0 + r.activeUnit.value) ||
         clientActive != GLint(GL_TEXTURE0 + r.activeUnit.value)))
        differs("active texture unit");
    const int units = capabilities().multitexture ? capabilities().textureUnits : 1;
    for (int unit = 0; unit < units; ++unit) {
        const Unit& u = r.units[std::size_t(unit)];
        if (capabilities().multitexture) {
            glActiveTexture(GLenum(GL_TEXTURE0 + unit));
            glClientActiveTexture(GLenum(GL_TEXTURE0 + unit));
        }
        for (int i = 0; i < kUnitCapCount; ++i) {
            const Known<bool>& k = u.caps[std::size_t(i)];
            if (k.known && (glIsEnabled(kUnitCaps[i]) == GL_TRUE) != k.value)
                differs("texture capability " + hexName(kUnitCaps[i]), unit);
        }
        if (u.bound2D.known && GLuint(getInteger(GL_TEXTURE_BINDING_2D)) != u.bound2D.value)
            differs("2D texture binding", unit);
        if (u.boundCube.known &&
            GLuint(getInteger(GL_TEXTURE_BINDING_CUBE_MAP)) != u.boundCube.value)
            differs("cube-map texture binding", unit);
        GLint env = 0;
        if (u.envMode.known) {
            glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
            if (GLenum(env) != u.envMode.value) differs("texture environment mode", unit);
        }
        if (u.combineRGB.known) {
            glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB, &env);
            if (GLenum(env) != u.combineRGB.value) differs("texture combine function", unit);
        }
        if (u.rgbScale.known) {
            GLfloat scale = 0;
            glGetTexEnvfv(GL_TEXTURE_ENV, GL_RGB_SCALE, &scale);
            if (scale != u.rgbScale.value) differs("texture RGB scale", unit);
        }
        for (int i = 0; i < 3; ++i) {
            if (!u.genMode[std::size_t(i)].known) continue;
            GLint mode = 0;
            glGetTexGeniv(kGenCoords[i], GL_TEXTURE_GEN_MODE, &mode);
            if (mode != u.genMode[std::size_t(i)].value) differs("texture generation mode", unit);
        }
        if (u.texCoordArray.known &&
            (glIsEnabled(GL_TEXTURE_COORD_ARRAY) == GL_TRUE) != u.texCoordArray.value)
            differs("texture coordinate array", unit);
        if (u.matrixScale.known) {
            const auto [su, sv] = u.matrixScale.value;
            const bool scaled = su != 0.0f || sv != 0.0f;
            GLfloat want[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            if (scaled) {
                want[0] = su;
                want[5] = sv;
            }
            GLfloat m[16];
            glGetFloatv(GL_TEXTURE_MATRIX, m);
            for (int i = 0; i < 16; ++i)
                if (m[i] != want[i]) differs("texture matrix", unit);
        }
    }
    if (capabilities().multitexture) {
        glActiveTexture(GLenum(active));
        glClientActiveTexture(GLenum(clientActive));
    }
}

} // namespace glstate

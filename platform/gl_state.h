// The fixed-function GL state that more than one place sets: one record of it, owned here.
//
// The 2D layer, the engine's texture uploads and copies, mesh drawing, the camera and light
// passes and the copies between framebuffers set this state through the functions below (GL
// text and texture creation change it only inside a push and pop of the GL attributes). Each
// says what a draw needs;
// the call reaches GL only when it differs from what the record holds, so a draw costs the GL
// driver only the changes since the draw before it. State no function here names (viewport,
// scissor box, fog parameters, light parameters, matrices other than the texture matrix's
// identity) is set with GL calls directly; so is the state of framebuffer objects other than
// their bindings (attachments, completeness).
//
// The record holds "unknown" for anything not yet set through it; a set of an unknown value
// always reaches GL. What changes GL behind the record's back makes it unknown again with one
// call, Invalidate: a new context (Graphics), the 2D/3D hand-over's pushes and pops of the
// attribute and matrix stacks; a program's own GL calls (InvalidateGLState, display.h) go
// through AfterForeignCalls, which also sets the standing state again. A push and pop
// of GL attributes around raw GL calls leaves the record right, as long as no function here is
// called between them.
//
// Every call a function here makes to GL is counted by kind (CallsReached), so that a test can
// say what a draw costs GL.
//
// Checks: while they are on (debug builds, and the GL tests), CheckGLState
// compares every known entry with what GL reports, at each draw of the 2D layer and of a
// surface, and ends the program naming the first that differs, so that a path that changes GL
// behind the record fails a test instead of a picture.
//
// Inside the platform and the engine only: this header is not installed.
#pragma once

#include <GL/glew.h>

#include <string>

// What the open display's GL context offers, found once when it opens (with the one
// initialisation of the extension loader).
struct GLCapabilities {
    int textureUnits = 1;      // fixed-function texture units (at least 1)
    bool multitexture = false; // glActiveTexture and glClientActiveTexture are there
    bool dot3Ext = false;      // the EXT form of the dot-product texture combine
    bool imaging = false;      // the imaging subset, with its colour-matrix stack
    bool accumBuffer = false;  // an accumulation buffer (for anti-aliasing)
    bool alphaBuffer = false;  // a colour buffer that keeps alpha (else reads give alpha 1)
};

namespace glstate {

// The most texture units the record follows; units beyond are neither set nor recorded.
constexpr int kMaxUnits = 8;

// Called by Graphics once the context is current: initialises the extension loader, finds the
// capabilities and empties the record. "" on success, else what the loader reported.
std::string BringUp();
// The capabilities of the open display (defaults while none is open). The one record of what
// the context offers: the engine asks it here.
const GLCapabilities& Capabilities();
// The same to change, for tests without a display (testseam::SetGLCapabilities); the next
// display to open finds its own.
GLCapabilities& CapabilitiesHeld();

// Everything unknown: the next set of each value reaches GL.
void Invalidate();

// The state that stands between draws, which the draws rely on finding there and do not set
// themselves (the 2D layer's view of the display; in the engine's 3D state, that state):
// `apply` sets it again when asked. The display names the 2D layer's when it opens, the engine
// its own (which covers both) in Graphics3D; null names none.
void SetStandingState(void (*apply)());
// After GL calls made outside the engine and the platform (a program's own, InvalidateGLState):
// everything unknown, then the standing state set again, so that the next frame is drawn as if
// those calls had not been made.
void AfterForeignCalls();

// Switches a capability on or off: the blend, alpha, depth, cull, fog, lighting, colour
// material, scissor, stencil and normalisation tests, and GL_LIGHT0..GL_LIGHT7; other
// capabilities are passed to GL unrecorded. Texture targets and coordinate generation are per
// unit: see TextureEnable.
void Enable(GLenum cap, bool on);
// Whether the capability is on: from the record when known, else asked of GL (and recorded).
bool Enabled(GLenum cap);

// Selects the texture unit for both the server-side state and the client-side arrays.
void ActiveTexture(int unit);
// Switches GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or GL_TEXTURE_GEN_S/T/R/Q on the active unit.
void TextureEnable(GLenum cap, bool on);
// Binds the texture to GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP of the active unit.
void BindTexture(GLenum target, GLuint name);
// Deletes the textures; a unit that had one bound holds 0 afterwards, as in GL.
void DeleteTextures(GLsizei count, const GLuint* names);
// The texture environment of the active unit: its mode, the RGB combine function and scale.
void TexEnvMode(GLenum mode);
void TexEnvCombineRGB(GLenum function);
void TexEnvRGBScale(float scale);
// The coordinate generation mode (GL_SPHERE_MAP, GL_REFLECTION_MAP, GL_NORMAL_MAP...) of
// GL_S, GL_T or GL_R on the active unit.
void TexGenMode(GLenum coord, GLint mode);
// The texture-coordinate array of the active unit on or off.
void TexCoordArray(bool on);
// Everything of the unit that can reach a draw switched off: its 2D and cube-map texturing,
// coordinate generation and coordinate array. Selects the unit only when the record does not
// already hold all of that off, so that clearing units that are clear costs no GL call.
void ClearTextureUnit(int unit);
// The texture matrix of the active unit made the identity, or the identity scaled by (u, v, 1)
// when u or v is not 0 (loaded, then scaled, as GL's own calls would make it). A caller that
// loads any other texture matrix calls TextureMatrixSet afterwards. Both leave the matrix mode
// GL_MODELVIEW.
void TextureMatrixIdentity();
void TextureMatrixScale(float u, float v);
void TextureMatrixSet();
// The current matrix mode.
void MatrixMode(GLenum mode);

// GL_VERTEX_ARRAY, GL_NORMAL_ARRAY or GL_COLOR_ARRAY on or off.
void ClientArray(GLenum array, bool on);

void BlendFunc(GLenum source, GLenum destination);
void BlendEquation(GLenum mode);
void AlphaFunc(GLenum function, float reference);
void DepthMask(bool on);
void DepthFunc(GLenum function);
void ShadeModel(GLenum mode);
// The polygon mode of both faces (GL_FILL or GL_LINE).
void PolygonMode(GLenum mode);
// GL_AMBIENT, GL_DIFFUSE or GL_SPECULAR of both faces' material.
void Material(GLenum parameter, const float value[4]);
void MaterialShininess(float shininess);
void LightModelAmbient(const float colour[4]);

// The framebuffers bound for reading and for drawing, and the read and draw buffers of each.
struct Framebuffers {
    GLuint read = 0, draw = 0;
    GLenum readBuffer = GL_BACK, drawBuffer = GL_BACK;
};
// From the record where it knows them, else asked of GL (and recorded).
Framebuffers CurrentFramebuffers();
// Binds the framebuffer object to GL_FRAMEBUFFER (reading and drawing), GL_READ_FRAMEBUFFER or
// GL_DRAW_FRAMEBUFFER. The read and draw buffers belong to the framebuffer bound: a new binding
// makes them unknown.
void BindFramebuffer(GLenum target, GLuint name);
// The read buffer of the framebuffer bound for reading; the draw buffer of the one bound for
// drawing.
void ReadBuffer(GLenum buffer);
void DrawBuffer(GLenum buffer);
// Deletes the framebuffer objects; a binding to one of them falls back to 0, as in GL.
void DeleteFramebuffers(GLsizei count, const GLuint* names);

// Around a copy between the back buffer and another framebuffer: notes the framebuffer
// bindings, read and draw buffers and the scissor test, switches the scissor test off, and when
// it goes sets all of them back as they were, through the record.
class FramebufferCopy {
  public:
    FramebufferCopy();
    ~FramebufferCopy();
    FramebufferCopy(const FramebufferCopy&) = delete;
    FramebufferCopy& operator=(const FramebufferCopy&) = delete;

  private:
    Framebuffers saved_;
    bool scissor_ = false;
};

// After a draw: what the draw itself may have changed (the current colour from a colour
// array, and the material that colour material tracks) becomes unknown.
void DrawDone();

// How many calls of each kind have reached GL through the functions above since the program
// started (or the counts were last cleared): every value the record did not hold already. The
// counts are only ever read by tests and benchmarks (testseam::GLCallsReached).
struct CallCounts {
    long long capabilities = 0;       // Enable, TextureEnable
    long long activeTexture = 0;      // ActiveTexture (both the server and client unit)
    long long textureBinds = 0;       // BindTexture
    long long textureEnvironment = 0; // TexEnvMode, TexEnvCombineRGB, TexEnvRGBScale, TexGenMode
    long long clientArrays = 0;       // ClientArray, TexCoordArray
    long long matrices = 0;           // MatrixMode, the texture matrix loads
    long long fragmentTests = 0;      // BlendFunc, BlendEquation, AlphaFunc, DepthMask, DepthFunc
    long long rasterModes = 0;        // ShadeModel, PolygonMode
    long long lighting = 0;           // Material, MaterialShininess, LightModelAmbient
    long long framebuffers = 0;       // BindFramebuffer, ReadBuffer, DrawBuffer
    long long total = 0;              // all of the above
};
CallCounts& CallsReached();

// While true, CheckGLState compares the record with GL: from the start in debug builds, in
// others once set (the GL tests set it through testseam::SetGLStateChecks).
bool& ChecksOn();
// Compares every known entry of the record with GL when checks are on; a difference ends the
// program through RuntimeError naming the entry.
void CheckGLState();

} // namespace glstate

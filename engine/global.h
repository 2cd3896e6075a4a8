// TGlobal: the engine's world-level settings and type functions, and the engine module's
// initialiser.
//
// TGlobal has no instances. Graphics3D opens the display and sets the engine's GL state; from
// then on the GL attribute, client-attribute and matrix stacks hold one saved level of the 2D
// layer's state. Begin2D hands the GL state back to the 2D layer (pops that level) and End2D
// takes it again (pushes it and re-applies the engine's state). The two calls alternate,
// starting with Begin2D; every engine drawing call runs outside a Begin2D/End2D bracket.
#pragma once

#include "engine/handles.h"
#include "platform/collections.h"

// The engine module's initialiser: creates the engine's type-level lists (entities, cameras,
// lights, textures, texture filters, collision rules) and the jitter table. Runs once per
// process; later calls return at once. Returns 0.
int InitEngineModule();
// True once InitEngineModule has run.
bool EngineModuleReady();
// Puts the engine back to its start state: the type-level lists (entities, cameras, lights,
// textures, collision rules) emptied, the texture filters back to those the engine starts with
// (none, or with a display open the default one GraphicsInit adds), the world settings
// (ambient light, anti-aliasing, lights in use), the last pick, transform and projection
// results, the inspector's state and the octree counters at their initial values. What
// describes the open
// display (the Graphics3D settings) and the GL state stay.
void ResetEngine();

class TGlobal {
  public:
    TGlobal() = delete;

    // Display settings given to Graphics3D. The display's size is the display's own
    // (GraphicsWidth, GraphicsHeight): the engine asks it there.
    static int depth; // forced to 0 (a window) unless mode is 1
    static int mode;
    static int rate;

    // Ambient light colour, 0..1 per channel; applied per surface when meshes are drawn.
    static float ambient_red;
    static float ambient_green;
    static float ambient_blue;

    // Accumulation-buffer anti-aliasing: aa is 1 while it is on, ACSIZE the number of jitter
    // samples per frame, jitter the sample being rendered (0 outside the anti-aliased render)
    // and j the active jitter table in pixels: j[i][0] is the x offset of sample i, j[i][1]
    // its y offset.
    static int aa;
    static int ACSIZE;
    static int jitter;
    static float j[16][2];

    // What the open display offers is glstate::Capabilities(): without an accumulation buffer
    // anti-aliasing is a no-op (see AntiAliasing); without the imaging subset's colour-matrix
    // stack the hand-over saves and restores the other three matrix stacks only; without alpha
    // in the colour buffer copies from it read alpha as 1.

    // Opens the display (bit_depth kept only for screen_mode 1, else a window) with back,
    // depth and accumulation buffers and sets the engine's GL state. Returns 0.
    static int Graphics3D(int width, int height, int bit_depth, int screen_mode, int hertz);
    // Switches anti-aliasing on with 2 (for 1 or 2), 3, 4, 5, 6, 8, 9, 12 or 16 jitter samples;
    // 0 switches it off keeping the sample table; any other value switches it off and sets
    // ACSIZE to 0. Returns 0.
    static int AntiAlias(int samples);
    // Non-zero draws polygons as lines, 0 filled; acts on the current GL state at once.
    static int Wireframe(int enable);
    // Ambient colour, 0..255 per channel; stored divided by 255. Returns 0.
    static int AmbientLight(float red, float green, float blue);
    // The world step (animation.cpp): the collision pass, then every entity whose animation
    // runs (anim and anim_update set) is posed at its current time and advanced by its mode and
    // anim_speed x anim_speed_factor, in entity-list order. Returns 0.
    static int UpdateWorld(float anim_speed_factor);
    // Appends the collision rule (source type, destination type, method, response) to
    // TCollision::list; nothing is validated and a rule may be added twice (collision.cpp).
    // Returns 0.
    static int Collisions(int src_type, int dest_type, int method, int response);
    // Empties TCollision::list. Returns 0.
    static int ClearCollisions();

    // Registers the default texture filter, saves the 2D layer's state, applies the engine's
    // and gives the cameras made before the display its size (TCamera::FollowDisplay). Called
    // by Graphics3D once the display (and with it the GL extension loader) is up. Returns 0.
    static int GraphicsInit();
    // Restores the 2D layer's saved GL state. Returns 0.
    static int Begin2D();
    // Saves the 2D layer's GL state and re-applies the engine's, texturing off. Returns 0.
    static int End2D();
    // Lighting, depth test, fog, culling, scissor test and normalisation on; vertex, colour and
    // normal arrays on. Returns 0.
    static int EnableStates();

    // ---- Rendering (render.cpp) ----

    // Renders every camera of the camera list that is not hidden, in list order; through the
    // accumulation buffer when anti-aliasing is in force (AntiAliasing). Outside the engine's
    // 3D state (no display, or between Begin2D and End2D) it draws nothing. Returns 0.
    static int RenderWorld();
    // The anti-aliased render: every visible camera once per jitter sample, each sample image
    // added to the accumulation buffer with weight 1 / ACSIZE, the mean returned to the colour
    // buffer. The accumulation steps cover the whole display, whatever scissor box the camera
    // passes leave. Returns 0.
    static int RenderWorldAA();
    // What RenderWorld followed by BackBufferToCubeTex leaves in the face cube_face of the
    // cube map (the rectangle of the texture's size at the top left of the display is the
    // face), drawn straight into the face where the display can draw into textures: the back
    // buffer and its depth buffer are then left as they were, and passes that keep the colour
    // or depth buffer draw over what the face, or the depth buffer the texture keeps for its
    // faces, held. With anti-aliasing in force, on a display without framebuffer objects, or
    // for a texture whose faces the display refused to draw into (TTexture::face_fbo_refused),
    // it is RenderWorld and BackBufferToCubeTex. A texture
    // that is not a cube map or a face outside 0..5 draws nothing; otherwise as RenderWorld.
    // Returns 0.
    static int RenderWorldToCubeTex(const TextureRef& texture);
    // One camera pass: the camera's Update, every light's Update, the render list of the meshes
    // that are shown and pass the frustum test (auto-faded, sorted by RenderListAdd), the
    // sprites turned to the camera, then each mesh drawn in list order. target_y: the GL
    // window row of the display that row 0 of the drawing target stands for (0 for the display
    // itself; for a cube-map face, the bottom row of the rectangle BackBufferToCubeTex would
    // copy), passed to the camera's Update. Returns 0.
    static int RenderCamera(const CameraRef& cam, int target_y = 0);
    // fade_alpha of ent from its distance to cam: 0 up to fade_near, rising linearly to 1 at
    // fade_far, 1 beyond. Returns 0.
    static int AutoFade(const CameraRef& cam, const EntityRef& ent);
    // Inserts mesh into the render list at its place: positive orders first (highest first),
    // then opaque meshes of order 0 (the newest first), then translucent ones far to near, then
    // negative orders (highest first). Returns 0.
    static int RenderListAdd(const MeshRef& mesh, TList<MeshRef>& list);
    // Builds the drawing matrix of every sprite of the list for the camera (TSprite). Returns 0.
    static int UpdateSprites(const CameraRef& cam, const TList<MeshRef>& list);

    // True when a frame is to be rendered anti-aliased: aa is on with a sample table and the
    // display has an accumulation buffer.
    static bool AntiAliasing();
    // True while the 2D layer's state is saved on the GL stacks (between End2D, or Graphics3D,
    // and the next Begin2D).
    static bool StateSaved();
};

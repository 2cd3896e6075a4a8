// The command layer as a whole: every command with its argument list and result type, each
// family reaching its operations, forwarding by the receiver's kind with the stated exceptions,
// and null handles, and freed entities, on every command that takes a receiver.
#include "engine/commands.h"
#include "engine/sprite.h"
#include "engine/texture.h"
#include "engine/texture_filter.h"

#include "view_fixture.h"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using E = const EntityRef&;
using C = const CameraRef&;
using L = const LightRef&;
using M = const MeshRef&;
using Sp = const SpriteRef&;
using S = const SurfaceRef&;
using B = const BrushRef&;
using T = const TextureRef&;
using Str = const std::string&;

// Each command: its name, result and argument list, all arguments required.
#define COMMAND(name, result, ...)                                                                 \
    static_assert(std::is_same_v<decltype(&::name), result (*)(__VA_ARGS__)>,                      \
                  #name " does not have its argument list and result")

// World set-up and rendering.
COMMAND(Graphics3D, void, int, int, int, int, int);
COMMAND(AntiAlias, void, int);
COMMAND(Wireframe, void, int);
COMMAND(AmbientLight, void, float, float, float);
COMMAND(RenderWorld, void);
// Cameras.
COMMAND(CreateCamera, CameraRef, E);
COMMAND(CameraViewport, void, C, int, int, int, int);
COMMAND(CameraClsColor, void, C, float, float, float);
COMMAND(CameraClsMode, void, C, int, int);
COMMAND(CameraRange, void, C, float, float);
COMMAND(CameraZoom, void, C, float);
COMMAND(CameraFogMode, void, C, int);
COMMAND(CameraFogColor, void, C, float, float, float);
COMMAND(CameraFogRange, void, C, float, float);
COMMAND(CameraProject, void, C, float, float, float);
COMMAND(ProjectedX, float);
COMMAND(ProjectedY, float);
COMMAND(ProjectedZ, float);
COMMAND(EntityInView, int, E, C);
// Lights.
COMMAND(CreateLight, LightRef, int, E);
COMMAND(LightRange, void, L, float);
COMMAND(LightColor, void, L, float, float, float);
COMMAND(LightConeAngles, void, L, float, float);
// The commands that do nothing.
COMMAND(LightMesh, int, M, float, float, float, float, float, float, float);
COMMAND(MeshesIntersect, int, M, M);
COMMAND(CameraProjMode, int, C);
COMMAND(LoadAnimSeq, int, E, Str);
COMMAND(SetAnimKey, int, E);
COMMAND(AddAnimSeq, int, E);

// Entities: creation and hierarchy.
COMMAND(CreatePivot, PivotRef, E);
COMMAND(CopyEntity, EntityRef, E, E);
COMMAND(FreeEntity, void, E);
COMMAND(EntityParent, void, E, E, int);
COMMAND(GetParent, EntityRef, E);
COMMAND(CountChildren, int, E);
COMMAND(GetChild, EntityRef, E, int);
COMMAND(FindChild, EntityRef, E, Str);
COMMAND(NameEntity, void, E, Str);
COMMAND(EntityName, std::string, E);
COMMAND(EntityClass, std::string, E);
// Entities: transforms.
COMMAND(PositionEntity, void, E, float, float, float, int);
COMMAND(MoveEntity, void, E, float, float, float);
COMMAND(TranslateEntity, void, E, float, float, float, int);
COMMAND(ScaleEntity, void, E, float, float, float, int);
COMMAND(RotateEntity, void, E, float, float, float, int);
COMMAND(TurnEntity, void, E, float, float, float, int);
COMMAND(PointEntity, void, E, E, float);
COMMAND(EntityX, float, E, int);
COMMAND(EntityY, float, E, int);
COMMAND(EntityZ, float, E, int);
COMMAND(EntityPitch, float, E, int);
COMMAND(EntityYaw, float, E, int);
COMMAND(EntityRoll, float, E, int);
COMMAND(EntityDistance, float, E, E);
COMMAND(DeltaYaw, float, E, E);
COMMAND(DeltaPitch, float, E, E);
COMMAND(GetMatElement, float, E, int, int);
COMMAND(TFormPoint, void, float, float, float, E, E);
COMMAND(TFormVector, void, float, float, float, E, E);
COMMAND(TFormNormal, void, float, float, float, E, E);
COMMAND(TFormedX, float);
COMMAND(TFormedY, float);
COMMAND(TFormedZ, float);
COMMAND(VectorYaw, float, float, float, float);
COMMAND(VectorPitch, float, float, float, float);
// Entities: appearance.
COMMAND(EntityColor, void, E, float, float, float);
COMMAND(EntityAlpha, void, E, float);
COMMAND(EntityShininess, void, E, float);
COMMAND(EntityTexture, void, E, T, int, int);
COMMAND(EntityBlend, void, E, int);
COMMAND(EntityFX, void, E, int);
COMMAND(EntityAutoFade, void, E, float, float);
COMMAND(PaintEntity, void, E, B);
COMMAND(EntityOrder, void, E, int);
COMMAND(ShowEntity, void, E);
COMMAND(HideEntity, void, E);
COMMAND(MeshCullRadius, void, E, float);

// Meshes: creating.
COMMAND(CreateMesh, MeshRef, E);
COMMAND(CreateCube, MeshRef, E);
COMMAND(CreateSphere, MeshRef, int, E);
COMMAND(CreateCylinder, MeshRef, int, int, E);
COMMAND(CreateCone, MeshRef, int, int, E);
COMMAND(CopyMesh, MeshRef, M, E);
// Meshes: editing.
COMMAND(AddMesh, void, M, M);
COMMAND(FlipMesh, void, M);
COMMAND(PaintMesh, void, M, B);
COMMAND(FitMesh, void, M, float, float, float, float, float, float, int);
COMMAND(ScaleMesh, void, M, float, float, float);
COMMAND(RotateMesh, void, M, float, float, float);
COMMAND(PositionMesh, void, M, float, float, float);
COMMAND(UpdateNormals, void, M);
// Meshes: queries and surfaces.
COMMAND(MeshWidth, float, M);
COMMAND(MeshHeight, float, M);
COMMAND(MeshDepth, float, M);
COMMAND(CountSurfaces, int, M);
COMMAND(GetSurface, SurfaceRef, M, int);
COMMAND(FindSurface, SurfaceRef, M, B);
COMMAND(CreateSurface, SurfaceRef, M, B);
// Surfaces.
COMMAND(PaintSurface, void, S, B);
COMMAND(ClearSurface, void, S, int, int);
COMMAND(AddVertex, int, S, float, float, float, float, float, float);
COMMAND(AddTriangle, int, S, int, int, int);
COMMAND(CountVertices, int, S);
COMMAND(CountTriangles, int, S);
COMMAND(VertexCoords, void, S, int, float, float, float);
COMMAND(VertexColor, void, S, int, float, float, float, float);
COMMAND(VertexNormal, void, S, int, float, float, float);
COMMAND(VertexTexCoords, void, S, int, float, float, float, int);
COMMAND(VertexX, float, S, int);
COMMAND(VertexY, float, S, int);
COMMAND(VertexZ, float, S, int);
COMMAND(VertexRed, float, S, int);
COMMAND(VertexGreen, float, S, int);
COMMAND(VertexBlue, float, S, int);
COMMAND(VertexAlpha, float, S, int);
COMMAND(VertexU, float, S, int, int);
COMMAND(VertexV, float, S, int, int);
COMMAND(TriangleVertex, int, S, int, int);
COMMAND(TriangleNX, float, S, int);
COMMAND(TriangleNY, float, S, int);
COMMAND(TriangleNZ, float, S, int);
// Sprites.
COMMAND(CreateSprite, SpriteRef, E);
COMMAND(LoadSprite, SpriteRef, Str, int, E);
COMMAND(RotateSprite, void, Sp, float);
COMMAND(ScaleSprite, void, Sp, float, float);
COMMAND(HandleSprite, void, Sp, float, float);
COMMAND(SpriteViewMode, void, Sp, int);

// Textures.
COMMAND(CreateTexture, TextureRef, int, int, int, int);
COMMAND(LoadTexture, TextureRef, Str, int);
COMMAND(LoadAnimTexture, TextureRef, Str, int, int, int, int, int);
COMMAND(FreeTexture, void, T);
COMMAND(TextureBlend, void, T, int);
COMMAND(TextureCoords, void, T, int);
COMMAND(ScaleTexture, void, T, float, float);
COMMAND(PositionTexture, void, T, float, float);
COMMAND(RotateTexture, void, T, float);
COMMAND(TextureWidth, int, T);
COMMAND(TextureHeight, int, T);
COMMAND(TextureName, std::string, T);
COMMAND(GetBrushTexture, TextureRef, B, int);
COMMAND(TextureFilter, void, Str, int);
COMMAND(ClearTextureFilters, void);
COMMAND(SetCubeFace, void, T, int);
COMMAND(SetCubeMode, void, T, int);
COMMAND(BackBufferToTex, void, T);
COMMAND(DepthBufferToTex, void, T);
COMMAND(BackBufferToCubeTex, void, T);
// Brushes.
COMMAND(CreateBrush, BrushRef, float, float, float);
COMMAND(LoadBrush, BrushRef, Str, int, float, float);
COMMAND(FreeBrush, void, B);
COMMAND(BrushColor, void, B, float, float, float);
COMMAND(BrushAlpha, void, B, float);
COMMAND(BrushShininess, void, B, float);
COMMAND(BrushTexture, void, B, T, int);
COMMAND(BrushBlend, void, B, int);
COMMAND(BrushFX, void, B, int);
COMMAND(GetEntityBrush, BrushRef, E);
COMMAND(GetSurfaceBrush, BrushRef, S);

#undef COMMAND

class CommandLayerTest : public ViewTest {};

TEST_F(CommandLayerTest, WorldCommandsReachTheWorldSettings) {
    const float ambient[3] = {TGlobal::ambient_red, TGlobal::ambient_green, TGlobal::ambient_blue};
    const int aa = TGlobal::aa, samples = TGlobal::ACSIZE;

    AmbientLight(255, 51, 0);
    EXPECT_FLOAT_EQ(TGlobal::ambient_red, 1.0f);
    EXPECT_FLOAT_EQ(TGlobal::ambient_green, 0.2f);
    EXPECT_EQ(TGlobal::ambient_blue, 0.0f);
    AntiAlias(1);
    EXPECT_EQ(TGlobal::aa, 1);
    EXPECT_EQ(TGlobal::ACSIZE, 2) << "1 selects 2 samples";
    AntiAlias(7);
    EXPECT_EQ(TGlobal::aa, 0);

    TGlobal::ambient_red = ambient[0];
    TGlobal::ambient_green = ambient[1];
    TGlobal::ambient_blue = ambient[2];
    TGlobal::aa = aa;
    TGlobal::ACSIZE = samples;
}

TEST_F(CommandLayerTest, CameraAndLightCommandsDispatchByKind) {
    CameraRef cam = CreateCamera(nullptr);
    EXPECT_EQ(cam->vy, 0);
    EXPECT_EQ(cam->vheight, 600) << "a new camera's viewport is the whole display";
    CameraViewport(cam, 0, 0, 256, 256);
    EXPECT_EQ(cam->vy, 344) << "stored from the bottom of the 800x600 display";

    // CameraProject takes world z (into the screen) and hands GL the stored, negated z.
    CameraViewport(cam, 0, 0, 800, 600);
    viewtest::loadView(*cam);
    CameraProject(cam, 0, 0, 10);
    EXPECT_NEAR(ProjectedX(), 400.0f, 1e-3f);
    EXPECT_NEAR(ProjectedY(), 300.0f, 1e-3f);
    EXPECT_GT(ProjectedZ(), 0.0f);
    EXPECT_LT(ProjectedZ(), 1.0f);
    TCamera::projected_x = 12.5f;
    EXPECT_EQ(ProjectedX(), 12.5f) << "the type-level result, whoever wrote it";

    // The entity commands run the receiver's own operation: a camera copied and freed through
    // an entity handle joins and leaves the camera list, a light its light list and count.
    const EntityRef as_entity = cam;
    EntityRef copy = CopyEntity(as_entity, nullptr);
    ASSERT_TRUE(std::dynamic_pointer_cast<TCamera>(copy));
    EXPECT_EQ(cameras(), (std::vector<EntityRef>{cam, copy}));
    FreeEntity(as_entity);
    EXPECT_EQ(cameras(), std::vector<EntityRef>{copy});

    const EntityRef light = CreateLight(3, nullptr);
    EntityRef light_copy = CopyEntity(light, nullptr);
    ASSERT_TRUE(std::dynamic_pointer_cast<TLight>(light_copy));
    EXPECT_EQ(TLight::no_lights, 2);
    FreeEntity(light);
    EXPECT_EQ(TLight::no_lights, 1);
    EXPECT_EQ(TLight::light_list->First(), light_copy);
}

TEST_F(CommandLayerTest, StubsAcceptTheirArgumentsAndChangeNothing) {
    MeshRef cube = CreateCube(nullptr);
    CameraRef cam = CreateCamera(nullptr);
    const TMatrix before = cube->mat;
    const float first_x = VertexX(GetSurface(cube, 1), 0);
    const float zoom = cam->zoom;
    EXPECT_EQ(LightMesh(cube, 255, 255, 255, 10, 0, 0, 0), 0);
    EXPECT_EQ(MeshesIntersect(cube, cube), 0);
    EXPECT_EQ(CameraProjMode(cam), 0);
    EXPECT_EQ(LoadAnimSeq(cube, "walk.b3d"), 0);
    EXPECT_EQ(SetAnimKey(cube), 0);
    EXPECT_EQ(AddAnimSeq(cube), 0);
    expectMatrixNear(cube->mat, before, 0.0f);
    EXPECT_EQ(VertexX(GetSurface(cube, 1), 0), first_x);
    EXPECT_EQ(cube->no_seqs, 0);
    EXPECT_EQ(cam->zoom, zoom);
    EXPECT_EQ(listed(), (std::vector<EntityRef>{cube, cam}));
}

TEST_F(CommandLayerTest, EntityTextureAndPaintEntityActOnMeshesAndSpritesOnly) {
    TextureRef tex = std::make_shared<TTexture>();
    BrushRef paint = CreateBrush(0, 0, 255);
    PivotRef pivot = CreatePivot(nullptr);
    CameraRef cam = CreateCamera(nullptr);
    LightRef light = CreateLight(1, nullptr);
    MeshRef mesh = CreateMesh(nullptr);
    SpriteRef sprite = CreateSprite(nullptr);

    for (const EntityRef& e : std::vector<EntityRef>{pivot, cam, light}) {
        EntityTexture(e, tex, 0, 1);
        PaintEntity(e, paint);
        EXPECT_EQ(e->brush->no_texs, 0) << EntityClass(e);
        EXPECT_EQ(e->brush->tex[1], nullptr) << EntityClass(e);
        EXPECT_EQ(e->brush->red, 1.0f) << EntityClass(e);
    }
    for (const EntityRef& e : std::vector<EntityRef>{mesh, sprite}) {
        EntityTexture(e, tex, 0, 1);
        EXPECT_EQ(e->brush->tex[1], tex) << EntityClass(e);
        PaintEntity(e, paint);
        EXPECT_EQ(e->brush->red, 0.0f) << EntityClass(e);
        EXPECT_EQ(e->brush->tex[1], nullptr) << "painted over by the brush's layers";
    }
}

TEST_F(CommandLayerTest, EntityMeshAndSurfaceCommandsReachTheirOperations) {
    PivotRef parent = CreatePivot(nullptr);
    PositionEntity(parent, 10, 0, 0, 0);
    MeshRef mesh = CreateMesh(parent);
    // The setters take world space only for global 1, the getters for any non-zero value.
    PositionEntity(mesh, 15, 0, 0, 2);
    EXPECT_FLOAT_EQ(EntityX(mesh, 0), 15.0f);
    EXPECT_FLOAT_EQ(EntityX(mesh, 2), 25.0f);
    EXPECT_FLOAT_EQ(GetMatElement(mesh, 3, 0), 25.0f);
    PositionEntity(mesh, 15, 0, 0, 1);
    EXPECT_FLOAT_EQ(EntityX(mesh, -1), 15.0f);
    EXPECT_EQ(GetChild(parent, 1), mesh);
    EXPECT_EQ(EntityClass(CreateSprite(nullptr)), "Sprite");

    // The surface commands, and the mesh-editing commands on what they built.
    SurfaceRef s = CreateSurface(mesh, nullptr);
    AddVertex(s, 0, 0, 4, 0, 0, 0);
    AddVertex(s, 1, 0, 4, 0, 0, 0);
    EXPECT_EQ(AddVertex(s, 0, 1, 4, 0, 0, 0), 2);
    EXPECT_EQ(AddTriangle(s, 0, 1, 2), 1) << "the count, not the index";
    EXPECT_EQ(CountVertices(s), 3) << "a surface's own count";
    FlipMesh(mesh);
    EXPECT_EQ(TriangleVertex(s, 0, 0), 2);
    PositionMesh(mesh, 0, 0, 1);
    EXPECT_EQ(VertexZ(s, 0), 5.0f);
    MeshRef copy = CopyMesh(mesh, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(CountSurfaces(copy), 1);
    EXPECT_NE(GetSurface(copy, 1), s);
    AddMesh(copy, mesh);
    EXPECT_EQ(CountVertices(s), 6);
    ScaleMesh(mesh, 2, 1, 1);
    EXPECT_FLOAT_EQ(MeshWidth(mesh), 2.0f);

    EXPECT_EQ(CreateSphere(1, nullptr), nullptr);
    EXPECT_EQ(CreateCylinder(2, 0, nullptr), nullptr);
    EXPECT_EQ(CreateCone(101, 1, nullptr), nullptr);
}

TEST_F(CommandLayerTest, TextureAndBrushCommandsReachTheirOperations) {
    TextureRef tex = std::make_shared<TTexture>();
    tex->no_frames = 3;
    tex->width = 64;
    tex->height = 32;
    tex->file_abs = "/media/sky.png";
    TextureBlend(tex, ADDTEXTUREBLEND);
    TextureCoords(tex, 1);
    ScaleTexture(tex, 2, 4);
    PositionTexture(tex, 0.5f, 0.25f);
    RotateTexture(tex, 30);
    SetCubeFace(tex, 4);
    SetCubeMode(tex, 2);
    EXPECT_EQ(tex->blend, 3);
    EXPECT_EQ(tex->coords, 1);
    EXPECT_EQ(tex->u_scale, 0.5f);
    EXPECT_EQ(tex->v_scale, 0.25f);
    EXPECT_EQ(tex->u_pos, -0.5f);
    EXPECT_EQ(tex->angle, 30.0f);
    EXPECT_EQ(tex->cube_face, 4);
    EXPECT_EQ(tex->cube_mode, 2);
    EXPECT_EQ(TextureWidth(tex), 64);
    EXPECT_EQ(TextureHeight(tex), 32);
    EXPECT_EQ(TextureName(tex), "/media/sky.png");

    // The brush of a surface comes back as a copy.
    BrushRef brush = CreateBrush(255, 0, 0);
    BrushTexture(brush, tex, 1);
    SurfaceRef s = CreateSurface(CreateMesh(nullptr), brush);
    BrushRef surface_copy = GetSurfaceBrush(s);
    EXPECT_NE(surface_copy, brush);
    EXPECT_EQ(TBrush::CompareBrushes(surface_copy, brush), 1);

    const auto saved_filters = TTextureFilter::filter_list;
    TTextureFilter::filter_list = CreateList<TextureFilterRef>();
    TextureFilter("_sky", CLAMPUTEXTURE);
    TextureFilter("", COLORTEXTURE | MIPMAPPEDTEXTURE);
    ASSERT_EQ(TTextureFilter::filter_list->Count(), 2);
    EXPECT_EQ(TTextureFilter::filter_list->First()->text, "_sky");
    ClearTextureFilters();
    EXPECT_EQ(TTextureFilter::filter_list->Count(), 0);
    TTextureFilter::filter_list = saved_filters;
}

// A command called with null handles; true when it answered with 0, 0.0, "" or null (acting
// commands answer nothing and count as true once they have returned).
struct NullCase {
    const char* call;
    std::function<bool()> run;
};

template <class R> bool none(const R& r) {
    if constexpr (std::is_same_v<R, std::string>) {
        return r.empty();
    } else if constexpr (std::is_arithmetic_v<R>) {
        return r == R(0);
    } else {
        return r == nullptr;
    }
}

#define ACTS(...)                                                                                  \
    NullCase {                                                                                     \
#__VA_ARGS__, [&] { __VA_ARGS__; return true; }                                                    \
    }
#define ANSWERS_NONE(...)                                                                          \
    NullCase {                                                                                     \
#__VA_ARGS__, [&] { return none(__VA_ARGS__); }                                            \
    }

TEST_F(CommandLayerTest, NullAndFreedHandlesOnEveryReceiverAreSafeNoOps) {
    // A small scene that every command must leave exactly as it is.
    MeshRef mesh = CreateCube(nullptr);
    PositionEntity(mesh, 1, 2, 3, 0);
    CameraRef cam = CreateCamera(nullptr);
    LightRef light = CreateLight(2, nullptr);
    SurfaceRef surf = GetSurface(mesh, 1);
    BrushRef brush = CreateBrush(10, 20, 30);
    TextureRef tex = std::make_shared<TTexture>();
    const TMatrix mat = mesh->mat;
    const BrushRef mesh_brush = mesh->brush->Copy();
    const std::vector<std::uint16_t> tris = surf->tris;
    const std::vector<float> coords = surf->vert_coords;

    // Null handles first; then the same calls on entities of each kind that have been freed.
    EntityRef e;
    CameraRef c;
    LightRef l;
    MeshRef m;
    SpriteRef sp;
    const SurfaceRef s;
    const BrushRef b;
    const TextureRef t;

    const std::vector<NullCase> cases = {
        // Cameras and lights.
        ACTS(CameraViewport(c, 0, 0, 10, 10)),
        ACTS(CameraClsColor(c, 1, 2, 3)),
        ACTS(CameraClsMode(c, KEEPBUFFER, CLEARBUFFER)),
        ACTS(CameraRange(c, 1, 2)),
        ACTS(CameraZoom(c, 2)),
        ACTS(CameraFogMode(c, LINEARFOG)),
        ACTS(CameraFogColor(c, 1, 2, 3)),
        ACTS(CameraFogRange(c, 1, 2)),
        ACTS(CameraProject(c, 1, 2, 3)),
        ANSWERS_NONE(EntityInView(mesh, c)),
        ANSWERS_NONE(EntityInView(e, cam)),
        ANSWERS_NONE(EntityInView(e, c)),
        ACTS(LightRange(l, 5)),
        ACTS(LightColor(l, 1, 2, 3)),
        ACTS(LightConeAngles(l, 10, 20)),
        // The commands that do nothing.
        ANSWERS_NONE(LightMesh(m, 1, 2, 3, 4, 5, 6, 7)),
        ANSWERS_NONE(MeshesIntersect(m, m)),
        ANSWERS_NONE(CameraProjMode(c)),
        ANSWERS_NONE(LoadAnimSeq(e, "")),
        ANSWERS_NONE(SetAnimKey(e)),
        ANSWERS_NONE(AddAnimSeq(e)),
        // Entities.
        ANSWERS_NONE(CopyEntity(e, mesh)),
        ACTS(FreeEntity(e)),
        ACTS(EntityParent(e, mesh, 1)),
        ANSWERS_NONE(GetParent(e)),
        ANSWERS_NONE(CountChildren(e)),
        ANSWERS_NONE(GetChild(e, 1)),
        ANSWERS_NONE(FindChild(e, "")),
        ACTS(NameEntity(e, "x")),
        ANSWERS_NONE(EntityName(e)),
        ANSWERS_NONE(EntityClass(e)),
        ACTS(PositionEntity(e, 1, 2, 3, 1)),
        ACTS(MoveEntity(e, 1, 2, 3)),
        ACTS(TranslateEntity(e, 1, 2, 3, 1)),
        ACTS(ScaleEntity(e, 2, 2, 2, 1)),
        ACTS(RotateEntity(e, 1, 2, 3, 1)),
        ACTS(TurnEntity(e, 1, 2, 3, 1)),
        ACTS(PointEntity(e, mesh, 0)),
        ACTS(PointEntity(mesh, e, 0)),
        ANSWERS_NONE(EntityX(e, 1)),
        ANSWERS_NONE(EntityY(e, 0)),
        ANSWERS_NONE(EntityZ(e, 1)),
        ANSWERS_NONE(EntityPitch(e, 1)),
        ANSWERS_NONE(EntityYaw(e, 0)),
        ANSWERS_NONE(EntityRoll(e, 1)),
        ANSWERS_NONE(EntityDistance(e, mesh)),
        ANSWERS_NONE(EntityDistance(mesh, e)),
        ANSWERS_NONE(DeltaYaw(e, mesh)),
        ANSWERS_NONE(DeltaYaw(mesh, e)),
        ANSWERS_NONE(DeltaPitch(e, mesh)),
        ANSWERS_NONE(DeltaPitch(mesh, e)),
        ANSWERS_NONE(GetMatElement(e, 3, 0)),
        ACTS(EntityColor(e, 1, 2, 3)),
        ACTS(EntityAlpha(e, 0.5f)),
        ACTS(EntityShininess(e, 1)),
        ACTS(EntityTexture(e, tex, 0, 0)),
        ACTS(EntityTexture(mesh, t, 0, 0)),
        ACTS(EntityBlend(e, ADDBRUSHBLEND)),
        ACTS(EntityFX(e, FULLBRIGHTFX)),
        ACTS(EntityAutoFade(e, 1, 2)),
        ACTS(PaintEntity(e, brush)),
        ACTS(PaintEntity(mesh, b)),
        ACTS(EntityOrder(e, 1)),
        ACTS(ShowEntity(e)),
        ACTS(HideEntity(e)),
        ACTS(MeshCullRadius(e, 3)),
        // Meshes.
        ANSWERS_NONE(CopyMesh(m, mesh)),
        ACTS(AddMesh(m, mesh)),
        ACTS(AddMesh(mesh, m)),
        ACTS(FlipMesh(m)),
        ACTS(PaintMesh(m, brush)),
        ACTS(PaintMesh(mesh, b)),
        ACTS(FitMesh(m, 0, 0, 0, 1, 1, 1, 1)),
        ACTS(ScaleMesh(m, 2, 2, 2)),
        ACTS(RotateMesh(m, 1, 2, 3)),
        ACTS(PositionMesh(m, 1, 2, 3)),
        ACTS(UpdateNormals(m)),
        ANSWERS_NONE(MeshWidth(m)),
        ANSWERS_NONE(MeshHeight(m)),
        ANSWERS_NONE(MeshDepth(m)),
        ANSWERS_NONE(CountSurfaces(m)),
        ANSWERS_NONE(GetSurface(m, 1)),
        ANSWERS_NONE(FindSurface(m, brush)),
        ANSWERS_NONE(CreateSurface(m, brush)),
        // Surfaces.
        ACTS(PaintSurface(s, brush)),
        ACTS(ClearSurface(s, 1, 1)),
        ANSWERS_NONE(AddVertex(s, 1, 2, 3, 0, 0, 0)),
        ANSWERS_NONE(AddTriangle(s, 0, 1, 2)),
        ANSWERS_NONE(CountVertices(s)),
        ANSWERS_NONE(CountTriangles(s)),
        ACTS(VertexCoords(s, 0, 1, 2, 3)),
        ACTS(VertexColor(s, 0, 1, 2, 3, 1)),
        ACTS(VertexNormal(s, 0, 1, 2, 3)),
        ACTS(VertexTexCoords(s, 0, 1, 2, 0, 1)),
        ANSWERS_NONE(VertexX(s, 0)),
        ANSWERS_NONE(VertexY(s, 0)),
        ANSWERS_NONE(VertexZ(s, 0)),
        ANSWERS_NONE(VertexRed(s, 0)),
        ANSWERS_NONE(VertexGreen(s, 0)),
        ANSWERS_NONE(VertexBlue(s, 0)),
        ANSWERS_NONE(VertexAlpha(s, 0)),
        ANSWERS_NONE(VertexU(s, 0, 0)),
        ANSWERS_NONE(VertexV(s, 0, 1)),
        ANSWERS_NONE(TriangleVertex(s, 0, 0)),
        ANSWERS_NONE(TriangleNX(s, 0)),
        ANSWERS_NONE(TriangleNY(s, 0)),
        ANSWERS_NONE(TriangleNZ(s, 0)),
        // Sprites.
        ACTS(RotateSprite(sp, 1)),
        ACTS(ScaleSprite(sp, 1, 2)),
        ACTS(HandleSprite(sp, 1, 1)),
        ACTS(SpriteViewMode(sp, FREESPRITE)),
        // Textures and brushes.
        ACTS(FreeTexture(t)),
        ACTS(TextureBlend(t, REPLACETEXTUREBLEND)),
        ACTS(TextureCoords(t, 1)),
        ACTS(ScaleTexture(t, 2, 2)),
        ACTS(PositionTexture(t, 1, 1)),
        ACTS(RotateTexture(t, 1)),
        ANSWERS_NONE(TextureWidth(t)),
        ANSWERS_NONE(TextureHeight(t)),
        ANSWERS_NONE(TextureName(t)),
        ANSWERS_NONE(GetBrushTexture(b, 0)),
        ACTS(SetCubeFace(t, 1)),
        ACTS(SetCubeMode(t, 1)),
        ACTS(BackBufferToTex(t)),
        ACTS(DepthBufferToTex(t)),
        ACTS(BackBufferToCubeTex(t)),
        ACTS(FreeBrush(b)),
        ACTS(BrushColor(b, 1, 2, 3)),
        ACTS(BrushAlpha(b, 1)),
        ACTS(BrushShininess(b, 1)),
        ACTS(BrushTexture(b, tex, 0)),
        ACTS(BrushBlend(b, ALPHABRUSHBLEND)),
        ACTS(BrushFX(b, FULLBRIGHTFX)),
        ANSWERS_NONE(GetEntityBrush(e)),
        ANSWERS_NONE(GetSurfaceBrush(s)),
    };
    for (const NullCase& nc : cases) EXPECT_TRUE(nc.run()) << nc.call;

    m = CreateCube(nullptr);
    NameEntity(m, "freed");
    CreatePivot(m);
    e = m;
    c = CreateCamera(m);
    l = CreateLight(1, nullptr);
    sp = CreateSprite(nullptr);
    for (const EntityRef& freed : std::vector<EntityRef>{m, l, sp}) FreeEntity(freed);
    for (const NullCase& nc : cases) EXPECT_TRUE(nc.run()) << nc.call << " on a freed entity";

    // Nothing in the scene moved.
    EXPECT_EQ(listed(), (std::vector<EntityRef>{mesh, cam, light}));
    EXPECT_EQ(cameras(), std::vector<EntityRef>{cam});
    EXPECT_EQ(TLight::no_lights, 1);
    expectMatrixNear(mesh->mat, mat, 0.0f);
    EXPECT_EQ(TBrush::CompareBrushes(mesh->brush, mesh_brush), 1);
    EXPECT_EQ(CountSurfaces(mesh), 1);
    EXPECT_EQ(surf->tris, tris);
    EXPECT_EQ(surf->vert_coords, coords);
    EXPECT_EQ(CountChildren(mesh), 0);
    EXPECT_EQ(mesh->EntityName(), "");
}

#undef ACTS
#undef ANSWERS_NONE

} // namespace

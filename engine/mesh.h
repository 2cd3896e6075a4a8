// TMesh: the entity that carries geometry.
//
// A mesh holds an ordered list of surfaces (engine/surface.h), each with its own vertices,
// triangles and optional brush, plus the bookkeeping that bounds, animation, sprites and
// collision need.
//
// Sharing
// - `surf_list` is shared by a mesh and its copies (CopyEntity hands the copy the same list
//   object): they draw, pick, collide and edit the same surfaces. `no_surfs` counts only the
//   surfaces created through this mesh object, so CountSurfaces, GetSurface-based counts and
//   UpdateNormals of a copy ignore surfaces the other side added after the copy was made;
//   GetSurface and GetBounds see the whole list.
// - `anim_surf_list` (posed vertex positions written by skinning, one per surface of
//   `surf_list` in the same order) and `bones` belong to each mesh.
//
// Bounds
// - GetBounds is the one place that recomputes the box (`min_x` .. `max_z`, command-layer
//   coordinates, z not negated) and the cull radius; every reader calls it first. It recomputes
//   when the mesh is flagged dirty or when any surface of its list has changed since this mesh
//   last computed, so a copy's box and radius follow the shared surfaces (see TSurface's
//   `revision`). A negative cull radius is fixed (MeshCullRadius) and kept.
//
// Coordinates follow the surfaces: callers give and get left-handed values.
#pragma once

#include "engine/entity.h"
#include "engine/handles.h"
#include "engine/math/matrix.h"
#include "engine/surface.h"
#include "platform/collections.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TOctree;

// Where the vertices of a model file's vertex list landed in a loaded mesh's surfaces: each
// surface holds only the vertices its own triangles use, so one listed vertex can sit in several
// surfaces (or in none). Bones name vertices by their number in the file's list.
struct TSkinMap {
    struct Place {
        int surface = 0; // index in surf_list (and anim_surf_list)
        int vertex = 0;  // the vertex's number in that surface
    };
    // The places of listed vertex i are places[first[i] .. first[i + 1]).
    std::vector<int> first;
    std::vector<Place> places;

    // Number of listed vertices.
    int Count() const { return first.empty() ? 0 : int(first.size()) - 1; }
};

class TMesh : public TEntity {
  public:
    using SurfaceList = TList<SurfaceRef>;
    using SurfaceListRef = std::shared_ptr<SurfaceList>;
    using BoneList = TList<BoneRef>;

    // ---- Data ----

    // Bounding box in the mesh's own coordinates as the commands give them; kept by GetBounds.
    float min_x = 0.0f, min_y = 0.0f, min_z = 0.0f;
    float max_x = 0.0f, max_y = 0.0f, max_z = 0.0f;
    // Surfaces created through this mesh object; carried over by CopyEntity.
    int no_surfs = 0;
    // The surfaces in creation order; shared with copies. Never null.
    SurfaceListRef surf_list = CreateList<SurfaceRef>();
    // Animated-vertex surfaces (vertex positions only); filled by the model loader.
    SurfaceList anim_surf_list;
    // Bones of an animated hierarchy, each after its parent bone.
    BoneList bones;
    // How the bones' vertex numbers reach the surfaces of a loaded mesh; shared by copies. Null
    // for a mesh built by hand, whose surfaces all hold every vertex in one numbering.
    std::shared_ptr<const TSkinMap> skin_map;
    // The matrix a sprite is drawn with; all elements 0 until set.
    TMatrix sprite_mat;
    // Triangle octree for picking and collisions; shared by copies; null when none.
    std::shared_ptr<TOctree> octree;
    // 1 = the box must be recomputed at the next GetBounds.
    int bounds_dirty = 1;
    // Newest surface revision the box was computed from (see GetBounds).
    std::uint64_t bounds_revision = 0;

    // ---- Creation, copying, freeing ----

    // A new empty mesh (class "Mesh") under parent (null: at the top level), in entity_list,
    // with its matrix built.
    static MeshRef CreateMesh(const EntityRef& parent);
    // A new mesh with every field at its default: no class name, no parent, in no list, matrix
    // all zero. For the engine's own working meshes (model loading, collapsing).
    static MeshRef New();
    // A copy of the mesh and its descendants under parent: shares the surfaces and the octree,
    // copies the brush, the placement, fade, animation, collision and pick settings and the box,
    // gets its own animated surfaces (positions copied) and its own bone list (the copied bones
    // among its descendants). The copy is shown.
    EntityRef CopyEntity(const EntityRef& parent) override;
    // Draws the mesh for the current camera pass (mesh_draw.cpp): surface by surface, the
    // entity brush combined with the surface brush, every piece of GL state set again for each
    // surface. A sprite is drawn with `sprite_mat`, any other mesh with `mat`. A surface whose
    // triangles name a vertex its arrays do not hold draws nothing. Needs the display and the
    // engine's 3D state; without a display it does nothing. Returns 0.
    int Update() override;
    using TEntity::AsMesh;
    TMesh* AsMesh() override { return this; }
    // The mesh as a sprite, or null: a dynamic_cast to TSprite for one virtual call.
    virtual TSprite* AsSprite() { return nullptr; }
    // The matrix Update draws with: `mat`, or `sprite_mat` for a sprite.
    virtual const TMatrix& DrawMatrix() const { return mat; }
    // TEntity::FreeEntity, then empties `anim_surf_list` and `bones`. The surfaces and the
    // octree stay, for any copy that shares them. Returns 0.
    int FreeEntity() override;

    // ---- Primitives (mesh_primitives.cpp) ----

    // 2x2x2 cube: one surface, 24 vertices with face normals and texture coordinates, 12
    // triangles.
    static MeshRef CreateCube(const EntityRef& parent);
    // Sphere of radius 1 with 2 x segments steps around the y axis; null (nothing created) for
    // segments outside 2..100. A surface holds at most 65,536 vertices: above 90 segments the
    // vertices past that limit, and the triangles that use them, are left out.
    static MeshRef CreateSphere(int segments, const EntityRef& parent);
    // Cylinder of radius 1 from y = -1 to 1: side surface, plus a cap surface when solid is 1;
    // null for segments outside 3..100.
    static MeshRef CreateCylinder(int segments, int solid, const EntityRef& parent);
    // Cone of radius 1 from y = -1 to its tip at y = 1: side surface, plus a base surface when
    // solid is 1; null for segments outside 3..100.
    static MeshRef CreateCone(int segments, int solid, const EntityRef& parent);

    // ---- Normals (mesh_normals.cpp) ----

    // Gives every vertex of the first CountSurfaces() surfaces the normalised, area-weighted sum
    // of the face normals of the triangles of its surface that have a corner at exactly its
    // position. A position whose sum has length 0 gets the normal (0, 0, 0). Returns 0.
    int UpdateNormals();
    // The same through the surface accessors. Returns 0.
    int UpdateNormals0();

    // ---- Editing (mesh_edit.cpp) ----
    // These work on the mesh's own surfaces only, never on its children or on the entity's
    // position, rotation or scale. Those that go by surface number visit surfaces 1 ..
    // CountSurfaces(); FlipMesh and PaintMesh walk the whole of `surf_list`. Positions and
    // normals are read and written through the surface operations, in command coordinates.

    // CreateMesh(parent), then AddMesh into it: every surface becomes a surface of the new mesh
    // with its own arrays and its own copy of the surface brush. Nothing of this entity's own
    // state (brush, transform, children) is copied.
    virtual MeshRef CopyMesh(const EntityRef& parent);
    // Appends copies of this mesh's surfaces to dest. Each source surface is merged into the
    // first surface that dest had when the call began whose brush compares equal
    // (TBrush::CompareBrushes; two absent brushes are equal): its vertices are appended and its
    // triangles added with their indices raised by that surface's former vertex count. A
    // source surface without such a partner becomes a new surface of dest with a copy of the
    // source brush (none when the source has none). Vertices that would pass a surface's
    // 65,536-vertex limit, and the triangles that use them, are left out. A null dest changes
    // nothing. Returns 0.
    virtual int AddMesh(const MeshRef& dest);
    // Reverses the winding of every triangle (swaps its first and last stored index); normals,
    // bounds and changed flags are left alone. Returns 0.
    virtual int FlipMesh();
    // Moves and scales the vertices into the box at (x, y, z) of size width x height x depth:
    // each axis maps the vertices' extent onto the box's. With uniform 1 the axis with the
    // largest ratio of extent to wanted size sets one scale for all three, and the other axes
    // are placed relative to its minimum. Each normal is multiplied per axis by those ratios,
    // not renormalised. Degenerate input is defined rather than divided by zero: on an axis
    // whose vertices all share one coordinate they go to the box's origin on that axis; a
    // wanted size of 0 makes that axis's ratio infinite (0 when the extent is 0 too), and a
    // ratio that is not finite leaves that normal component unscaled. Marks the bounds dirty.
    // Returns 0.
    virtual int FitMesh(float x, float y, float z, float width, float height, float depth,
                        int uniform);
    // Scale, rotation (pitch, yaw, roll in degrees: yaw, then pitch, then roll) and offset of
    // every vertex about the mesh origin, through TransformMesh; each marks the bounds dirty.
    // Return 0.
    virtual int ScaleMesh(float sx, float sy, float sz);
    virtual int RotateMesh(float pitch, float yaw, float roll);
    virtual int PositionMesh(float x, float y, float z);
    // Carries every vertex of surfaces 1 .. CountSurfaces() through mat (the engine's internal,
    // z-negated form): positions as points, written with VertexCoords (which marks each surface
    // changed). A normal is carried by the cofactor of mat's 3x3 part, which turns it exactly as
    // the triangles' face normals turn (a rotation rotates it, a scale scales it inversely, a
    // translation leaves it), and keeps its former length. Returns 0.
    virtual int TransformMesh(const TMatrix& mat);
    // Carries the stored positions (`vert_coords`, internal form) of surfaces 1 .. no_surfs
    // through mat directly; normals and flags are left alone. Returns 0.
    virtual int TransformMesh1(const TMatrix& mat);

    // ---- Loading and collapsing (mesh_load.cpp, mesh_collapse.cpp) ----

    // Loads a model file as an entity hierarchy under parent: its root mesh, or null when the
    // file holds no mesh or cannot be read (logged). A name ending ".3ds" has every ".3ds" in
    // it read as ".b3d"; a file that does not exist gives CreateCube(null) (parent unused).
    static MeshRef LoadAnimMesh(const std::string& file, const EntityRef& parent);
    // Loads a model file as one static mesh (class "Mesh") under parent: the loaded hierarchy
    // collapsed (CollapseAnimMesh) and freed. Null when LoadAnimMesh gives null.
    static MeshRef LoadMesh(const std::string& file, const EntityRef& parent);
    // Appends the geometry of this mesh and of every mesh among its descendants, each carried
    // by its global matrix, to mesh (null: a new mesh made by New(), which the caller places),
    // depth-first, each entity before its children. Surfaces merge as AddMesh merges them, but
    // nothing is left out: a surface goes into the first partner that has room for all of its
    // vertices, else into a new surface with a copy of its brush. The hierarchy is not changed.
    // Returns the destination.
    virtual MeshRef CollapseAnimMesh(const MeshRef& mesh);
    // The same for the descendants of entity (of any kind) only; the walk goes through pivots,
    // bones and other entities without geometry. Returns mesh; a null mesh does nothing.
    static MeshRef CollapseChildren(const TEntity& entity, const MeshRef& mesh);

    // ---- Surfaces and counts ----

    // A new empty surface holding the given brush itself (not a copy; null: none), appended to
    // `surf_list`; no_surfs + 1.
    SurfaceRef CreateSurface(const BrushRef& brush);
    // Extents of the box after GetBounds.
    float MeshWidth();
    float MeshHeight();
    float MeshDepth();
    int CountSurfaces() const { return no_surfs; }
    // The index-th surface of `surf_list`, from 1; null outside 1..length of the list.
    SurfaceRef GetSurface(int index) const;
    // The first surface whose brush compares equal to brush (TBrush::CompareBrushes); a null
    // brush finds the first surface without one. Null when none matches.
    SurfaceRef FindSurface(const BrushRef& brush) const;
    // Copies the brush's settings (texture count, name, colour, alpha, shininess, blend, effect
    // bits and the eight texture references; not the frame) into the brush of every surface of
    // `surf_list`, giving a surface without one a new default brush first. The brush itself is
    // not attached. A null brush changes nothing. Returns 0.
    int PaintMesh(const BrushRef& brush);
    // Sums over surfaces 1 .. CountSurfaces().
    int CountVertices() const;
    int CountTriangles() const;
    // Calls f(surface, animated) for every surface of `surf_list` in order, with the animated
    // surface at the same place of `anim_surf_list` (null past its end): the pairing drawing
    // uses for posed positions.
    // f must not add or remove surfaces of either list.
    template <class F> void ForEachSurfaceWithAnimated(F&& f) const {
        if (anim_surf_list.IsEmpty()) {
            surf_list->ForEachWhileUnchanged([&f](const SurfaceRef& surf) { f(surf, nullptr); });
            return;
        }
        auto anim_it = anim_surf_list.begin();
        surf_list->ForEachWhileUnchanged([&](const SurfaceRef& surf) {
            const TSurface* animated = nullptr;
            if (anim_it != anim_surf_list.end()) {
                animated = anim_it->get();
                ++anim_it;
            }
            f(surf, animated);
        });
    }
    // Appends to list every bone among entity's descendants, depth-first pre-order (a bone
    // before its own descendants); entity itself is not examined. Returns 0.
    static int CopyBonesList(const EntityRef& entity, BoneList& list);

    // ---- Bounds and transparency ----

    // Consumes the surfaces' `changed` flags; when the mesh is dirty or a surface changed since
    // this mesh last computed, recomputes the box over every vertex of `surf_list` and, unless
    // fixed (negative), the cull radius: sqrt(3) x m / 2 for m the largest extent. Returns 0.
    int GetBounds();
    // 1 when the mesh (surf null) or the given surface is drawn blended: an entity or surface
    // brush with alpha below 1, blend 2 or 3, fx bit 32 or an alpha texture (flag 2) in layer
    // 0, or a non-zero fade; else 0.
    int Alpha(const SurfaceRef& surf) const;
    // The sphere around the point (x, y, z) of the mesh's own space (command-layer coordinates)
    // with radius r in mesh units, in world space: the centre carried by TFormPoint, the radius
    // multiplied by the largest magnitude of the global scales.
    TSphere WorldSphere(float x, float y, float z, float r) const;
    // While the mesh draws posed vertices (animated and posed, radius not fixed): the sphere
    // around the box of the posed positions, its radius worked out as GetBounds does; else
    // BoundingSphere.
    TSphere CullSphere() const override;

  protected:
    TMesh() = default;

    // The copy steps that every mesh kind shares, on a new mesh made from src: the same surface
    // list object and src's no_surfs.
    void ShareSurfacesFrom(const TMesh& src);
    // The settings every mesh kind's copy takes after CopyPlacementFields: auto-fade and its
    // distances, its own copy of src's brush (a default one when src was freed), the collision
    // type, and the shared surfaces (ShareSurfacesFrom).
    void CopyMeshSettingsFrom(const TMesh& src);
};

// TEntity: the scene-graph node and base class of every object with a place in the 3D scene
// (pivots, cameras, lights, meshes, sprites, bones).
//
// Ownership and handles
// - Entities are made only by their kind's creator (TPivot::CreatePivot, ...) and always held by
//   std::shared_ptr (EntityRef and the kind handles of engine/handles.h). An entity stays alive
//   through TEntity::entity_list from its creation until FreeEntity.
// - `child_list` owns the children; `parent` is a non-owning back reference (std::weak_ptr) that
//   FreeEntity, AddParent and EntityParent keep consistent with the parent's child list: an
//   entity is in its parent's `child_list` exactly when its `parent` is that entity.
// - A null handle given to an operation that takes an entity is a safe no-op returning 0/null.
// - A freed entity (`freed`) is inert for good: the commands resolve every entity they are
//   given through Live, so one freed acts as a null handle, and it takes no parent and no
//   children again (AddParent, EntityParent), so it never re-enters the scene.
//
// The entity list
// - `TEntity::entity_list` is a type-level std::shared_ptr<TList<EntityRef>>. It holds a new
//   empty list from static initialisation on, so entities can be made before (or without) the
//   engine's module initialiser; that initialiser creates the list only when it is null. A test
//   may replace it with a fresh list (`TEntity::entity_list = CreateList<EntityRef>()`) to start
//   from an empty scene. If it is ever null, creators still work and the entity is in no list.
// - The list is ordered by `order`, largest first (EntityListAdd).
//
// Coordinates
// - Commands take and return left-handed values (z into the screen). The entity stores z and
//   pitch negated (`pz` = -z, `rx` = -pitch) so that `mat` goes to OpenGL unchanged; every query
//   negates back, and only GetMatElement returns the stored (z-negated) matrix values.
// - `mat` is the global matrix: parent's `mat` x T(px, py, pz) x Ry(ry) x Rx(rx) x Rz(rz) x
//   S(sx, sy, sz). Every transform setter rebuilds it and then the matrices of all descendants at
//   once, except bones and everything below a bone: a kind reports itself as a bone by
//   overriding IsBone() (bones get their matrices from the animation).
//
// The global flag
// - Setters convert world values only when global is exactly 1 and the entity has a parent.
// - Position and angle getters return world values for any non-zero global; scale getters only
//   for global 1 and only when the entity has a parent.
#pragma once

#include "engine/brush.h"
#include "engine/flags.h"
#include "engine/handles.h"
#include "engine/math/geometry.h"
#include "engine/math/matrix.h"
#include "platform/collections.h"

#include <memory>
#include <string>
#include <vector>

class TCollisionImpact;

class TEntity : public std::enable_shared_from_this<TEntity> {
  public:
    using EntityList = TList<EntityRef>;
    using EntityListRef = std::shared_ptr<EntityList>;

    // ---- Data ----

    // Direct children in the order they were attached.
    EntityList child_list;
    // Parent entity; empty for a root entity.
    std::weak_ptr<TEntity> parent;
    // Global transform (see above); all sixteen elements 0 until the creator builds it.
    TMatrix mat;
    // Local position in the parent's space; `pz` holds the negated command z.
    float px = 0.0f, py = 0.0f, pz = 0.0f;
    // Local scale.
    float sx = 1.0f, sy = 1.0f, sz = 1.0f;
    // Local rotation in degrees: `rx` holds the negated command pitch, `ry` the yaw, `rz` the roll.
    float rx = 0.0f, ry = 0.0f, rz = 0.0f;
    // Rotation quaternion as read from a model file; carried over by CopyEntity.
    float qw = 0.0f, qx = 0.0f, qy = 0.0f, qz = 0.0f;
    std::string name;
    // Kind name set by the creator: "Pivot", "Camera", "Light", "Mesh", "Sprite", "Bone".
    std::string class_name;
    // 1 = hidden, 0 = shown.
    int hide = 0;
    // Drawing order; sorts the entity list at insertion and the render list.
    int order = 0;
    // Render-list sort key written by the render pipeline.
    float alpha_order = 0.0f;
    // Distance fading.
    int auto_fade = 0;
    float fade_near = 0.0f, fade_far = 0.0f;
    // Fade amount 0..1 written by the render pipeline.
    float fade_alpha = 0.0f;
    // Entity-wide material; a new brush with its defaults. Null once the entity has been freed.
    BrushRef brush;
    // True once FreeEntity has run; it never goes back.
    bool freed = false;
    // Culling and bounding radius; negative when fixed by MeshCullRadius.
    float cull_radius = 0.0f;
    // Collision ellipsoid radii.
    float radius_x = 0.0f, radius_y = 0.0f, radius_z = 0.0f;
    // Collision and pick box.
    float box_x = 0.0f, box_y = 0.0f, box_z = 0.0f, box_w = 0.0f, box_h = 0.0f, box_d = 0.0f;
    // Collision type, 0 = none.
    int collision_type = 0;
    // Impacts recorded by the last collision pass (`collision` holds `no_collisions` entries).
    int no_collisions = 0;
    std::vector<std::shared_ptr<TCollisionImpact>> collision;
    // A pick mode (engine/flags.h: NOPICK, SPHEREPICK, POLYGONPICK, BOXPICK); obscurer flag set
    // with it.
    int pick_mode = NOPICK;
    int obscurer = 0;
    // Bone animation state (see engine/animation.h).
    // 1 = an animated mesh (set by the model loader); nothing animates an entity with 0.
    int anim = 0;
    // 1 once a pose has been computed: drawing then takes the animated surfaces' positions.
    int anim_render = 0;
    // 0 pose once, 1 loop, 2 ping-pong, 3 one-shot, -1 set by SetAnimTime.
    int anim_mode = 0;
    // Current time in frames (absolute frame number); during a transition the blend factor.
    float anim_time = 0.0f;
    // Frames per update at an UpdateWorld argument of 1.
    float anim_speed = 0.0f;
    int anim_seq = 0;
    // Remaining transition updates.
    int anim_trans = 0;
    // Ping-pong direction: 1 forward, -1 backward.
    int anim_dir = 1;
    // First and last frame of each sequence (both ends included); `no_seqs` + 1 entries each.
    // Sequence 0 is the whole animation, 1 .. no_seqs were added by ExtractAnimSeq.
    std::vector<int> anim_seqs_first = std::vector<int>(1, 0);
    std::vector<int> anim_seqs_last = std::vector<int>(1, 0);
    int no_seqs = 0;
    // 1 = UpdateWorld poses and advances this entity.
    int anim_update = 0;
    // Global position at the last collision pass.
    float old_x = 0.0f, old_y = 0.0f, old_z = 0.0f;
    // The entity's link in entity_list, through which FreeEntity removes it. Held weakly: the
    // list owns its links and each link holds its entity, so a strong reference here would
    // keep an entity alive through its own link after the list is gone.
    std::weak_ptr<TLink<EntityRef>> entity_link;

    // ---- Type-level data ----

    // Every live entity, ordered by `order` at insertion (see the header comment).
    static EntityListRef entity_list;
    // Results of the last TFormPoint, TFormVector or TFormNormal.
    static float tformed_x, tformed_y, tformed_z;

    TEntity(const TEntity&) = delete;
    TEntity& operator=(const TEntity&) = delete;
    virtual ~TEntity();

    // ---- Operations every kind supplies ----

    // A copy of the entity and its descendants under parent (null: at the top level).
    virtual EntityRef CopyEntity(const EntityRef& parent) = 0;
    // The kind's per-frame work, called by the render pipeline.
    virtual int Update() = 0;
    // True for bones: the transform rebuild skips them and everything below them.
    virtual bool IsBone() const { return false; }
    // The entity as a mesh (a sprite is one), or null: what a dynamic_cast to TMesh gives, at
    // the cost of one virtual call for the render pass's walk over every entity.
    virtual TMesh* AsMesh() { return nullptr; }
    const TMesh* AsMesh() const { return const_cast<TEntity*>(this)->AsMesh(); }

    // ---- Scene graph ----

    // Marks the entity freed, removes it from entity_list and from its parent, drops its matrix
    // (all zero) and brush, then frees each child through the child's own FreeEntity, so the
    // subtree goes depth-first, each entity before its descendants. Returns 0.
    virtual int FreeEntity();
    // Inserts the entity into list at its place by `order` and, when list is entity_list,
    // keeps the link in `entity_link`. A null list is a no-op. Returns 0.
    int EntityListAdd(const EntityListRef& list);
    // Sets the parent; with a parent, copies its `mat` and appends the entity to the end of its
    // child list. Does not leave a former parent's list (callers do that first). A parent that
    // is the entity itself or one of its descendants is refused (nothing changes), a freed one
    // counts as none, and a freed entity takes no parent. Returns 0.
    int AddParent(const EntityRef& parent);
    // Moves the entity under new_parent (null: to the top level). Global 1 keeps its world
    // position, rotation and scale; any other value makes the former world values the local
    // ones, so it moves with the new parent; to the top level it always keeps its world values.
    // The matrices of the entity and its descendants are current afterwards. A parent that
    // would make a cycle (the entity itself or one of its descendants) is refused; a freed
    // new_parent counts as none, and a freed entity does not move. Returns 0.
    virtual int EntityParent(const EntityRef& new_parent, int global);
    virtual EntityRef GetParent() const { return parent.lock(); }
    virtual int CountChildren() const { return child_list.Count(); }
    // The n-th child (from 1); null outside 1..CountChildren().
    virtual EntityRef GetChild(int n) const;
    // First descendant named name (exact comparison), depth-first: a child, then its own
    // descendants, then the next sibling. The entity itself is not compared.
    virtual EntityRef FindChild(const std::string& name) const;
    // count plus the number of all descendants of entity at every depth.
    static int CountAllChildren(const EntityRef& entity, int count);
    // The descendant numbered n in depth-first pre-order (callers start count at 0), searching
    // below entity (null: this entity). Null when there is none.
    EntityRef GetChildFromAll(int n, int& count, const EntityRef& entity = nullptr);

    virtual int ShowEntity();
    virtual int HideEntity();
    // 1 when this entity or any ancestor is hidden, else 0.
    int EntityHidden() const;
    virtual int NameEntity(const std::string& new_name);
    virtual std::string EntityName() const { return name; }
    virtual std::string EntityClass() const { return class_name; }

    // ---- Transforms ----

    // load_identity 1: mat = T x Ry x Rx x Rz x S from the local values, in one step; any other
    // value: the same factors multiplied onto the current `mat` (callers copy the parent's
    // matrix in first). Returns 0.
    int UpdateMat(int load_identity);
    // Rebuilds the matrices below entity, each child from its parent's, skipping bones and
    // everything below them. Returns 0.
    static int UpdateChildren(const EntityRef& entity);

    virtual int PositionEntity(float x, float y, float z, int global);
    // Moves along the entity's own rotated axes (its scale does not lengthen the move).
    virtual int MoveEntity(float x, float y, float z);
    // Moves along the parent's axes or, with global 1, along world axes.
    virtual int TranslateEntity(float x, float y, float z, int global);
    virtual int ScaleEntity(float x, float y, float z, int global);
    // With global 1 under a parent, the entity ends with the given world orientation.
    virtual int RotateEntity(float pitch, float yaw, float roll, int global);
    // Adds to the local angles whatever global says.
    virtual int TurnEntity(float pitch, float yaw, float roll, int global);
    // Turns the entity to face target's world position, with the given roll.
    virtual int PointEntity(const EntityRef& target, float roll);

    virtual float EntityX(int global) const;
    virtual float EntityY(int global) const;
    virtual float EntityZ(int global) const;
    virtual float EntityPitch(int global) const;
    virtual float EntityYaw(int global) const;
    virtual float EntityRoll(int global) const;
    // Global 1 under a parent: the product of the local scales up to the root.
    virtual float EntityScaleX(int global) const;
    virtual float EntityScaleY(int global) const;
    virtual float EntityScaleZ(int global) const;

    // Carry a point, a direction or a unit normal from source's space into dest's space (null:
    // world space); the results go to tformed_x/y/z. A normal whose transformed length is 0
    // stays (0, 0, 0). Return 0.
    static int TFormPoint(float x, float y, float z, const EntityRef& source,
                          const EntityRef& dest);
    static int TFormVector(float x, float y, float z, const EntityRef& source,
                           const EntityRef& dest);
    static int TFormNormal(float x, float y, float z, const EntityRef& source,
                           const EntityRef& dest);
    static float TFormedX() { return tformed_x; }
    static float TFormedY() { return tformed_y; }
    static float TFormedZ() { return tformed_z; }

    // Distance between the world positions; 0 for a null other.
    virtual float EntityDistance(const EntityRef& other) const;
    // Squared distance from the two matrices, and the same through EntityX/Y/Z(1).
    float EntityDistanceSquared(const EntityRef& other) const;
    float EntityDistanceSquared(const TEntity& other) const;
    float EntityDistanceSquared0(const EntityRef& other) const;
    // Absolute yaw and pitch that would face other (the values PointEntity sets).
    virtual float DeltaYaw(const EntityRef& other) const;
    virtual float DeltaPitch(const EntityRef& other) const;
    // grid[row][col] of `mat` as stored (z-negated); 0 for indices outside 0..3.
    virtual float GetMatElement(int row, int col) const;

    // ---- Appearance and render settings (entity_appearance.cpp) ----
    // These only store values; the renderer reads them when it draws. The brush setters do
    // nothing on a freed entity (no brush). Each returns 0.

    // 0-255 per channel, stored divided by 255, unclamped.
    virtual int EntityColor(float red, float green, float blue);
    virtual int EntityAlpha(float alpha);
    virtual int EntityShininess(float shine);
    // Puts texture on layer index (0..7) of the entity brush, raises no_texs to index + 1 and
    // sets the brush's one frame number to frame clamped to the texture's frames. A null
    // texture or an index outside 0..7 changes nothing.
    virtual int EntityTexture(const TextureRef& texture, int frame, int index);
    // The entity brush's blend and, on a mesh, that of every surface brush (surfaces without a
    // brush stay without one).
    virtual int EntityBlend(int blend);
    // Replaces all effect bits.
    virtual int EntityFX(int fx);
    // Fading between near and far camera distance is switched on for good.
    virtual int EntityAutoFade(float near_distance, float far_distance);
    // Copies brush's settings and texture references, not its frame, into the entity's own
    // brush. A null brush changes nothing.
    virtual int PaintEntity(const BrushRef& brush);
    // Sets `order`. A camera still in the camera list takes its place there again by the new
    // order; no entity moves in entity_list.
    virtual int EntityOrder(int order);
    // Fixes the cull radius: stored negated, which keeps the bounds computation from
    // replacing it (0 stores -0, which does not count as fixed).
    virtual int MeshCullRadius(float radius);
    // The bounding sphere in world space: centre at the global position, or for a mesh at the
    // middle of its bounds (as they stand) carried to the world; radius |cull_radius|, for a
    // mesh multiplied by the largest magnitude of its three global scales.
    virtual TSphere BoundingSphere() const;
    // The sphere the camera's frustum test takes: around what a camera pass draws of the
    // entity. BoundingSphere here; meshes that draw posed vertices and sprites override it.
    virtual TSphere CullSphere() const;

    // ---- Picking (pick.cpp; see engine/pick.h) ----

    // TPick::EntityPick along this entity's +z axis for range.
    virtual EntityRef EntityPick(float range);
    // TPick::LinePick and TPick::EntityVisible; this entity takes no part in either.
    virtual EntityRef LinePick(float x, float y, float z, float dx, float dy, float dz,
                               float radius);
    virtual int EntityVisible(const EntityRef& src_entity, const EntityRef& dest_entity);
    // Stores the pick mode (0 none, 1 sphere, 2 polygons, 3 box) and the obscurer flag
    // unchecked. Returns 0.
    virtual int EntityPickMode(int mode, int obscurer_flag);

    // ---- Collision settings and results (collision.cpp) ----
    // Impact indices count from 1; an index outside 1..CountCollisions() reads 0, 0.0 or null.

    // Forgets the impacts and takes the current global position as the start of the next
    // move. Returns 0.
    virtual int ResetEntity();
    // Ellipsoid radii; radius_y or radius_z given as 0 takes radius_x. Returns 0.
    virtual int EntityRadius(float rx, float ry, float rz);
    // Stores the box unchanged. Returns 0.
    virtual int EntityBox(float x, float y, float z, float w, float h, float d);
    // Sets the collision type; recursive exactly 1 gives it to every descendant. Returns 0.
    virtual int EntityType(int type, int recursive);
    // The entity of collision type type that this one hit in the last pass, else one of that
    // type that hit this one; null when none.
    virtual EntityRef EntityCollided(int type) const;
    virtual int CountCollisions() const { return no_collisions; }
    virtual float CollisionX(int index) const;
    virtual float CollisionY(int index) const;
    virtual float CollisionZ(int index) const;
    virtual float CollisionNX(int index) const;
    virtual float CollisionNY(int index) const;
    virtual float CollisionNZ(int index) const;
    virtual float CollisionTime(int index) const;
    virtual EntityRef CollisionEntity(int index) const;
    virtual SurfaceRef CollisionSurface(int index) const;
    virtual int CollisionTriangle(int index) const;
    virtual int GetEntityType() const { return collision_type; }

    // ---- Keyframe animation (animation.cpp) ----
    // A sequence number outside 0 .. no_seqs makes each of these a no-op returning 0.

    // Adds a sequence of frames first_frame .. last_frame counted from the first frame of
    // sequence seq (absolute frames for seq 0). Returns the new sequence's number.
    virtual int ExtractAnimSeq(int first_frame, int last_frame, int seq);
    // Starts sequence seq in mode (0 pose once, 1 loop, 2 ping-pong, 3 one-shot) at speed
    // frames per update, blending in from the last pose over trans updates (trans 0 or 1: no
    // blend). Nothing is posed until the next UpdateWorld. Returns 0.
    virtual int Animate(int mode, float speed, int seq, int trans);
    // Poses the entity at once at time frames into sequence seq (wrapped into the sequence
    // when outside it) and stops its animation (mode -1). Returns 0.
    virtual int SetAnimTime(float time, int seq);
    virtual int AnimSeq() const { return anim_seq; }
    // Last minus first frame of the current sequence.
    virtual int AnimLength() const;
    // The current time relative to the sequence's first frame while running in a mode above 0
    // or after SetAnimTime; 0 during a transition and when stopped.
    virtual float AnimTime() const;
    // 1 while a transition runs or the mode is above 0, else 0.
    virtual int Animating() const;
    // True when seq names a sequence of this entity.
    bool HasAnimSeq(int seq) const;

  protected:
    // A new entity: every field at its default, a new default brush, no parent, in no list.
    TEntity();

    // The handle of this entity (null if it is not held by a std::shared_ptr).
    EntityRef self() { return weak_from_this().lock(); }

    // The creator's placement steps after `class_name`: AddParent(parent), EntityListAdd
    // (entity_list), then the matrix: parent's x local (UpdateMat(0)) or local alone.
    void PlaceNew(const EntityRef& parent);

    // Pieces of a kind's CopyEntity, in the order it runs them:
    // 1. CopyChildrenFrom(src): each child of src copied under this new entity, in list order.
    void CopyChildrenFrom(const TEntity& src);
    // 2. PlaceCopy(src, parent): AddParent(parent), EntityListAdd(entity_list) (the copy's
    //    order is still 0 here), mat = parent's mat (identity without one) x src's mat.
    void PlaceCopy(const TEntity& src, const EntityRef& parent);
    // 3. CopyPlacementFields(src): local transform, quaternion, name, class_name, order,
    //    cull_radius, collision radii and box, pick_mode, obscurer; hide = 0.
    void CopyPlacementFields(const TEntity& src);
    // 4. FinishCopy(): rebuilds the copied descendants' matrices from this entity's, so the
    //    whole copy is current at once.
    void FinishCopy();

    // The common end of every transform setter: the matrix, then the descendants'.
    void Rebuild();
    // True when candidate is this entity or one of its descendants.
    bool IsSelfOrAncestorOf(const TEntity* candidate) const;
};

// The handle a command acts on: the handle itself while its entity is live, a null handle for a
// freed entity (and for null). Every command passes the entities it is given through it, so a
// freed entity gets what a null handle gets.
template <class T> const std::shared_ptr<T>& Live(const std::shared_ptr<T>& handle) {
    static const std::shared_ptr<T> none;
    return handle && handle->freed ? none : handle;
}

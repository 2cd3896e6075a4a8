// TSprite: a mesh of one flat 2x2 quad that is turned toward the camera each time a camera
// renders it.
//
// A sprite adds to its mesh a rotation about the view axis, a 2D scale, a handle and a view
// mode. For every camera pass the renderer calls UpdateSprites, which builds each sprite's
// drawing matrix (TMesh::sprite_mat) from the camera's global angles; mesh drawing uses it in
// place of the entity matrix. The sprite's own global matrix (`mat`) stays the ordinary entity
// matrix for the hierarchy, picking and collisions.
//
// View modes: 1 (the default) faces the camera with its pitch and yaw; 2 keeps the sprite's own
// orientation (its entity matrix); 3 takes the camera's pitch, yaw and roll; 4 its yaw and roll.
// Any other mode sets no angles: the sprite takes those left by the sprite handled before it in
// the same pass (0 for the first). The sprite's own rotation and scale count only in mode 2.
#pragma once

#include "engine/flags.h"
#include "engine/handles.h"
#include "engine/mesh.h"
#include "platform/collections.h"

#include <span>
#include <string>

class TSprite : public TMesh {
  public:
    // Rotation in degrees about the view axis, added to the roll.
    float angle = 0.0f;
    // Width and height scale of the quad.
    float scale_x = 1.0f;
    float scale_y = 1.0f;
    // The quad point (in quad units, -1..1 spans it) placed at the sprite's position.
    float handle_x = 0.0f;
    float handle_y = 0.0f;
    int view_mode = FACINGSPRITE;

    // A new sprite (class "Sprite") under parent (null: at the top level): one surface without
    // a brush holding the quad from (-1, -1) to (1, 1) at z 0 as two triangles, full-bright.
    static SpriteRef CreateSprite(const EntityRef& parent);
    // CreateSprite, then the texture LoadTexture(file, flags) on layer 0 at frame 0 and, when
    // flags lack bit 2 (alpha), additive blending (3). A sprite is returned also when the
    // texture cannot be loaded.
    static SpriteRef LoadSprite(const std::string& file, int flags, const EntityRef& parent);

    // A copy of the sprite and its descendants under parent: shares the surfaces, copies the
    // brush, placement, fade, collision and pick settings, the drawing matrix and the sprite
    // settings; its bounds are recomputed on first use. The copy is shown.
    EntityRef CopyEntity(const EntityRef& parent) override;
    const TMatrix& DrawMatrix() const override { return sprite_mat; }
    TSprite* AsSprite() override { return this; }

    // Setters; each returns 0 and takes effect at the next camera pass.
    int RotateSprite(float angle);
    int ScaleSprite(float x, float y);
    int HandleSprite(float x, float y);
    // Any integer is stored (see the header comment).
    int SpriteViewMode(int mode);

    // Builds sprite_mat for the camera. pitch, yaw and roll are the angles of the pass: a
    // sprite of mode 1, 3 or 4 sets them from the camera, one of another mode uses them as
    // they are, and a sprite under a parent leaves them relative to the parent. A null camera
    // changes nothing. Returns 0.
    int UpdateSpriteMat(const EntityRef& cam, float& pitch, float& yaw, float& roll);
    // The renderer's per-camera step: UpdateSpriteMat for every sprite of the render list, in
    // order, with angles that start at 0 for the pass. Other meshes are passed over. Returns 0.
    static int UpdateSprites(const EntityRef& cam, const TList<MeshRef>& list);
    static int UpdateSprites(const EntityRef& cam, std::span<TMesh* const> meshes);

    // The sphere around what UpdateSpriteMat draws, for every camera direction: centred on the
    // sprite's global position, reaching the box corner farthest from the handle after the
    // sprite scale (under a parent, that scale over the parent's, times the parent's largest
    // scale magnitude). Mode 2, which draws with the entity matrix, and a fixed cull radius
    // take the mesh's sphere.
    TSphere CullSphere() const override;

  protected:
    TSprite() = default;
};

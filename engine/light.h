// TLight: an entity that lights the scene through one of the eight fixed-function GL lights.
//
// A light has a type (1 directional, 2 point, 3 spot), a colour, a range and spot cone angles;
// it is placed, turned and parented like any entity, and its position and direction follow its
// global matrix. GL light numbers are not owned by a light: in every camera pass each light's
// Update sets up the GL light of its place in light_list (the k-th light uses GL_LIGHT0 + k - 1)
// with its whole state (enable, position, colour, specular, attenuation, spot settings), after
// the camera has loaded its view matrix, so GL carries it into eye space. Nothing a light needs
// is left on a GL light from an earlier pass, from its creation or from another light, so the
// 2D/3D hand-over (which restores the 2D layer's lighting state) and lights freed or created
// between passes leave every light drawn as it is.
//
// At most max_lights (8) lights exist; CreateLight and CopyEntity refuse a ninth (null). The
// scene's ambient light is a world setting (TGlobal::AmbientLight), not a light.
#pragma once

#include "engine/entity.h"
#include "engine/handles.h"
#include "platform/collections.h"

#include <memory>
#include <vector>

class TLight : public TEntity {
  public:
    // 1 directional, 2 point, 3 spot: up to 1 is directional, above 1 positional, only 3 a
    // spot.
    int light_type = 0;
    // The inverse of the light's range (the default is a range of 1000): the linear attenuation
    // of a point or spot light.
    float range = 0.001f;
    // Diffuse colour, 0.0-1.0.
    float red = 1.0f, green = 1.0f, blue = 1.0f;
    // Half the inner cone angle in degrees (kept, not drawn) and half the outer one, the spot
    // cut-off.
    float inner_ang = 0.0f;
    float outer_ang = 45.0f;

    // Every light in creation order. An empty list from static initialisation on; the engine
    // module's initialiser makes one only if it is null.
    static std::shared_ptr<TList<LightRef>> light_list;
    // Lights that hold a GL light (the number in light_list), and the limit.
    static int no_lights;
    static int max_lights;
    // Place (from 1) of the light the last Update set up.
    static int light_no;
    // GL_LIGHT0 .. GL_LIGHT7 by place; filled from static initialisation on (the engine module's
    // initialiser fills it only if it is empty).
    static std::vector<unsigned> gl_light;

    // A new light of the type under parent (null: at the top level), appended to light_list and
    // placed in entity_list; null, with nothing changed, when max_lights lights exist.
    static LightRef CreateLight(int light_type, const EntityRef& parent);

    // A copy of the light and its descendants under parent with the same light settings,
    // registered as a new light; null when the limit leaves no room for it (a copy whose
    // descendants, lights among them, would take the last places is undone).
    EntityRef CopyEntity(const EntityRef& parent) override;
    // Sets up the light's GL light for the current camera pass (see the header comment); a
    // hidden light (or one under a hidden parent) has its GL light switched off. A light no
    // longer in light_list, or no display, does nothing. Returns 0.
    int Update() override;
    // Frees the entity, takes the light out of light_list, counts it off and switches off the
    // highest GL light in use (the next pass renumbers the others). Freeing a light that is no
    // longer in the list frees nothing more. Returns 0.
    int FreeEntity() override;

    // range := 1 / range. Returns 0.
    int LightRange(float range);
    // 0-255 per channel, stored divided by 255. Returns 0.
    int LightColor(float red, float green, float blue);
    // Both stored halved. Returns 0.
    int LightConeAngles(float inner, float outer);

    // The spot cut-off handed to GL for an outer half-angle: GL takes 0..90 or exactly 180, so
    // a negative angle gives 0, one above 90 and below 180 gives 90, 180 or more gives 180.
    static float SpotCutoff(float outer_ang);
    // Place of this light in light_list, from 1; 0 when it is not there.
    int ListPlace() const;

  protected:
    TLight() = default;

  private:
    // Counts the light in and gives its GL light the settings made at creation. Returns false
    // when max_lights lights exist already.
    bool Register();
};

// TDebug: an on-screen inspector for an entity hierarchy.
//
// Called once per frame with a root entity (and optionally a camera), after the frame has been
// rendered and before the page flip, it lets the user step through the root and its
// descendants with the period (next) and comma (previous) keys, paints the selection red,
// prints the selection's number, name and class and one of three pages over the frame, and can
// show a translucent yellow sphere around the selection's bounding sphere.
//
// Keys, read with KeyHit each call: period / comma step the selection; 1, 2, 3 choose the page
// (position and rotation with the global matrix; mesh counts and size; whether the camera sees
// the selection); F1 switches the sphere overlay on and off.
//
// The state lives for the whole run and is shared by every root the inspector is called with.
// The colours it sets replace the entities' own brush colours and are not restored.
#pragma once

#include "engine/handles.h"

#include <string>
#include <vector>

// One line of text printed by the inspector at window pixel (x, y).
struct TDebugLine {
    int x = 0;
    int y = 0;
    std::string text;

    bool operator==(const TDebugLine&) const = default;
};

// Type functions only; never instantiated.
class TDebug {
  public:
    // Number of the selected entity: 0 the root itself, 1 to N the root's N descendants in
    // depth-first order (a parent before its children, children in list order).
    static int cno;
    // Page shown: 1, 2 or 3.
    static int info;
    // Sphere overlay off (0) or on (1).
    static int bsphere;
    // The overlay sphere: made at the first BoundingSphere call and kept in the scene (hidden
    // or shown) for the rest of the run; made again if it has been freed meanwhile.
    static MeshRef sphere;
    // The lines printed by the last DebugEntity (heading, then page), or by the last page
    // function called on its own, in the order printed: what the inspector shows, for callers
    // that want it as text as well.
    static std::vector<TDebugLine> printed;

    TDebug() = delete;

    // One frame of the inspector for the hierarchy under ent (see the header comment). The
    // heading at (0, 80) reads "<cno>. <name> (<class>)". A null ent does nothing. Returns 0.
    static int DebugEntity(const EntityRef& ent, const CameraRef& cam);
    // Page 1: global then local position and rotation from y 120 on, then the global matrix in
    // rows and columns (translation on the right) from y 400; values within 0.0001 of 0 print
    // as 0. Numbers print as FloatToText does. A null ent prints nothing. Returns 0.
    static int Info1(const EntityRef& ent);
    // Page 2: surface, vertex and triangle counts and the mesh's width, height and depth for a
    // mesh or sprite; "Entity is not a mesh!" for any other kind. Null ent: nothing. Returns 0.
    static int Info2(const EntityRef& ent);
    // Page 3: "EntityInView: " and cam's frustum value of ent (0 outside the view), or "Camera
    // entity not specified!" without a camera. Null ent: nothing. Returns 0.
    static int Info3(const EntityRef& ent, const CameraRef& cam);
    // Hides the overlay sphere while the overlay is off; otherwise shows it yellow with alpha
    // 0.75 on ent's bounding sphere (TEntity::BoundingSphere: for a mesh the middle of its box
    // as last computed, carried to the world, radius |cull_radius| times the largest signed
    // global scale; for other kinds centred on the entity's world position with radius
    // |cull_radius|). The sphere is made first when there is none. Null ent: nothing. Returns 0.
    static int BoundingSphere(const EntityRef& ent);
};

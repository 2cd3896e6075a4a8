// Mesh drawing inside a camera pass.
//
// Each surface states the whole GL state it needs (engine/mesh_draw.cpp), so surfaces drawn one
// after another change only what differs between them. What the last one leaves on (texture
// units, coordinate generation, the alpha test) is switched off once, when the pass ends: by
// the outermost MeshDrawPass, or, for a mesh drawn outside any pass, right after it.
#pragma once

// Marks a camera pass for its lifetime (passes may nest; the outermost one switches off what
// the last surface left on).
class MeshDrawPass {
  public:
    MeshDrawPass();
    ~MeshDrawPass();
    MeshDrawPass(const MeshDrawPass&) = delete;
    MeshDrawPass& operator=(const MeshDrawPass&) = delete;
};

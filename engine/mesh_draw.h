// Mesh drawing inside a camera pass.
//
// Each surface states the whole GL state it needs (engine/mesh_draw.cpp), so surfaces drawn one
// after another change only what differs between them. What the last one leaves on (texture
// units, coordinate generation, the alpha test) is switched off once, when the pass ends: by
// the outermost MeshDrawPass, or, for a mesh drawn outside any pass, right after it.
#pragma once

class TMesh;

// Marks a camera pass for its lifetime (passes may nest; the outermost one switches off what
// the last surface left on).
class MeshDrawPass {
  public:
    MeshDrawPass();
    ~MeshDrawPass();
    MeshDrawPass(const MeshDrawPass&) = delete;
    MeshDrawPass& operator=(const MeshDrawPass&) = delete;

    // Asks the processor to fetch what TMesh::Update reads of a mesh drawn soon, so that a pass
    // over meshes scattered in memory does not wait on each: stage 0 the mesh itself, stage 1
    // (once stage 0 had time to arrive) its brush and surface list.
    static void Prefetch(const TMesh& mesh, int stage);
};

#include "engine/entity.h"
#include "engine/mesh.h"

#include <memory>

namespace {

// Appends m's geometry, carried by m's global matrix, to dest: m's surfaces are copied into a
// working mesh, transformed there, and merged into dest's surfaces that existed before.
void appendMesh(TMesh& m, const MeshRef& dest) {
    MeshRef temp = TMesh::New();
    m.AddMesh(temp);
    temp->TransformMesh(m.mat);
    temp->AddMesh(dest);
}

} // namespace

MeshRef TMesh::CollapseAnimMesh(const MeshRef& mesh) {
    MeshRef dest = mesh ? mesh : New();
    appendMesh(*this, dest);
    return CollapseChildren(*this, dest);
}

MeshRef TMesh::CollapseChildren(const TEntity& entity, const MeshRef& mesh) {
    if (!mesh) return mesh;
    for (const EntityRef& c : entity.child_list) {
        if (!c) continue;
        if (auto* m = dynamic_cast<TMesh*>(c.get())) appendMesh(*m, mesh);
        CollapseChildren(*c, mesh);
    }
    return mesh;
}

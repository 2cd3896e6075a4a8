#include "engine/commands_load.h"
#include "engine/mesh.h"

MeshRef LoadMesh(const std::string& file, const EntityRef& parent) {
    return TMesh::LoadMesh(file, Live(parent));
}

MeshRef LoadAnimMesh(const std::string& file, const EntityRef& parent) {
    return TMesh::LoadAnimMesh(file, Live(parent));
}

#include "engine/b3d.h"
#include "engine/mesh.h"
#include "platform/error.h"
#include "platform/stream.h"

#include <string>

MeshRef TMesh::New() {
    return MeshRef(new TMesh());
}

MeshRef TMesh::LoadAnimMesh(const std::string& file, const EntityRef& parent) {
    // Only B3D is read: a ".3ds" name stands for the ".b3d" file beside it.
    std::string name = file;
    const std::string from = ".3ds";
    const std::string to = ".b3d";
    if (name.size() >= from.size() &&
        name.compare(name.size() - from.size(), from.size(), from) == 0) {
        for (std::size_t at = name.find(from); at != std::string::npos;
             at = name.find(from, at + to.size())) {
            name.replace(at, from.size(), to);
        }
    }
    if (FileType(name) == 0) {
        Warning("File not found: " + name + " (a cube stands in for the model)");
        return CreateCube(nullptr);
    }
    return TModel::LoadAnimB3D(name, parent);
}

MeshRef TMesh::LoadMesh(const std::string& file, const EntityRef& parent) {
    MeshRef root = LoadAnimMesh(file, nullptr);
    if (!root) return nullptr;
    MeshRef mesh = root->CollapseAnimMesh(nullptr);
    root->FreeEntity();
    mesh->class_name = "Mesh";
    mesh->PlaceNew(parent);
    return mesh;
}

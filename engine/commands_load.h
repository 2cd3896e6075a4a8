// Model loading commands.
//
// LoadAnimMesh keeps the model file's node hierarchy (meshes, empty nodes as meshes without
// surfaces, bones with their weights and keys); LoadMesh merges it into one static mesh. A name
// ending ".3ds" reads the ".b3d" file of that name; a file that does not exist gives a 2x2x2
// cube. A file that exists but cannot be read as a model gives null and a debug-log line.
#pragma once

#include "engine/handles.h"

#include <string>

MeshRef LoadMesh(const std::string& file, const EntityRef& parent);
MeshRef LoadAnimMesh(const std::string& file, const EntityRef& parent);

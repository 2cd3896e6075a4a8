// Model loading commands.
//
// LoadAnimMesh keeps the model file's node hierarchy (meshes, empty nodes as meshes without
// surfaces, bones with their weights and keys); LoadMesh merges it into one static mesh. A name
// ending ".3ds" reads the ".b3d" file of that name; a file that does not exist gives a 2x2x2
// cube. A file that exists but cannot be read as a model gives null. Either way a warning names
// the file (Warning, platform/error.h).
#pragma once

#include "engine/handles.h"

#include <string>

// The model file as one static mesh under parent (null: at the top level): every node's
// geometry carried by its placement in the file into the mesh's own space; no animation.
MeshRef LoadMesh(const std::string& file, const EntityRef& parent);
// The model file as an entity hierarchy under parent (null: at the top level), returning its
// root mesh, which Animate can play when the file holds animation. The cube given for a missing
// file is placed at the top level whatever parent is.
MeshRef LoadAnimMesh(const std::string& file, const EntityRef& parent);

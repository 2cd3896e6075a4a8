// The order a camera pass draws its meshes in, worked out without building a render list.
// Inside the engine only: this header is not installed.
#pragma once

#include <span>
#include <vector>

class TMesh;

// The order TGlobal::RenderListAdd gives the meshes when they are added one by one in the order
// given (what a camera pass draws in, before its opaque meshes are put nearest first). The
// meshes are held by their handles elsewhere.
std::vector<TMesh*> RenderListOrder(std::span<TMesh* const> meshes);

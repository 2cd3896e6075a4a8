#include "engine/commands_mesh.h"
#include "engine/mesh.h"
#include "engine/surface.h"

MeshRef CreateMesh(const EntityRef& parent) {
    return TMesh::CreateMesh(Live(parent));
}

MeshRef CreateCube(const EntityRef& parent) {
    return TMesh::CreateCube(Live(parent));
}

MeshRef CreateSphere(int segments, const EntityRef& parent) {
    return TMesh::CreateSphere(segments, Live(parent));
}

MeshRef CreateCylinder(int segments, int solid, const EntityRef& parent) {
    return TMesh::CreateCylinder(segments, solid, Live(parent));
}

MeshRef CreateCone(int segments, int solid, const EntityRef& parent) {
    return TMesh::CreateCone(segments, solid, Live(parent));
}

MeshRef CopyMesh(const MeshRef& mesh, const EntityRef& parent) {
    return Live(mesh) ? mesh->CopyMesh(Live(parent)) : nullptr;
}

void AddMesh(const MeshRef& mesh, const MeshRef& dest_mesh) {
    if (Live(mesh)) mesh->AddMesh(Live(dest_mesh));
}

void FlipMesh(const MeshRef& mesh) {
    if (Live(mesh)) mesh->FlipMesh();
}

void PaintMesh(const MeshRef& mesh, const BrushRef& brush) {
    if (Live(mesh)) mesh->PaintMesh(brush);
}

void FitMesh(const MeshRef& mesh, float x, float y, float z, float width, float height, float depth,
             int uniform) {
    if (Live(mesh)) mesh->FitMesh(x, y, z, width, height, depth, uniform);
}

void ScaleMesh(const MeshRef& mesh, float x, float y, float z) {
    if (Live(mesh)) mesh->ScaleMesh(x, y, z);
}

void RotateMesh(const MeshRef& mesh, float pitch, float yaw, float roll) {
    if (Live(mesh)) mesh->RotateMesh(pitch, yaw, roll);
}

void PositionMesh(const MeshRef& mesh, float x, float y, float z) {
    if (Live(mesh)) mesh->PositionMesh(x, y, z);
}

void UpdateNormals(const MeshRef& mesh) {
    if (Live(mesh)) mesh->UpdateNormals();
}

float MeshWidth(const MeshRef& mesh) {
    return Live(mesh) ? mesh->MeshWidth() : 0.0f;
}

float MeshHeight(const MeshRef& mesh) {
    return Live(mesh) ? mesh->MeshHeight() : 0.0f;
}

float MeshDepth(const MeshRef& mesh) {
    return Live(mesh) ? mesh->MeshDepth() : 0.0f;
}

int CountSurfaces(const MeshRef& mesh) {
    return Live(mesh) ? mesh->CountSurfaces() : 0;
}

SurfaceRef GetSurface(const MeshRef& mesh, int surf_no) {
    return Live(mesh) ? mesh->GetSurface(surf_no) : nullptr;
}

SurfaceRef FindSurface(const MeshRef& mesh, const BrushRef& brush) {
    return Live(mesh) ? mesh->FindSurface(brush) : nullptr;
}

SurfaceRef CreateSurface(const MeshRef& mesh, const BrushRef& brush) {
    return Live(mesh) ? mesh->CreateSurface(brush) : nullptr;
}

void PaintSurface(const SurfaceRef& surface, const BrushRef& brush) {
    if (surface) surface->PaintSurface(brush);
}

void ClearSurface(const SurfaceRef& surface, int clear_verts, int clear_tris) {
    if (surface) surface->ClearSurface(clear_verts, clear_tris);
}

int AddVertex(const SurfaceRef& surface, float x, float y, float z, float u, float v, float w) {
    return surface ? surface->AddVertex(x, y, z, u, v, w) : 0;
}

int AddTriangle(const SurfaceRef& surface, int v0, int v1, int v2) {
    return surface ? surface->AddTriangle(v0, v1, v2) : 0;
}

int CountVertices(const SurfaceRef& surface) {
    return surface ? surface->CountVertices() : 0;
}

int CountTriangles(const SurfaceRef& surface) {
    return surface ? surface->CountTriangles() : 0;
}

void VertexCoords(const SurfaceRef& surface, int vid, float x, float y, float z) {
    if (surface) surface->VertexCoords(vid, x, y, z);
}

void VertexColor(const SurfaceRef& surface, int vid, float red, float green, float blue,
                 float alpha) {
    if (surface) surface->VertexColor(vid, red, green, blue, alpha);
}

void VertexNormal(const SurfaceRef& surface, int vid, float nx, float ny, float nz) {
    if (surface) surface->VertexNormal(vid, nx, ny, nz);
}

void VertexTexCoords(const SurfaceRef& surface, int vid, float u, float v, float w, int coord_set) {
    if (surface) surface->VertexTexCoords(vid, u, v, w, coord_set);
}

float VertexX(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexX(vid) : 0.0f;
}

float VertexY(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexY(vid) : 0.0f;
}

float VertexZ(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexZ(vid) : 0.0f;
}

float VertexRed(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexRed(vid) : 0.0f;
}

float VertexGreen(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexGreen(vid) : 0.0f;
}

float VertexBlue(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexBlue(vid) : 0.0f;
}

float VertexAlpha(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexAlpha(vid) : 0.0f;
}

float VertexNX(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexNX(vid) : 0.0f;
}

float VertexNY(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexNY(vid) : 0.0f;
}

float VertexNZ(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexNZ(vid) : 0.0f;
}

float VertexU(const SurfaceRef& surface, int vid, int coord_set) {
    return surface ? surface->VertexU(vid, coord_set) : 0.0f;
}

float VertexV(const SurfaceRef& surface, int vid, int coord_set) {
    return surface ? surface->VertexV(vid, coord_set) : 0.0f;
}

float VertexW(const SurfaceRef& surface, int vid) {
    return surface ? surface->VertexW(vid) : 0.0f;
}

int TriangleVertex(const SurfaceRef& surface, int tri, int corner) {
    return surface ? surface->TriangleVertex(tri, corner) : 0;
}

float TriangleNX(const SurfaceRef& surface, int tri) {
    return surface ? surface->TriangleNX(tri) : 0.0f;
}

float TriangleNY(const SurfaceRef& surface, int tri) {
    return surface ? surface->TriangleNY(tri) : 0.0f;
}

float TriangleNZ(const SurfaceRef& surface, int tri) {
    return surface ? surface->TriangleNZ(tri) : 0.0f;
}

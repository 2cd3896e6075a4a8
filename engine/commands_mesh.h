// Mesh and surface commands: creating and copying meshes and primitives, editing whole meshes,
// surfaces and their vertices and triangles, mesh sizes and normals.
//
// Each forwards to the TMesh or TSurface operation of the same name with the remaining
// arguments unchanged. A null mesh or surface makes a command a no-op returning 0, 0.0 or null.
// Vertex and triangle indices count from 0 within their surface, surface numbers from 1;
// positions and normals are given and returned with z into the screen; colours are 0-255 per
// channel, alpha 0.0-1.0. Out-of-range indices are a no-op or read 0 (see engine/surface.h).
#pragma once

#include "engine/handles.h"

// ---- Creating meshes ----

MeshRef CreateMesh(const EntityRef& parent);
MeshRef CreateCube(const EntityRef& parent);
// Null for segments outside 2..100.
MeshRef CreateSphere(int segments, const EntityRef& parent);
// Null for segments outside 3..100; solid 1 adds the end caps (the base for a cone).
MeshRef CreateCylinder(int segments, int solid, const EntityRef& parent);
MeshRef CreateCone(int segments, int solid, const EntityRef& parent);
// A new mesh under parent holding copies of the mesh's surfaces (each with its own copy of the
// surface brush); null for a null mesh.
MeshRef CopyMesh(const MeshRef& mesh, const EntityRef& parent);

// ---- Editing whole meshes (the vertices of the mesh's own surfaces) ----

// Appends copies of the mesh's surfaces to dest_mesh, merging each into the first surface of
// dest_mesh with an equal brush.
void AddMesh(const MeshRef& mesh, const MeshRef& dest_mesh);
// Reverses the vertex order of every triangle.
void FlipMesh(const MeshRef& mesh);
// Copies the brush's settings into the brush of every surface of the mesh.
void PaintMesh(const MeshRef& mesh, const BrushRef& brush);
// Scales and moves all vertices into the box at (x, y, z) of the given size; uniform 1 keeps
// the proportions, set by the axis whose extent is largest relative to the box.
void FitMesh(const MeshRef& mesh, float x, float y, float z, float width, float height, float depth,
             int uniform);
void ScaleMesh(const MeshRef& mesh, float x, float y, float z);
// Rotates all vertex positions and normals by pitch, yaw and roll in degrees.
void RotateMesh(const MeshRef& mesh, float pitch, float yaw, float roll);
// Moves all vertex positions by (x, y, z).
void PositionMesh(const MeshRef& mesh, float x, float y, float z);
// Recomputes the vertex normals, smoothed across vertices that share a position.
void UpdateNormals(const MeshRef& mesh);

// ---- Mesh queries and surfaces ----

float MeshWidth(const MeshRef& mesh);
float MeshHeight(const MeshRef& mesh);
float MeshDepth(const MeshRef& mesh);
int CountSurfaces(const MeshRef& mesh);
// The surf_no-th surface, from 1; null when there is none.
SurfaceRef GetSurface(const MeshRef& mesh, int surf_no);
// The first surface whose brush equals brush; null when none.
SurfaceRef FindSurface(const MeshRef& mesh, const BrushRef& brush);
// A new empty surface appended to the mesh, holding brush itself (null: none).
SurfaceRef CreateSurface(const MeshRef& mesh, const BrushRef& brush);

// ---- Surface contents ----

void PaintSurface(const SurfaceRef& surface, const BrushRef& brush);
void ClearSurface(const SurfaceRef& surface, int clear_verts, int clear_tris);
// The new vertex's index; -1 when the surface is full (65,536 vertices); 0 for a null surface.
int AddVertex(const SurfaceRef& surface, float x, float y, float z, float u, float v, float w);
// The triangle count after the addition; 0 when a corner index lies outside 0..65535.
int AddTriangle(const SurfaceRef& surface, int v0, int v1, int v2);
// The surface's own counts.
int CountVertices(const SurfaceRef& surface);
int CountTriangles(const SurfaceRef& surface);
void VertexCoords(const SurfaceRef& surface, int vid, float x, float y, float z);
void VertexColor(const SurfaceRef& surface, int vid, float red, float green, float blue,
                 float alpha);
void VertexNormal(const SurfaceRef& surface, int vid, float nx, float ny, float nz);
// coord_set 0 or 1; any other value changes nothing. w is not stored.
void VertexTexCoords(const SurfaceRef& surface, int vid, float u, float v, float w, int coord_set);
float VertexX(const SurfaceRef& surface, int vid);
float VertexY(const SurfaceRef& surface, int vid);
float VertexZ(const SurfaceRef& surface, int vid);
float VertexRed(const SurfaceRef& surface, int vid);
float VertexGreen(const SurfaceRef& surface, int vid);
float VertexBlue(const SurfaceRef& surface, int vid);
float VertexAlpha(const SurfaceRef& surface, int vid);
float VertexNX(const SurfaceRef& surface, int vid);
float VertexNY(const SurfaceRef& surface, int vid);
float VertexNZ(const SurfaceRef& surface, int vid);
float VertexU(const SurfaceRef& surface, int vid, int coord_set);
float VertexV(const SurfaceRef& surface, int vid, int coord_set);
// Always 0: a surface keeps no w.
float VertexW(const SurfaceRef& surface, int vid);
int TriangleVertex(const SurfaceRef& surface, int tri, int corner);
// The triangle's face normal, not scaled to length 1.
float TriangleNX(const SurfaceRef& surface, int tri);
float TriangleNY(const SurfaceRef& surface, int tri);
float TriangleNZ(const SurfaceRef& surface, int tri);

// Mesh and surface commands: creating and copying meshes and primitives, editing whole meshes,
// surfaces and their vertices and triangles, mesh sizes and normals.
//
// Each forwards to the TMesh or TSurface operation of the same name with the remaining
// arguments unchanged. A null mesh or surface makes a command a no-op returning 0, 0.0 or null.
// Vertex and triangle indices count from 0 within their surface, surface numbers from 1;
// positions and normals are given and returned in the mesh's own units with z into the screen;
// colours are 0-255 per channel, alpha 0.0-1.0. Out-of-range indices are a no-op or read 0 (see
// engine/surface.h).
#pragma once

#include "engine/handles.h"

// ---- Creating meshes ----

// A new empty mesh (no surfaces) under parent (null: at the top level).
MeshRef CreateMesh(const EntityRef& parent);
// A new 2x2x2 cube centred on its origin under parent: one surface of 24 vertices with face
// normals and texture coordinates, 12 triangles.
MeshRef CreateCube(const EntityRef& parent);
// A new sphere of radius 1 under parent, 2 x segments steps around its y axis; null for
// segments outside 2..100.
MeshRef CreateSphere(int segments, const EntityRef& parent);
// A new cylinder of radius 1 from y = -1 to 1 under parent; solid 1 adds a surface with the end
// caps. Null for segments outside 3..100.
MeshRef CreateCylinder(int segments, int solid, const EntityRef& parent);
// A new cone of radius 1 from its base at y = -1 to its tip at y = 1 under parent; solid 1 adds
// a surface with the base. Null for segments outside 3..100.
MeshRef CreateCone(int segments, int solid, const EntityRef& parent);
// A new mesh under parent holding copies of the mesh's surfaces (each with its own copy of the
// surface brush); null for a null mesh.
MeshRef CopyMesh(const MeshRef& mesh, const EntityRef& parent);

// ---- Editing whole meshes (the vertices of the mesh's own surfaces) ----

// Appends copies of the mesh's surfaces to dest_mesh, merging each into the first surface of
// dest_mesh with an equal brush. A null dest_mesh changes nothing.
void AddMesh(const MeshRef& mesh, const MeshRef& dest_mesh);
// Reverses the vertex order of every triangle (normals are left as they are).
void FlipMesh(const MeshRef& mesh);
// Copies the brush's settings into the brush of every surface of the mesh (a surface without
// one gets one). A null brush changes nothing.
void PaintMesh(const MeshRef& mesh, const BrushRef& brush);
// Scales and moves all vertices into the box at (x, y, z) of the given size; uniform 1 keeps
// the proportions, set by the axis whose extent is largest relative to the box.
void FitMesh(const MeshRef& mesh, float x, float y, float z, float width, float height, float depth,
             int uniform);
// Multiplies all vertex positions by the factors per axis, about the mesh origin; normals turn
// with the faces.
void ScaleMesh(const MeshRef& mesh, float x, float y, float z);
// Rotates all vertex positions and normals by pitch, yaw and roll in degrees.
void RotateMesh(const MeshRef& mesh, float pitch, float yaw, float roll);
// Moves all vertex positions by (x, y, z).
void PositionMesh(const MeshRef& mesh, float x, float y, float z);
// Recomputes the vertex normals, smoothed across the vertices of a surface that share a
// position.
void UpdateNormals(const MeshRef& mesh);

// ---- Mesh queries and surfaces ----

// Extent of the mesh's vertices along x, in its own units (the entity's scale not applied).
float MeshWidth(const MeshRef& mesh);
// Extent of the mesh's vertices along y, in its own units (the entity's scale not applied).
float MeshHeight(const MeshRef& mesh);
// Extent of the mesh's vertices along z, in its own units (the entity's scale not applied).
float MeshDepth(const MeshRef& mesh);
// The number of surfaces created through this mesh (a copy counts its source's at copy time).
int CountSurfaces(const MeshRef& mesh);
// The surf_no-th surface, from 1; null when there is none.
SurfaceRef GetSurface(const MeshRef& mesh, int surf_no);
// The first surface whose brush equals brush (null: the first surface without a brush); null
// when none.
SurfaceRef FindSurface(const MeshRef& mesh, const BrushRef& brush);
// A new empty surface appended to the mesh, holding brush itself (null: none).
SurfaceRef CreateSurface(const MeshRef& mesh, const BrushRef& brush);

// ---- Surface contents ----

// Gives the surface the brush itself, shared rather than copied (null: no brush).
void PaintSurface(const SurfaceRef& surface, const BrushRef& brush);
// Removes all vertices when clear_verts is non-zero and all triangles when clear_tris is.
void ClearSurface(const SurfaceRef& surface, int clear_verts, int clear_tris);
// Appends a white, opaque vertex at (x, y, z) with texture coordinates (u, v) in set 0 (w is
// not stored). The new vertex's index; -1 when the surface is full (65,536 vertices); 0 for a
// null surface.
int AddVertex(const SurfaceRef& surface, float x, float y, float z, float u, float v, float w);
// Appends the triangle of vertices v0, v1, v2 (clockwise seen from its front). The triangle
// count after the addition; 0 when a corner index lies outside 0..65535.
int AddTriangle(const SurfaceRef& surface, int v0, int v1, int v2);
// The surface's own vertex count.
int CountVertices(const SurfaceRef& surface);
// The surface's own triangle count.
int CountTriangles(const SurfaceRef& surface);
// Moves vertex vid to (x, y, z).
void VertexCoords(const SurfaceRef& surface, int vid, float x, float y, float z);
// Colour (0-255 per channel) and alpha (0.0-1.0) of vertex vid; drawn where effect flag 2
// (VERTEXCOLORFX) is set. White and opaque at AddVertex.
void VertexColor(const SurfaceRef& surface, int vid, float red, float green, float blue,
                 float alpha);
// Sets the normal of vertex vid, which lighting uses.
void VertexNormal(const SurfaceRef& surface, int vid, float nx, float ny, float nz);
// coord_set 0 or 1; any other value changes nothing. w is not stored.
void VertexTexCoords(const SurfaceRef& surface, int vid, float u, float v, float w, int coord_set);
// x position of vertex vid.
float VertexX(const SurfaceRef& surface, int vid);
// y position of vertex vid.
float VertexY(const SurfaceRef& surface, int vid);
// z position of vertex vid.
float VertexZ(const SurfaceRef& surface, int vid);
// Red of vertex vid, 0-255 (not rounded).
float VertexRed(const SurfaceRef& surface, int vid);
// Green of vertex vid, 0-255 (not rounded).
float VertexGreen(const SurfaceRef& surface, int vid);
// Blue of vertex vid, 0-255 (not rounded).
float VertexBlue(const SurfaceRef& surface, int vid);
// Alpha of vertex vid, 0.0-1.0.
float VertexAlpha(const SurfaceRef& surface, int vid);
// x of the normal of vertex vid.
float VertexNX(const SurfaceRef& surface, int vid);
// y of the normal of vertex vid.
float VertexNY(const SurfaceRef& surface, int vid);
// z of the normal of vertex vid.
float VertexNZ(const SurfaceRef& surface, int vid);
// u of vertex vid in texture-coordinate set coord_set (0 or 1; 0 for any other set).
float VertexU(const SurfaceRef& surface, int vid, int coord_set);
// v of vertex vid in texture-coordinate set coord_set (0 or 1; 0 for any other set).
float VertexV(const SurfaceRef& surface, int vid, int coord_set);
// Always 0: a surface keeps no w.
float VertexW(const SurfaceRef& surface, int vid);
// The vertex index at corner (0..2, in the order given to AddTriangle) of triangle tri.
int TriangleVertex(const SurfaceRef& surface, int tri, int corner);
// x of the triangle's face normal, not scaled to length 1 (its length is twice the area).
float TriangleNX(const SurfaceRef& surface, int tri);
// y of the triangle's face normal, not scaled to length 1 (its length is twice the area).
float TriangleNY(const SurfaceRef& surface, int tri);
// z of the triangle's face normal, not scaled to length 1 (its length is twice the area).
float TriangleNZ(const SurfaceRef& surface, int tri);

// TModel: the reader of B3D model files, the engine's one model format.
//
// A B3D file is a "BB3D" header (tag, length, version below 100) followed by tagged chunks
// (four-character tag, int32 content length, content; little-endian throughout). The reader
// knows nine content tags: "TEXS" (texture list), "BRUS" (brush list), "NODE" (one node of the
// hierarchy), "ANIM" (frame count), "MESH", "VRTS" (vertices), "TRIS" (triangles), "BONE"
// (vertex weights) and "KEYS" (key frames).
//
// Scanning
// - Only "NODE" lengths are used: a node that starts before the end of the node one level up
//   is its child, else a sibling of it or of an ancestor. A node's end is bounded by the end
//   of its enclosing node and by the end of the file.
// - Every other chunk ends where its entries stop: a list chunk reads entries until the next
//   four bytes spell a known tag or the file ends. Bytes that spell no known tag (unknown
//   chunks, padding) are passed over one at a time.
//
// What a load builds
// - Every node followed by "MESH", "NODE" or "ANIM" becomes a mesh (class "Mesh"; a node without
//   geometry is a mesh without surfaces), a node with "BONE" a bone (class "Bone") with its
//   weights, rest pose (scale included), inverse rest matrix and key tracks. Positions and
//   rotations are mirrored into the engine's z-negated form for meshes; bones keep the file's
//   frame (their keys are stored as read, every key the file holds, sorted by frame).
// - Each "TRIS" run over a mesh's "VRTS" list makes a surface holding the vertices its own
//   triangles use, renumbered; consecutive "TRIS" chunks with the same brush fill one surface,
//   and a surface that would pass TSurface::kMaxVertices continues in another with the same
//   brush. A mesh with bones keeps a skin map (TMesh::skin_map) from the list's numbering, which
//   the bones use, to every surface place of a vertex; its weights are made to sum to one per
//   vertex (TAnimation::UpdateWeights). An animated mesh's first sequence reaches its last key
//   when that lies past the "ANIM" frame count. Texture names are looked up relative to the
//   model's folder (TTexture::FileFind with that folder); the working directory is never changed.
// - Every entity a load makes belongs to the model it returns: one made in the root node after
//   the root (a bone, a second mesh) becomes a child of the root, and goes when it is freed.
// - Normals: a mesh whose triangles came over a vertex list without normals gets smoothed ones
//   (TMesh::UpdateNormals) over the surfaces it had when the last such run of triangle chunks
//   ended; surfaces made after that keep the file's normals.
// - The file is read into memory in one go and parsed from there; the work is linear in the
//   file's size and in what it makes.
//
// Bad input never ends the program and never reads outside the file or the tables:
// - Clean failure (null, a line on the error stream, everything made so far freed): the file cannot
// be
//   opened, no "BB3D" tag ("Invalid b3d file"), a version of 100 or more ("Invalid b3d file
//   version"), a negative node length, a second top-level node, nesting deeper than 100 levels,
//   a brush texture count outside 0..8, a negative texture-coordinate count or size, a frame
//   count outside 0..kMaxFrames, a vertex list of more than 2^31 - 1 vertices, memory running
//   out.
// - Safe partial result (reported on the error stream once per kind and load): a file that ends
//   early, before the end its chunks state (the header's included), keeps the whole entries read
//   and is named as cut short; triangles naming a vertex outside their list, weights naming one
//   outside the mesh's list, keys for a negative frame, and brush or texture ids outside their
//   tables are dropped (an id that names nothing means no brush or texture).
#pragma once

#include "engine/handles.h"
#include "platform/stream.h"

#include <string>

class TModel {
  public:
    // Highest frame count an "ANIM" chunk may give.
    static constexpr int kMaxFrames = 100000;
    // Deepest node nesting: the root and 99 levels below it.
    static constexpr int kMaxNodeLevels = 100;

    // Loads file as an entity hierarchy under parent (null: at the top level) and returns its
    // root mesh. Null when the file cannot be read as a model (see above) or makes no mesh
    // (a root bone or a file with textures and brushes only; what it made is freed, loaded
    // textures stay in the texture list).
    static MeshRef LoadAnimB3D(const std::string& file, const EntityRef& parent);

    // Reads bytes up to a 0 byte (consumed, not kept) or the end of the stream; each byte is
    // one character.
    static std::string b3dReadString(const StreamRef& stream);
    // The next four bytes as four characters (0 past the end); the position does not move.
    static std::string ReadTag(const StreamRef& stream);
    // 1 when tag is one of the nine content tags, else 0.
    static int NewTag(const std::string& tag);
};

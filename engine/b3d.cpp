#include "engine/b3d.h"

#include "engine/animation.h"
#include "engine/bone.h"
#include "engine/brush.h"
#include "engine/entity.h"
#include "engine/math/matrix.h"
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "engine/surface.h"
#include "engine/texture.h"
#include "platform/error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::array<const char*, 9> kContentTags = {"TEXS", "BRUS", "NODE", "ANIM", "MESH",
                                                     "VRTS", "TRIS", "BONE", "KEYS"};
constexpr int kTexCoordSet1 = 65536;

// The working directory of the process for the length of one load: the model's folder, so that
// texture names in the file are found beside it. Restored on every way out of the load.
class ModelDirectory {
  public:
    explicit ModelDirectory(const std::string& file) : saved_(CurrentDir()) {
        const std::size_t sep = file.find_last_of("\\/");
        if (sep != std::string::npos && sep > 0) ChangeDir(file.substr(0, sep));
    }
    ~ModelDirectory() { ChangeDir(saved_); }
    ModelDirectory(const ModelDirectory&) = delete;
    ModelDirectory& operator=(const ModelDirectory&) = delete;

  private:
    std::string saved_;
};

// Values of the most recent "NODE": z of the position negated (the engine's form), rotation
// angles from the mirrored quaternion, the quaternion as read.
struct NodeValues {
    std::string name;
    float px = 0.0f, py = 0.0f, pz = 0.0f;
    float sx = 0.0f, sy = 0.0f, sz = 0.0f;
    float rx = 0.0f, ry = 0.0f, rz = 0.0f;
    float qw = 0.0f, qx = 0.0f, qy = 0.0f, qz = 0.0f;

    void ApplyTo(TEntity& e) const {
        e.name = name;
        e.px = px;
        e.py = py;
        e.pz = pz;
        e.sx = sx;
        e.sy = sy;
        e.sz = sz;
        e.rx = rx;
        e.ry = ry;
        e.rz = rz;
        e.qw = qw;
        e.qx = qx;
        e.qy = qy;
        e.qz = qz;
    }
};

// mat = parent's mat x local when the entity has a parent, else local.
void setGlobalMatrix(TEntity& e, const TMatrix& local) {
    if (EntityRef p = e.parent.lock()) {
        TMatrix m = p->mat.Copy();
        m.Multiply(local);
        e.mat.Overwrite(m);
    } else {
        e.mat.Overwrite(local);
    }
}

// The inverse of a bind matrix: the exact rigid inverse where the matrix carries no scale (its
// axes are unit length), the general one where it does.
TMatrix bindInverse(const TMatrix& m) {
    for (int i = 0; i < 3; ++i) {
        const float len2 =
            m.grid[i][0] * m.grid[i][0] + m.grid[i][1] * m.grid[i][1] + m.grid[i][2] * m.grid[i][2];
        if (std::fabs(len2 - 1.0f) > 1e-5f) return m.AffineInverse();
    }
    return m.Inverse();
}

template <class T> void setAt(std::vector<T>& table, std::size_t id, const T& value) {
    if (table.size() <= id) table.resize(id + 1);
    table[id] = value;
}

// A mesh's vertex list as the file gives it. Surfaces take from it the vertices their own
// triangles use; bones name vertices by their number here.
struct VertexList {
    std::vector<float> pos, norm, col, uv0, uv1; // 3, 3, 4, 2 and 2 values per vertex
    int count = 0;
};

// Where a listed vertex went: its number in the list, the surface (by index) and its number
// there.
struct Placed {
    int id, surface, vertex;
};

// A mesh's vertex list once the mesh is done with: what its skin map is made from.
struct ClosedList {
    TMesh* owner;
    int count;
    std::vector<Placed> placed;
};

// One call of LoadAnimB3D: the open stream and everything the scan keeps between chunks.
class B3DLoader {
  public:
    B3DLoader(std::string file, EntityRef parent)
        : file_(std::move(file)), call_parent_(std::move(parent)) {}

    MeshRef Run() {
        stream_ = OpenStream("littleendian::" + file_, true, false);
        if (!stream_) {
            Warning("ERROR: File not found: " + file_);
            return nullptr;
        }
        MeshRef result;
        {
            ModelDirectory dir(file_);
            try {
                if (readHeader()) scan();
                if (!failed_) finishMeshes();
            } catch (const std::bad_alloc&) {
                fail("not enough memory for what the file asks");
            } catch (const std::length_error&) {
                fail("not enough memory for what the file asks");
            }
            CloseStream(stream_);
            if (!failed_) {
                result = std::dynamic_pointer_cast<TMesh>(root_);
                if (!result) report("ERROR: Model file holds no mesh: " + file_);
            }
        }
        if (!result) freeMade();
        return result;
    }

  private:
    // ---- Reading ----

    std::int32_t readInt() { return ReadInt(stream_); }
    float readFloat() { return ReadFloat(stream_); }
    std::string peekTag() { return TModel::ReadTag(stream_); }
    // True where a list chunk ends: the next four bytes spell a known tag, or the file ends.
    bool listOver() { return Eof(stream_) || TModel::NewTag(peekTag()) == 1; }
    // Passes over count entries of `size` bytes each without reading them (at most to the end).
    void skip(std::uint64_t count, std::uint64_t size) {
        const std::int64_t pos = StreamPos(stream_);
        const std::uint64_t left =
            std::uint64_t(std::max<std::int64_t>(StreamSize(stream_) - pos, 0));
        if (count == 0 || size == 0) return;
        if (count > left / size) {
            SeekStream(stream_, StreamSize(stream_));
        } else {
            SeekStream(stream_, pos + std::int64_t(count * size));
        }
    }

    // ---- Failures and warnings ----

    // Problems go to the warning channel: a failed load once, each kind of dropped data once
    // per file.
    static void report(const std::string& line) { Warning(line); }
    void fail(const std::string& reason) {
        if (!failed_) report("ERROR: Invalid b3d file: " + file_ + " (" + reason + ")");
        failed_ = true;
    }
    void warn(const std::string& what) { report("WARNING: b3d file " + file_ + ": " + what); }
    // Entities made by a load that fails (or makes no mesh) are taken out of the scene again.
    void freeMade() {
        for (const EntityRef& e : made_) {
            if (e && e->brush) e->FreeEntity();
        }
        made_.clear();
    }

    // What a mesh needs once the whole file is read: the skin map of a mesh with bones (the
    // others drop theirs), weights summing to one, key tracks in frame order, an animation long
    // enough for its last key, and one animated surface per surface holding its bind positions.
    void finishMeshes() {
        closeVertexList();
        for (const ClosedList& c : closed_) {
            if (!c.owner->bones.IsEmpty()) c.owner->skin_map = skinMap(c);
        }
        closed_.clear();
        for (const EntityRef& e : made_) {
            if (auto* b = dynamic_cast<TBone*>(e.get()); b && b->keys) b->keys->SortKeys();
        }
        for (const EntityRef& e : made_) {
            const MeshRef m = std::dynamic_pointer_cast<TMesh>(e);
            if (!m) continue;
            if (!m->bones.IsEmpty()) TAnimation::UpdateWeights(m);
            if (!m->anim) continue;
            int last_key = -1;
            for (const BoneRef& b : m->bones) {
                if (b && b->keys) last_key = std::max(last_key, b->keys->LastKeyFrame());
            }
            m->anim_seqs_last[0] = std::max(m->anim_seqs_last[0], last_key);
            m->anim_surf_list.Clear();
            for (const SurfaceRef& s : *m->surf_list) {
                auto a = std::make_shared<TSurface>();
                if (s) a->vert_coords = s->vert_coords;
                m->anim_surf_list.AddLast(a);
            }
        }
    }

    // The current mesh's list is done: where its vertices went is kept for the skin map, which
    // only a mesh with bones gets once the file is read.
    void closeVertexList() {
        if (!list_owner_) return;
        closed_.push_back({list_owner_, list_.count, std::move(placed_)});
        list_owner_ = nullptr;
        list_ = VertexList{};
        placed_.clear();
        local_of_.clear();
        stamp_.clear();
    }

    // The skin map of a closed list: see TSkinMap.
    static std::shared_ptr<TSkinMap> skinMap(const ClosedList& c) {
        auto map = std::make_shared<TSkinMap>();
        map->first.assign(std::size_t(c.count) + 1, 0);
        for (const Placed& p : c.placed) map->first[std::size_t(p.id) + 1] += 1;
        for (std::size_t i = 1; i < map->first.size(); ++i) map->first[i] += map->first[i - 1];
        map->places.resize(c.placed.size());
        std::vector<int> next(map->first.begin(), map->first.end() - 1);
        for (const Placed& p : c.placed) {
            map->places[std::size_t(next[std::size_t(p.id)]++)] = {p.surface, p.vertex};
        }
        return map;
    }

    // ---- Header and scan ----

    bool readHeader() {
        const std::string tag = peekTag();
        ReadLong(stream_); // tag and length
        const std::int32_t version = readInt();
        if (tag != "BB3D") {
            report("ERROR: Invalid b3d file: " + file_);
            failed_ = true;
            return false;
        }
        if (version / 100 > 0) {
            report("ERROR: Invalid b3d file version: " + file_);
            failed_ = true;
            return false;
        }
        return true;
    }

    void scan() {
        do {
            const std::string tag = peekTag();
            if (TModel::NewTag(tag) == 1) {
                prev_tag_ = cur_tag_;
                cur_tag_ = tag;
                readInt(); // the tag
                const std::int32_t length = readInt();
                chunk_length_ = length;
                const int old_level = level_;
                if (tag == "NODE" && !nest(length)) return;
                if (level_ != old_level) updateParent(old_level);
                readChunk(tag);
                if (failed_) return;
            } else {
                cur_tag_.clear();
                ReadByte(stream_);
            }
        } while (!Eof(stream_));
    }

    // Places a node header (the stream 8 bytes past the chunk's start) in the nesting: a node
    // that starts before the end of the node one level up is inside it.
    bool nest(std::int32_t length) {
        if (length < 0) {
            fail("negative node length");
            return false;
        }
        const std::int64_t pos = StreamPos(stream_);
        level_ += 1;
        while (level_ > 0 && pos - node_end_[std::size_t(level_ - 1)] >= 8) {
            level_ -= 1;
            if (level_ == 0) {
                fail("more than one top-level node");
                return false;
            }
        }
        if (level_ >= TModel::kMaxNodeLevels) {
            fail("nodes nested deeper than " + std::to_string(TModel::kMaxNodeLevels) + " levels");
            return false;
        }
        std::int64_t end = std::min<std::int64_t>(pos + length, StreamSize(stream_));
        if (level_ > 0) end = std::min(end, node_end_[std::size_t(level_ - 1)]);
        node_end_[std::size_t(level_)] = end;
        return true;
    }

    void updateParent(int old_level) {
        if (level_ > old_level) {
            parent_ = level_ > 0 ? last_ : nullptr;
        } else if (level_ <= 0) {
            parent_ = nullptr;
        } else {
            // The most recent entity one level up: from the root, down the last children.
            EntityRef e = root_;
            for (int i = 1; i < level_ && e; ++i) e = e->GetChild(e->CountChildren());
            parent_ = e;
        }
    }

    void readChunk(const std::string& tag) {
        using Reader = void (B3DLoader::*)();
        static constexpr std::array<std::pair<std::string_view, Reader>, 9> kReaders = {{
            {"TEXS", &B3DLoader::readTextures},
            {"BRUS", &B3DLoader::readBrushes},
            {"NODE", &B3DLoader::readNode},
            {"ANIM", &B3DLoader::readAnim},
            {"MESH", &B3DLoader::readMesh},
            {"VRTS", &B3DLoader::readVertices},
            {"TRIS", &B3DLoader::readTriangles},
            {"BONE", &B3DLoader::readBone},
            {"KEYS", &B3DLoader::readKeys},
        }};
        for (const auto& [name, reader] : kReaders) {
            if (tag == name) return (this->*reader)();
        }
    }

    // ---- Chunk readers ----

    void readTextures() {
        std::size_t id = 0;
        while (!listOver()) {
            const std::string name = TModel::b3dReadString(stream_);
            int flags = readInt();
            const int blend = readInt();
            const float x_pos = readFloat(), y_pos = readFloat();
            const float x_scale = readFloat(), y_scale = readFloat();
            const float rotation = readFloat();
            int coords = 0;
            if (flags & kTexCoordSet1) {
                flags -= kTexCoordSet1;
                coords = 1;
            }
            TextureRef tex = TTexture::LoadTexture(name, flags);
            if (tex) {
                // Shared with any earlier user of the same file and flags.
                tex->blend = blend;
                tex->coords = coords;
                tex->u_pos = x_pos;
                tex->v_pos = y_pos;
                tex->u_scale = x_scale;
                tex->v_scale = y_scale;
                tex->angle = rotation;
            }
            setAt(textures_, id++, tex);
        }
    }

    TextureRef textureAt(std::int32_t id) {
        if (id < 0) return nullptr;
        if (std::size_t(id) >= textures_.size()) {
            warn("texture id outside the texture list");
            return nullptr;
        }
        return textures_[std::size_t(id)];
    }

    BrushRef brushAt(std::int32_t id) {
        if (id < 0 || std::size_t(id) >= brushes_.size()) {
            warn("brush id outside the brush list");
            return nullptr;
        }
        return brushes_[std::size_t(id)];
    }

    void readBrushes() {
        const std::int32_t n_texs = readInt();
        if (n_texs < 0 || n_texs > TBrush::kMaxLayers) {
            fail("brush texture count " + std::to_string(n_texs));
            return;
        }
        std::size_t id = 0;
        while (!listOver()) {
            TModel::b3dReadString(stream_); // the name is not kept
            BrushRef b = TBrush::CreateBrush(255.0f, 255.0f, 255.0f);
            b->no_texs = n_texs;
            b->red = readFloat();
            b->green = readFloat();
            b->blue = readFloat();
            b->alpha = readFloat();
            b->shine = readFloat();
            b->blend = readInt();
            b->fx = readInt();
            for (int j = 0; j < n_texs; ++j) b->tex[std::size_t(j)] = textureAt(readInt());
            setAt(brushes_, id++, b);
        }
    }

    void readNode() {
        node_.name = TModel::b3dReadString(stream_);
        node_.px = readFloat();
        node_.py = readFloat();
        node_.pz = -readFloat();
        node_.sx = readFloat();
        node_.sy = readFloat();
        node_.sz = readFloat();
        node_.qw = readFloat();
        node_.qx = readFloat();
        node_.qy = readFloat();
        node_.qz = readFloat();
        float pitch = 0.0f, yaw = 0.0f, roll = 0.0f;
        TQuaternion::QuatToEuler(-node_.qw, node_.qx, node_.qy, -node_.qz, pitch, yaw, roll);
        node_.rx = -pitch;
        node_.ry = yaw;
        node_.rz = roll;
        // A node with children or animation but no geometry of its own is an empty mesh.
        const std::string next = peekTag();
        if (next == "NODE" || next == "ANIM") makeMesh();
    }

    MeshRef makeMesh() {
        MeshRef m = TMesh::New();
        m->class_name = "Mesh";
        node_.ApplyTo(*m);
        m->EntityListAdd(TEntity::entity_list);
        made_.push_back(m);
        last_ = m;
        if (!root_) {
            root_ = m;
            m->AddParent(call_parent_);
        } else if (level_ > 0 && parent_) {
            m->AddParent(parent_);
        }
        // parent x T x R x S, with the file's rotation mirrored in z.
        TMatrix local;
        TQuaternion::QuatToMat(-node_.qw, node_.qx, node_.qy, -node_.qz, local);
        local.grid[3][0] = node_.px;
        local.grid[3][1] = node_.py;
        local.grid[3][2] = node_.pz;
        local.Scale(node_.sx, node_.sy, node_.sz);
        setGlobalMatrix(*m, local);
        return m;
    }

    void readMesh() {
        const std::int32_t brush_id = readInt();
        cur_mesh_ = makeMesh();
        mesh_brush_id_ = brush_id;
    }

    // Vertices join the current mesh's list; a second list in one mesh continues its numbering.
    void readVertices() {
        if (list_owner_ != cur_mesh_.get()) {
            closeVertexList();
            list_owner_ = cur_mesh_.get();
        }
        list_base_ = list_.count;
        const std::int32_t flags = readInt();
        const std::int32_t tc_sets = readInt();
        const std::int32_t tc_size = readInt();
        vert_flags_ = flags;
        if (tc_sets < 0 || tc_size < 0) {
            fail("negative texture-coordinate count");
            return;
        }
        const int sets_kept = std::min(tc_sets, 2);
        const int comps_kept = std::min(tc_size, 2);
        while (!listOver()) {
            const float x = readFloat(), y = readFloat(), z = readFloat();
            float n[3] = {0.0f, 0.0f, 0.0f};
            float col[4] = {1.0f, 1.0f, 1.0f, 1.0f};
            float uv[2][2] = {};
            if (flags & 1) {
                for (float& c : n) c = readFloat();
            }
            if (flags & 2) {
                for (float& c : col) c = readFloat();
            }
            for (int s = 0; s < sets_kept; ++s) {
                for (int k = 0; k < comps_kept; ++k) uv[s][k] = readFloat();
                skip(std::uint64_t(tc_size - comps_kept), 4);
            }
            skip(std::uint64_t(tc_sets - sets_kept) * std::uint64_t(tc_size), 4);
            list_.pos.insert(list_.pos.end(), {x, y, z});
            list_.norm.insert(list_.norm.end(), n, n + 3);
            list_.col.insert(list_.col.end(), col, col + 4);
            list_.uv0.insert(list_.uv0.end(), uv[0], uv[0] + 2);
            list_.uv1.insert(list_.uv1.end(), uv[1], uv[1] + 2);
            list_.count += 1;
        }
        list_normals_ = (flags & 1) != 0;
        list_sets_ = sets_kept;
        local_of_.resize(std::size_t(list_.count), 0);
        stamp_.resize(std::size_t(list_.count), 0);
    }

    // A new, empty surface of the current mesh; vertices join it as its triangles name them.
    SurfaceRef newSurface() {
        SurfaceRef s = cur_mesh_->CreateSurface(nullptr);
        surf_index_ = cur_mesh_->surf_list->Count() - 1;
        ++serial_;
        return s;
    }

    // The current surface's number for listed vertex id, copying the vertex in on first use.
    int localVertex(TSurface& s, int id) {
        const std::size_t i = std::size_t(id);
        if (stamp_[i] == serial_) return local_of_[i];
        const int v = s.AddVertex(list_.pos[i * 3], list_.pos[i * 3 + 1], list_.pos[i * 3 + 2],
                                  0.0f, 0.0f, 0.0f);
        // The file's 0..1 colour stored as it is.
        std::copy_n(list_.col.begin() + std::ptrdiff_t(i * 4), 4,
                    s.vert_col.begin() + std::ptrdiff_t(v) * 4);
        if (list_normals_)
            s.VertexNormal(v, list_.norm[i * 3], list_.norm[i * 3 + 1], list_.norm[i * 3 + 2]);
        if (list_sets_ > 0) s.VertexTexCoords(v, list_.uv0[i * 2], list_.uv0[i * 2 + 1], 0.0f, 0);
        if (list_sets_ > 1) s.VertexTexCoords(v, list_.uv1[i * 2], list_.uv1[i * 2 + 1], 0.0f, 1);
        stamp_[i] = serial_;
        local_of_[i] = v;
        placed_.push_back({id, surf_index_, v});
        return v;
    }

    void readTriangles() {
        const std::int32_t brush_id = readInt();
        const bool same_run = prev_tag_ == "TRIS" && brush_id == surf_brush_id_;
        surf_brush_id_ = brush_id;
        if (!cur_mesh_) {
            warn("triangles outside a mesh");
            while (!listOver()) skip(3, 4);
            return;
        }
        if (list_owner_ != cur_mesh_.get()) {
            // A mesh without a vertex list of its own: its triangles name nothing.
            closeVertexList();
            list_owner_ = cur_mesh_.get();
            list_base_ = 0;
        }
        if (!same_run || !cur_surf_) cur_surf_ = newSurface();
        std::vector<SurfaceRef> filled{cur_surf_};
        const std::int64_t base = list_base_;
        while (!listOver()) {
            std::int64_t v[3] = {readInt(), readInt(), readInt()};
            if (std::any_of(v, v + 3,
                            [&](std::int64_t i) { return i < 0 || base + i >= list_.count; })) {
                warn("triangle naming a vertex outside its list");
                continue;
            }
            int ids[3];
            for (int k = 0; k < 3; ++k) ids[k] = int(base + v[k]);
            // A surface holds at most kMaxVertices vertices: a triangle that would pass that
            // starts another surface with the same brush.
            int fresh = 0;
            for (int k = 0; k < 3; ++k) {
                const bool repeat = (k > 0 && ids[k] == ids[0]) || (k > 1 && ids[k] == ids[1]);
                if (!repeat && stamp_[std::size_t(ids[k])] != serial_) ++fresh;
            }
            if (cur_surf_->no_verts + fresh > TSurface::kMaxVertices) {
                cur_surf_ = newSurface();
                filled.push_back(cur_surf_);
            }
            TSurface& s = *cur_surf_;
            int local[3];
            for (int k = 0; k < 3; ++k) local[k] = localVertex(s, ids[k]);
            s.vmin = std::min({s.vmin, local[0], local[1], local[2]});
            s.vmax = std::max({s.vmax, local[0], local[1], local[2]});
            s.AddTriangle(local[0], local[1], local[2]);
        }
        if (mesh_brush_id_ != -1) cur_mesh_->PaintEntity(brushAt(mesh_brush_id_));
        for (const SurfaceRef& s : filled) {
            if (brush_id != -1) s->PaintSurface(brushAt(brush_id));
            s->MarkChanged();
        }
        if (!(vert_flags_ & 1) && peekTag() != "TRIS") cur_mesh_->UpdateNormals();
    }

    void readAnim() {
        readInt(); // flags
        const std::int32_t frames = readInt();
        readFloat(); // fps
        if (frames < 0 || frames > TModel::kMaxFrames) {
            fail("frame count " + std::to_string(frames));
            return;
        }
        frame_count_ = frames;
        if (!cur_mesh_) return;
        cur_mesh_->anim = 1;
        cur_mesh_->anim_seqs_first[0] = 0;
        cur_mesh_->anim_seqs_last[0] = frames;
    }

    // Vertex ids that a bone may name: those of the current mesh's list.
    int boneVertexLimit() const {
        return cur_mesh_ && list_owner_ == cur_mesh_.get() ? list_.count : 0;
    }

    void readBone() {
        const int n_verts = boneVertexLimit();
        std::vector<int> ids;
        std::vector<float> weights;
        while (!listOver()) {
            const std::int32_t id = readInt();
            const float w = readFloat();
            if (id < 0 || id >= n_verts) {
                warn("bone weight naming a vertex outside the mesh");
                continue;
            }
            ids.push_back(id);
            weights.push_back(w);
        }

        BoneRef b = TBone::New();
        b->class_name = "Bone";
        node_.ApplyTo(*b);
        b->no_verts = int(ids.size());
        b->verts_id = std::move(ids);
        b->verts_w = std::move(weights);
        b->rest_px = node_.px;
        b->rest_py = node_.py;
        b->rest_pz = node_.pz;
        b->rest_sx = node_.sx;
        b->rest_sy = node_.sy;
        b->rest_sz = node_.sz;
        b->rest_rx = node_.rx;
        b->rest_ry = node_.ry;
        b->rest_rz = node_.rz;
        b->rest_qw = node_.qw;
        b->rest_qx = node_.qx;
        b->rest_qy = node_.qy;
        b->rest_qz = node_.qz;

        auto keys = std::make_shared<TAnimationKeys>();
        keys->frames = frame_count_;
        b->keys = keys;

        made_.push_back(b);
        if (!root_) root_ = b;
        if (level_ > 0 && parent_) b->AddParent(parent_);

        // The rest matrix relative to the mesh, through the same chain the poses use.
        b->mat.Overwrite(TAnimation::BoneRestMatrix(cur_mesh_.get(), *b));
        b->inv_mat = bindInverse(b->mat);

        cur_bone_ = b;
        bone_done_ = false;
        if (peekTag() != "KEYS") completeBone();
    }

    // The current bone joins the scene: entity list, its mesh's bone list, the last entity.
    void completeBone() {
        if (!cur_bone_ || bone_done_) return;
        bone_done_ = true;
        cur_bone_->EntityListAdd(TEntity::entity_list);
        if (cur_mesh_) cur_mesh_->bones.AddLast(cur_bone_);
        last_ = cur_bone_;
    }

    void readKeys() {
        const std::int32_t flags = readInt();
        if (!cur_bone_) warn("keys without a bone");
        reserveKeys(flags);
        while (!listOver()) {
            const std::int32_t frame = readInt();
            float p[3] = {}, sc[3] = {}, q[4] = {};
            if (flags & 1) {
                for (float& c : p) c = readFloat();
            }
            if (flags & 2) {
                for (float& c : sc) c = readFloat();
            }
            if (flags & 4) {
                for (float& c : q) c = readFloat();
            }
            if (!cur_bone_) continue;
            if (frame < 0) {
                warn("key for a negative frame");
                continue;
            }
            // Kept as read, in whatever order; sorted once the file is read.
            TAnimationKeys& k = *cur_bone_->keys;
            if (flags & 1) TAnimationKeys::AppendKey(k.position, frame, p[0], p[1], p[2]);
            if (flags & 2) TAnimationKeys::AppendKey(k.scale, frame, sc[0], sc[1], sc[2]);
            if (flags & 4) TAnimationKeys::AppendKey(k.rotation, frame, q[0], q[1], q[2], q[3]);
        }
        if (peekTag() != "KEYS") completeBone();
    }

    // Room in the current bone's tracks for the keys the chunk's length announces, as far as the
    // file really holds them.
    void reserveKeys(std::int32_t flags) {
        if (!cur_bone_) return;
        const std::int64_t entry =
            4 + ((flags & 1) ? 12 : 0) + ((flags & 2) ? 12 : 0) + ((flags & 4) ? 16 : 0);
        const std::int64_t left = StreamSize(stream_) - StreamPos(stream_);
        const std::int64_t count =
            std::max<std::int64_t>(0, std::min<std::int64_t>(chunk_length_ - 4, left) / entry);
        TAnimationKeys& k = *cur_bone_->keys;
        if (flags & 1) k.position.reserve(k.position.size() + std::size_t(count));
        if (flags & 2) k.scale.reserve(k.scale.size() + std::size_t(count));
        if (flags & 4) k.rotation.reserve(k.rotation.size() + std::size_t(count));
    }

    const std::string file_;
    const EntityRef call_parent_;
    StreamRef stream_;
    bool failed_ = false;

    std::string cur_tag_, prev_tag_;
    std::int32_t chunk_length_ = 0;
    int level_ = -1;
    std::array<std::int64_t, TModel::kMaxNodeLevels> node_end_{};
    std::vector<TextureRef> textures_;
    std::vector<BrushRef> brushes_;
    NodeValues node_;

    EntityRef root_, last_, parent_;
    std::vector<EntityRef> made_;
    MeshRef cur_mesh_;
    std::int32_t mesh_brush_id_ = -1;
    std::int32_t surf_brush_id_ = 0;
    SurfaceRef cur_surf_;
    int surf_index_ = 0;
    std::int32_t vert_flags_ = 0;
    // The vertex list of list_owner_ (the mesh it belongs to) and, per listed vertex, its number
    // in the surface being filled (valid where stamp_ holds that surface's serial_).
    TMesh* list_owner_ = nullptr;
    VertexList list_;
    int list_base_ = 0;
    bool list_normals_ = false;
    int list_sets_ = 0;
    std::vector<int> local_of_, stamp_;
    int serial_ = 0;
    std::vector<Placed> placed_;
    // Lists of meshes done with, for their skin maps.
    std::vector<ClosedList> closed_;
    int frame_count_ = 0;
    BoneRef cur_bone_;
    bool bone_done_ = false;
};

} // namespace

MeshRef TModel::LoadAnimB3D(const std::string& file, const EntityRef& parent) {
    return B3DLoader(file, parent).Run();
}

std::string TModel::b3dReadString(const StreamRef& stream) {
    std::string s;
    while (!Eof(stream)) {
        const int c = ReadByte(stream);
        if (c == 0) break;
        s.push_back(char(c));
    }
    return s;
}

std::string TModel::ReadTag(const StreamRef& stream) {
    const std::int64_t pos = StreamPos(stream);
    std::string tag(4, '\0');
    for (char& c : tag) c = char(ReadByte(stream));
    SeekStream(stream, pos);
    return tag;
}

int TModel::NewTag(const std::string& tag) {
    for (const char* known : kContentTags) {
        if (tag == known) return 1;
    }
    return 0;
}

#include "engine/b3d.h"

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
#include <cstdint>
#include <memory>
#include <set>
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

template <class T> void setAt(std::vector<T>& table, std::size_t id, const T& value) {
    if (table.size() <= id) table.resize(id + 1);
    table[id] = value;
}

// One call of LoadAnimB3D: the open stream and everything the scan keeps between chunks.
class B3DLoader {
  public:
    B3DLoader(std::string file, EntityRef parent)
        : file_(std::move(file)), call_parent_(std::move(parent)) {}

    MeshRef Run() {
        stream_ = OpenStream("littleendian::" + file_, true, false);
        if (!stream_) {
            DebugLog("ERROR: File not found: " + file_);
            return nullptr;
        }
        MeshRef result;
        {
            ModelDirectory dir(file_);
            if (readHeader()) scan();
            CloseStream(stream_);
            if (!failed_) {
                matchAnimatedSurfaces();
                result = std::dynamic_pointer_cast<TMesh>(root_);
                if (!result) DebugLog("ERROR: Model file holds no mesh: " + file_);
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

    void fail(const std::string& reason) {
        if (!failed_) DebugLog("ERROR: Invalid b3d file: " + file_ + " (" + reason + ")");
        failed_ = true;
    }
    void warn(const std::string& what) {
        if (warned_.insert(what).second) DebugLog("WARNING: b3d file " + file_ + ": " + what);
    }
    // Entities made by a load that fails (or makes no mesh) are taken out of the scene again.
    void freeMade() {
        for (const EntityRef& e : made_) {
            if (e && e->brush) e->FreeEntity();
        }
        made_.clear();
    }

    // An animated mesh draws and skins one animated surface per surface: surfaces made after
    // its "ANIM" chunk get theirs too.
    void matchAnimatedSurfaces() {
        for (const EntityRef& e : made_) {
            auto* m = dynamic_cast<TMesh*>(e.get());
            if (!m || !m->anim) continue;
            for (int i = m->anim_surf_list.Count(); i < m->surf_list->Count(); ++i) {
                auto a = std::make_shared<TSurface>();
                if (SurfaceRef s = m->surf_list->ValueAtIndex(i)) a->vert_coords = s->vert_coords;
                m->anim_surf_list.AddLast(a);
            }
        }
    }

    // ---- Header and scan ----

    bool readHeader() {
        const std::string tag = peekTag();
        ReadLong(stream_); // tag and length
        const std::int32_t version = readInt();
        if (tag != "BB3D") {
            DebugLog("ERROR: Invalid b3d file: " + file_);
            failed_ = true;
            return false;
        }
        if (version / 100 > 0) {
            DebugLog("ERROR: Invalid b3d file version: " + file_);
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

    void readVertices() {
        holder_ = std::make_shared<TSurface>();
        const std::int32_t flags = readInt();
        const std::int32_t tc_sets = readInt();
        const std::int32_t tc_size = readInt();
        vert_flags_ = flags;
        if (tc_sets < 0 || tc_size < 0) {
            fail("negative texture-coordinate count");
            return;
        }
        const int sets_kept = std::min(tc_sets, 2);
        const int comps_kept = std::min(tc_size, 3);
        while (!listOver()) {
            const float x = readFloat(), y = readFloat(), z = readFloat();
            float n[3] = {0.0f, 0.0f, 0.0f};
            float col[4] = {1.0f, 1.0f, 1.0f, 1.0f};
            float uvw[2][3] = {};
            if (flags & 1) {
                for (float& c : n) c = readFloat();
            }
            if (flags & 2) {
                for (float& c : col) c = readFloat();
            }
            for (int s = 0; s < sets_kept; ++s) {
                for (int k = 0; k < comps_kept; ++k) uvw[s][k] = readFloat();
                skip(std::uint64_t(tc_size - comps_kept), 4);
            }
            skip(std::uint64_t(tc_sets - sets_kept) * std::uint64_t(tc_size), 4);

            const int id = holder_->AddVertex(x, y, z, 0.0f, 0.0f, 0.0f);
            if (id < 0) {
                warn("more than " + std::to_string(TSurface::kMaxVertices) +
                     " vertices in one list");
                continue;
            }
            // The file's 0..1 colour stored as it is.
            std::copy(col, col + 4, holder_->vert_col.begin() + 4 * id);
            if (flags & 1) holder_->VertexNormal(id, n[0], n[1], n[2]);
            for (int s = 0; s < sets_kept; ++s) {
                holder_->VertexTexCoords(id, uvw[s][0], uvw[s][1], uvw[s][2], s);
            }
        }
    }

    // A new surface of the current mesh holding the whole current vertex list.
    SurfaceRef newSurface() {
        SurfaceRef s = cur_mesh_->CreateSurface(nullptr);
        if (holder_) {
            s->vert_coords = holder_->vert_coords;
            s->vert_col = holder_->vert_col;
            s->vert_norm = holder_->vert_norm;
            s->vert_tex_coords0 = holder_->vert_tex_coords0;
            s->vert_tex_coords1 = holder_->vert_tex_coords1;
            s->vert_capacity = holder_->vert_capacity;
            s->no_verts = holder_->no_verts;
            s->MarkChanged();
        }
        return s;
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
        if (!same_run || !cur_surf_) cur_surf_ = newSurface();
        TSurface& s = *cur_surf_;
        while (!listOver()) {
            const std::int32_t v[3] = {readInt(), readInt(), readInt()};
            if (std::any_of(v, v + 3, [&s](std::int32_t i) { return i < 0 || i >= s.no_verts; })) {
                warn("triangle naming a vertex outside its list");
                continue;
            }
            s.vmin = std::min({s.vmin, v[0], v[1], v[2]});
            s.vmax = std::max({s.vmax, v[0], v[1], v[2]});
            s.AddTriangle(v[0], v[1], v[2]);
        }
        if (mesh_brush_id_ != -1) cur_mesh_->PaintEntity(brushAt(mesh_brush_id_));
        if (brush_id != -1) s.PaintSurface(brushAt(brush_id));
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
        // One animated surface per surface, positions only.
        cur_mesh_->anim_surf_list.Clear();
        for (const SurfaceRef& s : *cur_mesh_->surf_list) {
            auto a = std::make_shared<TSurface>();
            if (s) a->vert_coords = s->vert_coords;
            cur_mesh_->anim_surf_list.AddLast(a);
        }
    }

    // Vertex ids that a bone may name: those of the current list that every surface of the
    // current mesh holds.
    int boneVertexLimit() const {
        int n = holder_ ? holder_->no_verts : 0;
        if (cur_mesh_) {
            int most = 0;
            for (const SurfaceRef& s : *cur_mesh_->surf_list) {
                if (s) most = std::max(most, s->no_verts);
            }
            n = std::min(n, most);
        }
        return n;
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
        const std::size_t n = std::size_t(frame_count_) + 1;
        keys->flags.assign(n, 0);
        for (auto* table : {&keys->px, &keys->py, &keys->pz, &keys->sx, &keys->sy, &keys->sz,
                            &keys->qw, &keys->qx, &keys->qy, &keys->qz}) {
            table->assign(n, 0.0f);
        }
        b->keys = keys;

        made_.push_back(b);
        if (!root_) root_ = b;
        if (level_ > 0 && parent_) b->AddParent(parent_);

        // The rest matrix in the file's frame: quaternion as read, the file's z, no scale.
        TMatrix local;
        TQuaternion::QuatToMat(b->rest_qw, b->rest_qx, b->rest_qy, b->rest_qz, local);
        local.grid[3][0] = b->rest_px;
        local.grid[3][1] = b->rest_py;
        local.grid[3][2] = -b->rest_pz;
        // Rest matrices stay relative to the mesh, like the poses the animation builds: only a
        // parent bone's matrix is carried down, never the mesh's own placement.
        const EntityRef up = b->parent.lock();
        if (up && up->IsBone())
            setGlobalMatrix(*b, local);
        else
            b->mat.Overwrite(local);
        b->inv_mat = b->mat.Inverse();

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
            TAnimationKeys& k = *cur_bone_->keys;
            if (frame < 0 || std::size_t(frame) >= k.flags.size()) {
                warn("key for a frame outside the animation");
                continue;
            }
            const std::size_t f = std::size_t(frame);
            // Kinds from several chunks for one frame combine (1 and 4 give 5).
            k.flags[f] |= flags;
            if (flags & 1) {
                k.px[f] = p[0];
                k.py[f] = p[1];
                k.pz[f] = p[2];
            }
            if (flags & 2) {
                k.sx[f] = sc[0];
                k.sy[f] = sc[1];
                k.sz[f] = sc[2];
            }
            if (flags & 4) {
                k.qw[f] = q[0];
                k.qx[f] = q[1];
                k.qy[f] = q[2];
                k.qz[f] = q[3];
            }
        }
        if (peekTag() != "KEYS") completeBone();
    }

    const std::string file_;
    const EntityRef call_parent_;
    StreamRef stream_;
    bool failed_ = false;
    std::set<std::string> warned_;

    std::string cur_tag_, prev_tag_;
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
    SurfaceRef holder_;
    std::int32_t vert_flags_ = 0;
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

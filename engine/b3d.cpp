#include "engine/b3d.h"

#include "engine/animation.h"
#include "engine/bone.h"
#include "engine/brush.h"
#include "engine/entity.h"
#include "engine/math/matrix.h"
#include "engine/math/vector.h"
#include "engine/mesh.h"
#include "engine/mesh_normals.h"
#include "engine/surface.h"
#include "engine/texture.h"
#include "platform/error.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// A tag as the little-endian word its four characters make.
constexpr std::uint32_t tagCode(const char* t) {
    return std::uint32_t(std::uint8_t(t[0])) | std::uint32_t(std::uint8_t(t[1])) << 8 |
           std::uint32_t(std::uint8_t(t[2])) << 16 | std::uint32_t(std::uint8_t(t[3])) << 24;
}

constexpr std::uint32_t kTEXS = tagCode("TEXS"), kBRUS = tagCode("BRUS"), kNODE = tagCode("NODE"),
                        kANIM = tagCode("ANIM"), kMESH = tagCode("MESH"), kVRTS = tagCode("VRTS"),
                        kTRIS = tagCode("TRIS"), kBONE = tagCode("BONE"), kKEYS = tagCode("KEYS"),
                        kBB3D = tagCode("BB3D");

constexpr bool isContentTag(std::uint32_t code) {
    return code == kTEXS || code == kBRUS || code == kNODE || code == kANIM || code == kMESH ||
           code == kVRTS || code == kTRIS || code == kBONE || code == kKEYS;
}

// The folder that texture names in a model file are relative to: the model's own ("/" for a
// file in the root folder, "" for a bare file name, which means the working directory).
std::string modelFolder(const std::string& file) {
    const std::size_t sep = file.find_last_of("\\/");
    if (sep == std::string::npos) return {};
    return sep == 0 ? file.substr(0, 1) : file.substr(0, sep);
}

// A model file read through a window of its bytes, refilled in large reads from the stream, and
// the reading position (never past the end). Values are little-endian; bytes past the end read
// as 0, and a value cut short by the end keeps the bytes that were there in its low-order
// places, as the platform's stream reads do.
class FileBytes {
  public:
    std::size_t pos = 0;

    void Open(StreamRef stream) {
        stream_ = std::move(stream);
        size_ = std::size_t(std::max<std::int64_t>(StreamSize(stream_), 0));
    }
    std::size_t size() const { return size_; }
    bool eof() const { return pos >= size_; }
    std::size_t left() const { return size_ - pos; }

    // The four bytes at `at` as a word; the position does not move.
    std::uint32_t wordAt(std::size_t at) {
        if (at >= start_ && at - start_ + 4 <= window_.size()) return load(&window_[at - start_]);
        if (at >= size_) return 0;
        const std::uint8_t* p = span(at, 4);
        if (at >= size_) return 0; // the file ended before
        if (size_ - at >= 4) return load(p);
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < size_ - at; ++i) v |= std::uint32_t(p[i]) << (8 * i);
        return v;
    }
    std::uint32_t peek() { return wordAt(pos); }
    std::uint32_t word() {
        if (pos >= start_ && pos - start_ + 4 <= window_.size()) {
            const std::uint32_t v = load(&window_[pos - start_]);
            pos += 4; // inside the window, so inside the file
            return v;
        }
        const std::uint32_t v = wordAt(pos);
        skip(4);
        return v;
    }
    std::int32_t i32() { return std::int32_t(word()); }
    float f32() {
        const std::uint32_t bits = word();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    int byte() {
        if (eof()) return 0;
        const std::uint8_t* p = span(pos, 1);
        if (eof()) return 0;
        ++pos;
        return *p;
    }
    // Bytes up to a 0 byte (consumed, not kept) or the end.
    std::string str() {
        std::string out;
        while (!eof()) {
            const std::uint8_t* p = span(pos, 1);
            if (eof()) break;
            const std::size_t n = std::min(left(), window_.size() - (pos - start_));
            const auto* zero = static_cast<const std::uint8_t*>(std::memchr(p, 0, n));
            const std::size_t len = zero ? std::size_t(zero - p) : n;
            out.append(reinterpret_cast<const char*>(p), len);
            pos += zero ? len + 1 : len;
            if (zero) break;
        }
        return out;
    }
    // Moves on by n bytes, at most to the end.
    void skip(std::uint64_t n) { pos += std::size_t(std::min<std::uint64_t>(n, left())); }
    // True where a list chunk ends: the next four bytes spell a content tag, or the file ends.
    bool listOver() { return eof() || isContentTag(peek()); }
    // The whole entries of `size` bytes from the position on that a list chunk holds: up to
    // where the next four bytes spell a content tag or the file ends (an entry the end cuts
    // short does not count).
    std::size_t countEntries(std::uint64_t size) {
        std::size_t n = 0;
        for (std::size_t at = pos; size_ - at >= size && !isContentTag(wordAt(at)); ++n) {
            at += std::size_t(size);
        }
        return n;
    }
    // True when a chunk whose content of `length` bytes starts at the position runs past the
    // end of the file.
    bool runsPastEnd(std::int32_t length) const {
        return length > 0 && std::uint64_t(length) > std::uint64_t(left());
    }

  private:
    static constexpr std::size_t kWindow = 256 * 1024;

    static std::uint32_t load(const std::uint8_t* p) {
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    // The bytes from `at` (below the end) on, at least n of them or up to the end, in the window.
    // Should the file turn out shorter than it was, the end moves to where it stops (callers
    // check the end again).
    const std::uint8_t* span(std::size_t at, std::size_t n) {
        const std::size_t want = std::min(n, size_ - at);
        if (at < start_ || at - start_ + want > window_.size()) {
            start_ = at;
            window_.resize(std::min(std::max(n, kWindow), size_ - at));
            SeekStream(stream_, std::int64_t(at));
            const std::size_t got = stream_ ? stream_->Read(window_.data(), window_.size()) : 0;
            if (got < window_.size()) {
                // The file shrank under us: its end is here now.
                window_.resize(got);
                size_ = at + got;
                pos = std::min(pos, size_);
            }
        }
        return window_.data() + (at - start_);
    }

    StreamRef stream_;
    std::size_t size_ = 0;
    std::vector<std::uint8_t> window_; // bytes start_ .. start_ + window_.size() of the file
    std::size_t start_ = 0;
};

// Room in v for n more entries: at least double the present capacity when it must grow, so that
// a track filled by many small chunks is copied a bounded number of times per entry.
template <class T> void reserveMore(std::vector<T>& v, std::size_t n) {
    if (v.capacity() - v.size() >= n) return;
    v.reserve(std::max(v.size() + n, 2 * v.capacity()));
}

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

// One call of LoadAnimB3D: the file and everything the scan keeps between chunks.
class B3DLoader {
  public:
    B3DLoader(std::string file, EntityRef parent)
        : file_(std::move(file)), folder_(modelFolder(file_)), call_parent_(std::move(parent)) {}

    MeshRef Run() {
        const StreamRef stream = OpenStream("littleendian::" + file_, true, false);
        if (!stream) {
            Warning("File not found: " + file_);
            return nullptr;
        }
        MeshRef result;
        try {
            in_.Open(stream);
            if (readHeader()) scan();
            if (!failed_) finishMeshes();
        } catch (const std::bad_alloc&) {
            fail("not enough memory for what the file asks");
        } catch (const std::length_error&) {
            fail("not enough memory for what the file asks");
        }
        CloseStream(stream);
        if (!failed_ && cut_) {
            warn("chunks run past the end of the file (cut short?); only what is whole was "
                 "loaded");
        }
        if (!failed_) {
            result = std::dynamic_pointer_cast<TMesh>(root_);
            if (!result) report("Model file holds no mesh: " + file_);
        }
        if (!result) freeMade();
        return result;
    }

  private:
    // ---- Reading ----

    std::int32_t readInt() { return in_.i32(); }
    float readFloat() { return in_.f32(); }
    bool listOver() { return in_.listOver(); }

    // ---- Failures and warnings ----

    // Problems go to the warning channel: a failed load once, each kind of dropped data once
    // per file.
    static void report(const std::string& line) { Warning(line); }
    void fail(const std::string& reason) {
        if (!failed_) report("Invalid b3d file: " + file_ + " (" + reason + ")");
        failed_ = true;
    }
    void warn(const std::string& what) { report("WARNING: b3d file " + file_ + ": " + what); }
    // Entities made by a load that fails (or makes no mesh) are taken out of the scene again.
    void freeMade() {
        for (const EntityRef& e : made_) {
            if (e && !e->freed) e->FreeEntity();
        }
        made_.clear();
    }

    // What a mesh needs once the whole file is read: the skin map of a mesh with bones (the
    // others drop theirs), weights summing to one, key tracks in frame order, an animation long
    // enough for its last key, and one animated surface per surface holding its bind positions.
    void finishMeshes() {
        smoothNormals();
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

    // Meshes whose lists came without normals get smoothed ones, once the file is read: each
    // the surfaces it had when its last run of such triangles ended. Surfaces made later keep
    // the file's normals, and no surface gains triangles after a run has ended, so this gives
    // what a rebuild of the mesh's normals after each such run would.
    void smoothNormals() {
        NormalSmoother smoother;
        for (const auto& [mesh, count] : smooth_) {
            int left = count;
            for (const SurfaceRef& s : *mesh->surf_list) {
                if (left-- <= 0) break;
                if (s) smoother.Smooth(*s);
            }
        }
        smooth_.clear();
    }

    // The current mesh's normals are to be smoothed over the surfaces it has now.
    void smoothLater() {
        const int count = cur_mesh_->surf_list->Count();
        if (!smooth_.empty() && smooth_.back().first == cur_mesh_) {
            smooth_.back().second = count;
        } else {
            smooth_.emplace_back(cur_mesh_, count);
        }
    }

    // The current mesh's list is done: where its vertices went is kept for the skin map, which
    // only a mesh with bones gets once the file is read.
    void closeVertexList() {
        if (!list_owner_) return;
        closed_.push_back({list_owner_, list_.count, std::move(placed_)});
        list_owner_ = nullptr;
        // Emptied, keeping the room for the next mesh's list.
        for (auto* v : {&list_.pos, &list_.norm, &list_.col, &list_.uv0, &list_.uv1}) v->clear();
        list_.count = 0;
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
        const std::uint32_t tag = in_.peek();
        in_.skip(4);
        const std::int32_t length = readInt();
        cut_ = in_.runsPastEnd(length);
        const std::int32_t version = readInt();
        if (tag != kBB3D) {
            report("Invalid b3d file: " + file_);
            failed_ = true;
            return false;
        }
        if (version / 100 > 0) {
            report("Invalid b3d file version: " + file_);
            failed_ = true;
            return false;
        }
        return true;
    }

    void scan() {
        do {
            const std::uint32_t tag = in_.peek();
            if (isContentTag(tag)) {
                prev_tag_ = cur_tag_;
                cur_tag_ = tag;
                in_.skip(4); // the tag
                // Only a node's length is used (and checked there); list chunks end where their
                // entries stop.
                const std::int32_t length = readInt();
                if (in_.runsPastEnd(length)) cut_ = true;
                const int old_level = level_;
                if (tag == kNODE && !nest(length)) return;
                if (level_ != old_level) updateParent(old_level);
                readChunk(tag);
                if (failed_) return;
            } else {
                cur_tag_ = 0;
                in_.byte();
            }
        } while (!in_.eof());
    }

    // Places a node header (the stream 8 bytes past the chunk's start) in the nesting: a node
    // that starts before the end of the node one level up is inside it.
    bool nest(std::int32_t length) {
        if (length < 0) {
            fail("negative node length");
            return false;
        }
        const std::int64_t pos = std::int64_t(in_.pos);
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
        std::int64_t end = std::min<std::int64_t>(pos + length, std::int64_t(in_.size()));
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
            for (int i = 1; i < level_ && e; ++i) e = e->child_list.Last();
            parent_ = e;
        }
    }

    void readChunk(std::uint32_t tag) {
        using Reader = void (B3DLoader::*)();
        static constexpr std::array<std::pair<std::uint32_t, Reader>, 9> kReaders = {{
            {kTEXS, &B3DLoader::readTextures},
            {kBRUS, &B3DLoader::readBrushes},
            {kNODE, &B3DLoader::readNode},
            {kANIM, &B3DLoader::readAnim},
            {kMESH, &B3DLoader::readMesh},
            {kVRTS, &B3DLoader::readVertices},
            {kTRIS, &B3DLoader::readTriangles},
            {kBONE, &B3DLoader::readBone},
            {kKEYS, &B3DLoader::readKeys},
        }};
        for (const auto& [code, reader] : kReaders) {
            if (tag == code) return (this->*reader)();
        }
    }

    // ---- Chunk readers ----

    void readTextures() {
        std::size_t id = 0;
        while (!listOver()) {
            const std::string name = in_.str();
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
            // Found beside the model: relative names are taken from the model's folder.
            TextureRef tex = TTexture::LoadTexture(name, flags, folder_);
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
            in_.str(); // the name is not kept
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
        node_.name = in_.str();
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
        const std::uint32_t next = in_.peek();
        if (next == kNODE || next == kANIM) makeMesh();
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
        } else {
            m->AddParent(placeUnder());
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

    // The parent of an entity made after the root: the node one level up, or the root itself
    // for one made in the root node (or under a node that made nothing), so that everything a
    // load makes goes when the model is freed.
    EntityRef placeUnder() const { return level_ > 0 && parent_ ? parent_ : root_; }

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
        // Entry size in bytes (below 2^64: both counts are below 2^31).
        const std::uint64_t tex_values = std::uint64_t(tc_sets) * std::uint64_t(tc_size);
        const std::uint64_t entry =
            12 + ((flags & 1) ? 12 : 0) + ((flags & 2) ? 16 : 0) + 4 * tex_values;
        const std::size_t count = in_.countEntries(entry);
        if (count > std::size_t(INT_MAX - list_.count)) {
            fail("more vertices than a list can number");
            return;
        }
        const std::size_t first = std::size_t(list_.count);
        list_.pos.resize(3 * (first + count));
        list_.norm.resize(3 * (first + count), 0.0f);
        list_.col.resize(4 * (first + count), 1.0f);
        list_.uv0.resize(2 * (first + count), 0.0f);
        list_.uv1.resize(2 * (first + count), 0.0f);
        for (std::size_t i = first; i < first + count; ++i) {
            for (int k = 0; k < 3; ++k) list_.pos[3 * i + std::size_t(k)] = readFloat();
            if (flags & 1) {
                for (int k = 0; k < 3; ++k) list_.norm[3 * i + std::size_t(k)] = readFloat();
            }
            if (flags & 2) {
                for (int k = 0; k < 4; ++k) list_.col[4 * i + std::size_t(k)] = readFloat();
            }
            for (int set = 0; set < sets_kept; ++set) {
                float* uv = set == 0 ? &list_.uv0[2 * i] : &list_.uv1[2 * i];
                for (int k = 0; k < comps_kept; ++k) uv[k] = readFloat();
                in_.skip(4 * std::uint64_t(tc_size - comps_kept));
            }
            in_.skip(4 * (tex_values - std::uint64_t(sets_kept) * std::uint64_t(tc_size)));
        }
        list_.count += int(count);
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

    // Room in a fresh surface for what the next `count` triangles bring: the different listed
    // vertices they name (at most a surface's worth) and the triangles, at the capacities that
    // adding them one by one would reach, so that the arrays are not copied as they grow.
    void presize(TSurface& s, std::size_t count) {
        if (count == 0) return;
        ++seen_serial_;
        seen_.resize(std::size_t(list_.count), 0);
        const std::int64_t base = list_base_;
        std::size_t verts = 0, tris = 0;
        for (std::size_t t = 0; t < count; ++t) {
            std::int64_t v[3];
            for (int k = 0; k < 3; ++k) {
                v[k] = std::int32_t(in_.wordAt(in_.pos + 12 * t + 4 * std::size_t(k)));
            }
            if (std::any_of(v, v + 3,
                            [&](std::int64_t i) { return i < 0 || base + i >= list_.count; })) {
                continue;
            }
            ++tris;
            for (const std::int64_t i : v) {
                int& mark = seen_[std::size_t(base + i)];
                if (mark != seen_serial_) {
                    mark = seen_serial_;
                    ++verts;
                }
            }
        }
        // The smallest power of two above n (n below 2^24).
        const auto capacity = [](std::size_t n) {
            int c = 1;
            while (std::size_t(c) <= n) c *= 2;
            return c;
        };
        if (verts > 0) {
            // A surface that reaches its limit goes on in another.
            s.vert_capacity = capacity(std::min<std::size_t>(verts, TSurface::kMaxVertices - 1));
            const std::size_t vc = std::size_t(s.vert_capacity);
            s.vert_coords.resize(3 * vc, 0.0f);
            s.vert_norm.resize(3 * vc, 0.0f);
            s.vert_tex_coords0.resize(2 * vc, 0.0f);
            s.vert_tex_coords1.resize(2 * vc, 0.0f);
            s.vert_col.resize(4 * vc, 0.0f);
        }
        if (tris > 0) {
            s.tri_capacity = capacity(std::min<std::size_t>(tris, (std::size_t(1) << 24) - 1));
            s.tris.resize(3 * std::size_t(s.tri_capacity), 0);
        }
    }

    void readTriangles() {
        const std::int32_t brush_id = readInt();
        const bool same_run = prev_tag_ == kTRIS && brush_id == surf_brush_id_;
        surf_brush_id_ = brush_id;
        const std::size_t count = in_.countEntries(12);
        if (!cur_mesh_) {
            warn("triangles outside a mesh");
            in_.skip(12 * std::uint64_t(count));
            return;
        }
        if (list_owner_ != cur_mesh_.get()) {
            // A mesh without a vertex list of its own: its triangles name nothing.
            closeVertexList();
            list_owner_ = cur_mesh_.get();
            list_base_ = 0;
        }
        if (!same_run || !cur_surf_) cur_surf_ = newSurface();
        if (cur_surf_->no_verts == 0 && cur_surf_->no_tris == 0) presize(*cur_surf_, count);
        filled_.assign(1, cur_surf_);
        const std::int64_t base = list_base_;
        for (std::size_t entry = 0; entry < count; ++entry) {
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
                filled_.push_back(cur_surf_);
            }
            TSurface& s = *cur_surf_;
            int local[3];
            for (int k = 0; k < 3; ++k) local[k] = localVertex(s, ids[k]);
            s.vmin = std::min({s.vmin, local[0], local[1], local[2]});
            s.vmax = std::max({s.vmax, local[0], local[1], local[2]});
            s.AddTriangle(local[0], local[1], local[2]);
        }
        if (mesh_brush_id_ != -1) cur_mesh_->PaintEntity(brushAt(mesh_brush_id_));
        for (const SurfaceRef& s : filled_) {
            if (brush_id != -1) s->PaintSurface(brushAt(brush_id));
            s->MarkChanged();
        }
        filled_.clear();
        if (!(vert_flags_ & 1) && in_.peek() != kTRIS) smoothLater();
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
        const std::size_t count = in_.countEntries(8);
        std::vector<int> ids;
        std::vector<float> weights;
        ids.reserve(count);
        weights.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
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
        if (!root_) {
            root_ = b;
        } else {
            b->AddParent(placeUnder());
        }

        // The rest matrix relative to the mesh, through the same chain the poses use.
        b->mat.Overwrite(TAnimation::BoneRestMatrix(cur_mesh_.get(), *b));
        b->inv_mat = bindInverse(b->mat);

        cur_bone_ = b;
        bone_done_ = false;
        if (in_.peek() != kKEYS) completeBone();
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
        const std::uint64_t entry =
            4 + ((flags & 1) ? 12 : 0) + ((flags & 2) ? 12 : 0) + ((flags & 4) ? 16 : 0);
        const std::size_t count = in_.countEntries(entry);
        if (cur_bone_) {
            // Room for the keys the chunk holds.
            TAnimationKeys& k = *cur_bone_->keys;
            if (flags & 1) reserveMore(k.position, count);
            if (flags & 2) reserveMore(k.scale, count);
            if (flags & 4) reserveMore(k.rotation, count);
        }
        for (std::size_t i = 0; i < count; ++i) {
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
        if (in_.peek() != kKEYS) completeBone();
    }

    const std::string file_;
    const std::string folder_; // where the model's texture names are looked up
    const EntityRef call_parent_;
    FileBytes in_;
    bool failed_ = false;
    bool cut_ = false; // a chunk's stated length runs past the end of the file

    // The tags of the chunk being read and of the one before it (0 after bytes of no chunk).
    std::uint32_t cur_tag_ = 0, prev_tag_ = 0;
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
    // Per listed vertex, the last presize count that met it.
    std::vector<int> seen_;
    int seen_serial_ = 0;
    // The surfaces the triangle chunk being read has filled.
    std::vector<SurfaceRef> filled_;
    std::vector<Placed> placed_;
    // Lists of meshes done with, for their skin maps.
    std::vector<ClosedList> closed_;
    // Meshes to smooth once the file is read, with the number of their surfaces to smooth.
    std::vector<std::pair<MeshRef, int>> smooth_;
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

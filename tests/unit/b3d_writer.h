// Writes small B3D model files for the loader tests: chunks are opened with Begin and closed
// with End, which fills in the content length (or a chosen, possibly wrong, one). Helpers
// write the usual chunks whole; Node and Mesh leave their chunk open for what lies inside.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

struct B3DTex {
    std::string file;
    int flags = 1;
    int blend = 2;
    float x_pos = 0.0f, y_pos = 0.0f, x_scale = 1.0f, y_scale = 1.0f, rotation = 0.0f;
};

struct B3DBrush {
    std::string name = "brush";
    float red = 1.0f, green = 1.0f, blue = 1.0f, alpha = 1.0f, shine = 0.0f;
    int blend = 1;
    int fx = 0;
    std::vector<int> texs; // one id per texture slot
};

struct B3DKey {
    int frame = 0;
    float p[3] = {0.0f, 0.0f, 0.0f};
    float s[3] = {1.0f, 1.0f, 1.0f};
    float q[4] = {1.0f, 0.0f, 0.0f, 0.0f};
};

class B3DWriter {
  public:
    std::vector<std::uint8_t> bytes;

    // The "BB3D" header chunk, left open: End() it last.
    B3DWriter& Header(int version = 1) { return Begin("BB3D").Int(version); }

    B3DWriter& Begin(const char* tag) {
        Tag(tag);
        open_.push_back(bytes.size());
        return Int(0);
    }
    // Closes the innermost chunk with its true length, plus adjust.
    B3DWriter& End(std::int32_t adjust = 0) {
        const std::size_t at = open_.back();
        return EndWithLength(std::int32_t(bytes.size() - at - 4) + adjust);
    }
    // Closes the innermost chunk writing length instead of its true one.
    B3DWriter& EndWithLength(std::int32_t length) {
        const std::size_t at = open_.back();
        open_.pop_back();
        std::memcpy(&bytes[at], &length, 4);
        return *this;
    }
    // Closes every open chunk.
    std::vector<std::uint8_t> Finish() {
        while (!open_.empty()) End();
        return bytes;
    }

    B3DWriter& Tag(const char* tag) {
        bytes.insert(bytes.end(), tag, tag + 4);
        return *this;
    }
    B3DWriter& Int(std::int32_t v) { return Raw(&v, 4); }
    B3DWriter& Float(float v) { return Raw(&v, 4); }
    B3DWriter& Str(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
        return *this;
    }
    B3DWriter& Raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }

    B3DWriter& Texs(const std::vector<B3DTex>& texs) {
        Begin("TEXS");
        for (const B3DTex& t : texs) {
            Str(t.file).Int(t.flags).Int(t.blend);
            Float(t.x_pos).Float(t.y_pos).Float(t.x_scale).Float(t.y_scale).Float(t.rotation);
        }
        return End();
    }
    B3DWriter& Brus(int n_texs, const std::vector<B3DBrush>& brushes) {
        Begin("BRUS").Int(n_texs);
        for (const B3DBrush& b : brushes) {
            Str(b.name).Float(b.red).Float(b.green).Float(b.blue).Float(b.alpha).Float(b.shine);
            Int(b.blend).Int(b.fx);
            for (int id : b.texs) Int(id);
        }
        return End();
    }
    // Opens a node; position, scale and the quaternion (w first) as the file holds them.
    B3DWriter& Node(const std::string& name, std::vector<float> pos = {0, 0, 0},
                    std::vector<float> scale = {1, 1, 1}, std::vector<float> quat = {1, 0, 0, 0}) {
        Begin("NODE").Str(name);
        for (float v : pos) Float(v);
        for (float v : scale) Float(v);
        for (float v : quat) Float(v);
        return *this;
    }
    // Opens a mesh chunk.
    B3DWriter& Mesh(int brush_id) { return Begin("MESH").Int(brush_id); }
    // Each vertex: x, y, z, then whatever flags, tc_sets and tc_size announce.
    B3DWriter& Vrts(int flags, int tc_sets, int tc_size,
                    const std::vector<std::vector<float>>& vs) {
        Begin("VRTS").Int(flags).Int(tc_sets).Int(tc_size);
        for (const auto& v : vs) {
            for (float f : v) Float(f);
        }
        return End();
    }
    B3DWriter& Tris(int brush_id, const std::vector<std::vector<int>>& tris) {
        Begin("TRIS").Int(brush_id);
        for (const auto& t : tris) {
            for (int i : t) Int(i);
        }
        return End();
    }
    B3DWriter& Anim(int frames, float fps = 30.0f) {
        return Begin("ANIM").Int(0).Int(frames).Float(fps).End();
    }
    B3DWriter& Bone(const std::vector<std::pair<int, float>>& weights) {
        Begin("BONE");
        for (const auto& [id, w] : weights) Int(id).Float(w);
        return End();
    }
    B3DWriter& Keys(int flags, const std::vector<B3DKey>& keys) {
        Begin("KEYS").Int(flags);
        for (const B3DKey& k : keys) {
            Int(k.frame);
            if (flags & 1) {
                for (float v : k.p) Float(v);
            }
            if (flags & 2) {
                for (float v : k.s) Float(v);
            }
            if (flags & 4) {
                for (float v : k.q) Float(v);
            }
        }
        return End();
    }

  private:
    std::vector<std::size_t> open_; // offsets of the open chunks' length fields
};

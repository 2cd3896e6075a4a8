#include "demo/tscroll.h"

#include "demo/media.h"
#include "engine/commands.h"
#include "engine/mesh.h"

#include <string>

std::array<BrushRef, tscroll::kQuads> tscroll::textura{};

namespace {

struct QuadVertex {
    float x, y, u, v;
};
// Vertices 0-2 make the first triangle, 3-5 the second.
constexpr QuadVertex kQuad[6] = {
    {-1, 1, 0, 0}, {1, 1, 1, 0}, {-1, -1, 0, 1}, {-1, -1, 0, 1}, {1, 1, 1, 0}, {1, -1, 1, 1},
};

} // namespace

void AddQuad(const SurfaceRef& surface) {
    for (int t = 0; t < 2; ++t) {
        const int first = t * 3;
        for (int k = first; k < first + 3; ++k) {
            AddVertex(surface, kQuad[k].x, kQuad[k].y, 0, 0, 0, 0);
        }
        AddTriangle(surface, first, first + 1, first + 2);
        for (int k = first; k < first + 3; ++k) {
            VertexTexCoords(surface, k, kQuad[k].u, kQuad[k].v, 0, 0);
        }
    }
}

std::string tscroll::archivo(int i) {
    return "media/scroll" + std::to_string(i) + ".png";
}

tscrollRef tscroll::crea(float x, float y, float z,
                         const std::array<PreparedTextureRef, kQuads>& texturas) {
    auto s = std::make_shared<tscroll>();
    s->x = x;
    s->y = y;
    s->z = z;
    for (int i = 0; i < kQuads; ++i) {
        textura[std::size_t(i)] =
            MustLoadPreparedBrush(texturas[std::size_t(i)], archivo(i), kTextureFlags);
    }
    for (std::size_t i = 0; i < kQuads; ++i) {
        s->mallas[i] = CreateMesh(nullptr);
        s->superficies[i] = CreateSurface(s->mallas[i], nullptr);
        AddQuad(s->superficies[i]);
        ScaleEntity(s->mallas[i], 20, 20, 20, 0);
        PositionEntity(s->mallas[i], float(double(x) + double(i) * kQuadSize), y, z, 0);
        PaintMesh(s->mallas[i], textura[i]);
        EntityBlend(s->mallas[i], ALPHABRUSHBLEND);
        EntityFX(s->mallas[i], FULLBRIGHTFX);
        HideEntity(s->mallas[i]);
    }
    return s;
}

int tscroll::activa() {
    for (const MeshRef& m : mallas) ShowEntity(m);
    return 0;
}

int tscroll::destruye() {
    for (const MeshRef& m : mallas) FreeEntity(m);
    return 0;
}

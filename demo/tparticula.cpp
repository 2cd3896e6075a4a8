#include "demo/tparticula.h"

#include "demo/media.h"
#include "engine/commands.h"
#include "engine/sprite.h"
#include "platform/random.h"

std::shared_ptr<TList<tparticulaRef>> tparticula::lista_particulas = CreateList<tparticulaRef>();

namespace {
constexpr const char* kFlare = "media/flare.png";
constexpr int kFlareFlags = COLORTEXTURE | ALPHATEXTURE | MIPMAPPEDTEXTURE;
} // namespace

int tparticula::crea(float x, float y, float z) {
    auto p = std::make_shared<tparticula>();
    // Checked first, so a missing flare ends the program; the engine then hands the sprite the
    // texture it has just loaded, once for every particle.
    MustLoadTexture(kFlare, kFlareFlags);
    p->sprite = LoadSprite(kFlare, kFlareFlags, nullptr);
    p->x = x;
    p->y = y;
    p->z = z;
    p->vx = Rnd(-0.125f, 0.125f);
    p->vy = Rnd(0.05f, 0.25f);
    p->vz = Rnd(-0.125f, 0.125f);
    p->gravedad = Rnd(0.001f, 0.01f);
    p->alfa = 1.0f;
    const float s = Rnd(0.5f, 1.75f);
    ScaleSprite(p->sprite, s, s);
    EntityFX(p->sprite, FULLBRIGHTFX);
    EntityBlend(p->sprite, ADDBRUSHBLEND);
    ListAddLast(lista_particulas, p);
    return 0;
}

int tparticula::actualiza() {
    if (!lista_particulas) return 0;
    for (auto it = lista_particulas->begin(); it != lista_particulas->end(); ++it) {
        const tparticulaRef p = *it;
        if (!p) continue;
        // The position moves with this frame's vy, before gravity.
        p->x += p->vx;
        p->y += p->vy;
        p->z += p->vz;
        p->vy -= p->gravedad;
        p->alfa -= kDesvanece;
        if (p->alfa >= 0.0f) {
            EntityAlpha(p->sprite, p->alfa);
            PositionEntity(p->sprite, p->x, p->y, p->z, 0);
        } else {
            FreeEntity(p->sprite);
            it.link()->Remove();
        }
    }
    return 0;
}

int tparticula::destruye() {
    if (!lista_particulas) return 0;
    for (const tparticulaRef& p : *lista_particulas) {
        if (p) FreeEntity(p->sprite);
    }
    ClearList(lista_particulas);
    return 0;
}
